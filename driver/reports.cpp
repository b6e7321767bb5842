// What a search tells the front end: score texts, principal-variation lines
// and the final "bestmove" line with its ponder move (or the one-line report
// of a silent "goe" search).
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "common/bitops.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "driver/wdl_model.h"
#include "group/process_group.h"
#include "search/hash_table.h"
#include "search/search.h"
#include "tablebase/tb_probe.h"
#include "tablebase/tb_registry.h"

namespace {
// " wdl W D L" for a root score: the tables' value when they hold the root
// (a win, a draw or a loss for certain), else the model's chances.
std::string WdlText(int score, const Position& root) {
  WinDrawLoss wdl;
  Score table = 0;
  if (MenCount(root.st.materialKey) <= tb::TbMaxMen() && tb::ProbeTablebase(root, table))
    wdl = table > 0 ? WinDrawLoss{1000, 0, 0} : table < 0 ? WinDrawLoss{0, 0, 1000} : WinDrawLoss{0, 1000, 0};
  else
    wdl = WdlOfScore(score, WdlMaterial(root));
  return FormatText(" wdl %d %d %d", wdl.win, wdl.draw, wdl.loss);
}
}  // namespace

void ReportPvLine(int index, bool useCurrentCounters, const RootMove& rm) {
  uint64_t time = rm.time, nodes = rm.nodes;
  if (useCurrentCounters) {
    time = ElapsedMs(Search) + 1;
    nodes = Search.nodes;
  }
  if (time == 0) time = 1;
  const uint64_t nps = nodes * 1000 / time;
  char tbHits[40] = "";
  if (rm.tbHits) std::snprintf(tbHits, sizeof tbHits, "tbhits %" PRIu64 " ", rm.tbHits / 14);
  const char* bound = rm.lowerBound ? " lowerbound" : rm.upperBound ? " upperbound" : "";
  char multiPv[24] = "";
  if (Search.settings.multiPv != 1) std::snprintf(multiPv, sizeof multiPv, " multipv %d", index + 1);
  const std::string wdl = Options.showWdl ? WdlText(rm.score, Engine.position) : std::string();
  Send("info%s depth %d score %s%s%s time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " %spv %s", multiPv,
       PliesOfDepthUnits(rm.depth), FormatScore(rm.score).c_str(), wdl.c_str(), bound, time, nodes, nps,
       tbHits, rm.pv.c_str());
  // The HTML log keeps the lines past the first iterations that are exact.
  if (HtmlLogOpen() && rm.depth > 12 && !rm.lowerBound && !rm.upperBound) {
    RootMove shown = rm;
    shown.time = time;
    WriteHtmlPvLine(shown, Engine.position);
  }
}

void ReportRootFailLow(const RootMove& rm) {
  if (HtmlLogOpen() && rm.depth > 12) WriteHtmlFailLowLine(rm, Engine.position);
}

