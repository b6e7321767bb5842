// "position [startpos | fen <fen>] [moves <m1> ...]".
#include <cstring>
#include "board/make_move.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "group/process_group.h"

void ResetToStartPosition() {
  SetPositionFromFen(Engine.position, StartFen);
  Engine.savedPositionText = StartFen;
  Engine.gamePlies = 0;
}

int ReadPositionText(Position& p, const std::string& line) {
  SetPositionFromFen(p, StartFen);
  const size_t movesAt = line.find("moves");
  const std::string head = line.substr(0, movesAt);
  const size_t fenAt = head.find("fen");
  if (fenAt != std::string::npos && !SetPositionFromFen(p, head.c_str() + fenAt + 3)) {
    // The moves belong to the position that could not be read: play none.
    return 0;
  }
  int played = 0;
  if (movesAt == std::string::npos) return 0;
  size_t i = movesAt + 5;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    size_t end = line.find_first_of(" \t", i);
    if (end == std::string::npos) end = line.size();
    const std::string token = line.substr(i, end - i);
    i = end;
    Move m = token == "0000" ? NullRootMove : FindLegalMove(p, token.c_str());
    if (m == 0 && token != "0000") {
      // Keep the position reached so far rather than corrupting the board.
      InfoString("Illegal or unreadable move %s in position command; position kept after %d moves",
                 token.c_str(), played);
      break;
    }
    MakeRootMove(p, m);
    ++played;
  }
  return played;
}

void BringChildrenToPosition() {
  if (Group.isChild || LiveProcessCount() < 2) return;
  if (Engine.positionOfChildren == Engine.savedPositionText &&
      Engine.positionOfChildrenStart == Group.startCount)
    return;
  const std::string& text = Engine.savedPositionText;
  SendToChildren(text.rfind("position", 0) == 0 ? text : "position fen " + text);
  Engine.positionOfChildren = text;
  Engine.positionOfChildrenStart = Group.startCount;
}

void HandlePositionCommand(std::string line) {
  while (!line.empty() &&
         (line.back() == ' ' || line.back() == '\r' || line.back() == '\n' || line.back() == '\t'))
    line.pop_back();
  SendToChildren(line);
  Engine.positionOfChildren = line;
  Engine.positionOfChildrenStart = Group.startCount;
  Engine.savedPositionText = line;
  Engine.gamePlies = ReadPositionText(Engine.position, line);
  WritePositionDiagram(Engine.position, Engine.gamePlies,
                       line.size() > 5 ? line.substr(line.size() - 5) : line);
}
