// The text log of the dialogue and the HTML log of a game's search results.
// Both are written in the current directory; a log that cannot be created
// stays closed without a word.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include "board/position.h"
#include "search/search.h"

// Where a reader of the HTML log finds a font with the chess symbols, should
// the desktop have none (the DejaVu fonts' home page).
inline constexpr const char* ChessFontAddress = "https://dejavu-fonts.github.io/";

// Opens the text log (when closed) and writes its head: system information
// and the settings that differ from their start values.
void OpenTextLog();
// Opens the HTML log (when closed) and writes its head.
void OpenHtmlLog();
// Closes the text log; ends and closes the HTML log.
void CloseLogs();
void CloseTextLog();
void CloseHtmlLog();
bool HtmlLogOpen();

// After a "position" command: the FEN (or the last move and the FEN) and the
// board in the text log. `lastMoveText` is the end of the command line.
void WritePositionDiagram(const Position& p, int halfMoves, const std::string& lastMoveText);

// The HTML body. The board diagram of a search's root position; the result
// lines of the search, whose variations are replayed on `root` (the root
// position with its side to move) to write them in figurine notation. A line
// found within 200 ms waits until the next one shows whether it lasted;
// FlushHtmlLines writes what still waits at the end of a search.
void WriteHtmlBoard(const Position& p);
void WriteHtmlPvLine(const RootMove& rm, const Position& root);
void WriteHtmlFailLowLine(const RootMove& rm, const Position& root);
void FlushHtmlLines();

// Parts of the logs on their own (also for tests).
// Local date of the log names ("Mar_07").
std::string LogDateText();
// nameOf(i) for the first i = 1, 2, ... that names no readable file.
std::string FirstFreeLogName(const std::function<std::string(int)>& nameOf);
// The part of the HTML title after "Tolvo", from the program's command line.
std::string HtmlTitleSuffix(const std::string& commandLine);
// Move-number and move cells of a coordinate variation played from `root`;
// stops at the first move that is not legal there.
std::string HtmlVariationText(const Position& root, const std::string& pv, int firstMoveNumber);
