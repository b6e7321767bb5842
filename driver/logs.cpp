// Placeholder until the logs land: nothing is written.
#include "driver/logs.h"

void OpenTextLog() {}
void OpenHtmlLog() {}
void CloseLogs() {}
bool HtmlLogOpen() { return false; }
void WritePositionDiagram(const Position&, int, const std::string&) {}
void WriteHtmlPvLine(const RootMove&, Color) {}
void WriteHtmlFailLowLine(const RootMove&, Color) {}
void FlushHtmlLines() {}
void WriteHtmlBoard(const Position&) {}