namespace {
// Makes a move on the position and hands the move to the other side.


// The legal move of the position with the squares and promotion of m, or 0.
Move LegalMoveLike(const Position& p, Move m) {
  MoveList legal;
  GenerateLegalMoves(p, legal);
  for (Move candidate : legal)
    if (SameMove(candidate, m)) return candidate;
  return 0;
}

// The reply the transposition table expects in the position: the last entry
// of the key's bucket that holds a move. Only a legal move is offered (a key
// collision can leave a move that is impossible here).
Move PonderMoveFromTable(const Position& p) {
  if (!Hash.entries) return 0;
  const PositionKey key = p.st.key;
  const HashEntry* bucket = BucketOf(key);
  Move found = 0;
  for (int i = 0; i < 4; ++i) {
    const HashEntry e = LoadEntry(bucket[i]);
    if (!EntryMatches(e, key) || !EntryHasMove(e)) continue;
    const uint32_t low = EntryMoveLow(e);
    const Move stored = CompleteStoredMove(p, low, 0);
    if (const Move legal = stored ? LegalMoveLike(p, stored) : 0) found = legal;
  }
  return found;
}

// Positions already played are marked so that the next games vary: a best
// move that returns to a marked position frees the positions of all root
// moves again, so that the choice among them starts afresh.
void MarkPlayedPosition(Position& p, Move best, UndoRecord& undo) {
  if (!Search.settings.randomizerBitmap) return;
  if (RandomizerBit(Search.settings, p.st.key)) {
    Log("best move re-visits position");
    UnmakeLastMove(p, undo, best);
    for (int i = 0; i < MaxRootMoves && Search.rootMoves[i].move; ++i) {
      UndoRecord u;
      const Move m = Search.rootMoves[i].move;
      if (!LegalMoveLike(p, m)) continue;
      MakeMoveOfSideToMove(p, u, m);
      SetRandomizerBit(Search.settings, p.st.key, false);
      UnmakeLastMove(p, u, m);
    }
    MakeMoveOfSideToMove(p, undo, best);
  }
  SetRandomizerBit(Search.settings, p.st.key, true);
}

void SendBestMoveLine(const std::string& text) {
  if (Engine.bestMoveAllowed) Send("%s", text.c_str());
  else Log("%s (filtered out)", text.c_str());
}

int PopCountOf(const Position& p, int type) {
  return PopCount(p.Pieces(White, type) | p.Pieces(Black, type));
}

// The key after the best move came up twice before at the same side to move.
bool RepeatsTwice(const Position& p) {
  const uint32_t fifty = p.st.fifty;
  if (fifty < 4) return false;
  const uint64_t* past = p.history + p.st.historyCount;
  int seen = 0;
  for (uint32_t back = 4; back <= fifty && back <= p.st.historyCount; back += 2)
    if (past[-int(back)] == p.st.key) ++seen;
  return seen >= 2;
}

// Silent evaluation mode ("goe"): play the best move on the game position and
// answer with one line: move, nodes, depth, score (or "00" for a draw), material.
void ReportSilentResult() {
  if (!Engine.bestMoveAllowed) {
    Log("silent result already reported");
    return;
  }
  Engine.bestMoveAllowed = false;
  Position& p = Engine.position;
  const Move best = Search.bestMove && LegalMoveLike(p, Search.bestMove) ? Search.bestMove : 0;
  const RootMove& rm = Search.rootMoves[0];
  if (best) {
    Engine.savedPositionText.append(" ").append(MoveToText(best));
    MakeRootMove(p, best);
    ++Engine.gamePlies;
  }
  const int queens = PopCountOf(p, QueenType), rooks = PopCountOf(p, RookType);
  const int minors = PopCountOf(p, KnightType) + PopCountOf(p, BishopType);
  const int material = 9 * queens + 5 * rooks + 3 * minors;
  const int score = rm.score;
  bool draw = !best;
  if (score == 0 && p.st.fifty >= 40) draw = true;
  if (score == 0 && RepeatsTwice(p)) draw = true;
  if (score == 0 && MenCount(p.st.materialKey) <= tb::TbMaxMen()) {
    Score tableScore;
    if (tb::ProbeTablebase(p, tableScore) && tableScore == 0) draw = true;
  }
  if (material < 10 && std::abs(score) < 250 && !PopCountOf(p, PawnType) && !rooks && !queens) {
    const int white = PopCount(p.Pieces(White, KnightType) | p.Pieces(White, BishopType));
    const int black = PopCount(p.Pieces(Black, KnightType) | p.Pieces(Black, BishopType));
    if (std::abs(white - black) <= 1) draw = true;
  }
  char scoreText[16];
  std::snprintf(scoreText, sizeof scoreText, "%d", score);
  const std::string moveText = best ? MoveToText(best) : "0000";
  const int depth = std::max(1, PliesOfDepthUnits(rm.depth));
  if (Search.limits.depthLimit < 200 && (Search.limits.depthLimit & 1))
    Reply("%s %" PRIu64 " %1.1lf %s %d", moveText.c_str(), Search.nodes, depth + 0.5, draw ? "00" : scoreText,
          material);
  else
    Reply("%s %" PRIu64 " %d %s %d", moveText.c_str(), Search.nodes, depth, draw ? "00" : scoreText,
          material);
  Log("best move: 0x%" PRIx64, uint64_t(best));
}
}  // namespace

void ReportBestMove() {
  if (Search.limits.silentMode) {
    const bool answering = Engine.bestMoveAllowed;
    ReportSilentResult();
    // The children searched along: they stop with the answer, as they do
    // after a best move.
    if (answering) SendToChildren("stop");
    Output.silentMode = false;   // the next commands answer as usual
    Output.slaveLevel = 0;       // also when the line carried "slave N"
    return;
  }
  Position& p = Engine.position;
  // Only a report that goes out has effects; a repeated one is just logged.
  // A best move that is not legal here (the position changed since) is never played on the board.
  const Move best = Search.bestMove ? LegalMoveLike(p, Search.bestMove) : 0;
  std::string line = "bestmove ";
  line += best ? MoveToText(best) : Search.bestMove ? MoveToText(Search.bestMove) : "0000";
  if (best) {
    UndoRecord undo;
    MakeMoveOfSideToMove(p, undo, best);
    if (Engine.bestMoveAllowed) MarkPlayedPosition(p, best, undo);
    if (const Move ponder = PonderMoveFromTable(p)) {
      line.append(" ponder ").append(MoveToText(ponder));
      if (Engine.bestMoveAllowed) {
        UndoRecord reply;
        MakeMoveOfSideToMove(p, reply, ponder);
        Engine.expectedReplyKey = p.st.key;
        UnmakeLastMove(p, reply, ponder);
      }
    }
    UnmakeLastMove(p, undo, best);
  }
  // The reports of a controlled search end here; its best move goes out
  // like any other, so that the controller knows the search is over.
  Output.slaveLevel = 0;
  SendBestMoveLine(line);
  if (Engine.bestMoveAllowed) SendToChildren("stop");
  Engine.bestMoveAllowed = false;
}
