// The text log of the dialogue and the HTML log of a game's search results.
#pragma once
#include <cstdint>
#include <string>
#include "board/position.h"
#include "search/search.h"

// Opens the text log (when closed) and writes its head: system information
// and the settings that differ from their start values.
void OpenTextLog();
// Opens the HTML log (when closed) and writes its head.
void OpenHtmlLog();
// Closes the text log; ends and closes the HTML log.
void CloseLogs();
bool HtmlLogOpen();

// After a "position" command: the board and FEN in the text log.
void WritePositionDiagram(const Position& p, int halfMoves, const std::string& lastMoveText);
// Search results in the HTML log.
void WriteHtmlPvLine(const RootMove& rm, Color sideToMove);
void WriteHtmlFailLowLine(const RootMove& rm, Color sideToMove);
void FlushHtmlLines();
void WriteHtmlBoard(const Position& p);
