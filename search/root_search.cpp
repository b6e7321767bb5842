// Iterative deepening and the root: the root move table, aspiration
// windows, several principal variations, the time rule between iterations,
// and the recovery point a stop unwinds to.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include "board/notation.h"
#include "common/output.h"
#include "driver/options.h"
#include "group/exchange_area.h"
#include "search/move_picker.h"

namespace {
// Share of the time target an iteration may start within, by the score gap
// between the best move and its nearest rival: a clear best move needs
// little confirmation, a close race more.
int TimeSharePercent(int gap) {
  if (gap >= 301) return 9;
  if (gap >= 151) return 18;
  if (gap >= 76) return 24;
  if (gap >= 61) return 30;
  if (gap >= 51) return 35;
  if (gap >= 41) return 45;
  if (gap >= 31) return 55;
  if (gap >= 21) return 70;
  if (gap >= 11) return 85;
  if (gap >= 0) return 100;
  if (gap >= -10) return 110;
  return 120;
}

// The principal variation as text: the searched line, continued through the
// table's moves as far as they are legal and do not repeat.
template <Color C> void ExtendFromTable(Position& p, std::string& text, int plies);

template <Color C> std::string PvText(Move first) {
  Position p = *SearchPosition;
  std::string text = MoveToText(first);
  UndoRecord undo;
  MakeMove<C>(p, undo, first);
  Color side = Opponent(C);
  const PlyRecord& child = Stack[2];
  int plies = 1;
  for (int i = 0; i < child.pvLength; ++i) {
    const Move m = child.pv[i];
    const bool ok = side == White ? IsPlayable<White>(p, m) : IsPlayable<Black>(p, m);
    if (!ok) return text;
    text += ' ';
    text += MoveToText(m);
    if (side == White) MakeMove<White>(p, undo, m);
    else MakeMove<Black>(p, undo, m);
    side = Opponent(side);
    ++plies;
  }
  p.sideToMove = side;
  if (side == White) ExtendFromTable<White>(p, text, plies);
  else ExtendFromTable<Black>(p, text, plies);
  return text;
}

template <Color C> void ExtendFromTable(Position& p, std::string& text, int plies) {
  if (plies >= 40 || IsRepetition(p)) return;
  const HashEntry* e = ProbeDeepest(p.st.key);
  if (!e || !EntryHasMove(*e)) return;
  const Move m = CompleteStoredMove<C>(p, EntryMoveLow(*e), 0);
  if (!m || !IsPlayable<C>(p, m)) return;
  text += ' ';
  text += MoveToText(m);
  UndoRecord undo;
  MakeMove<C>(p, undo, m);
  ExtendFromTable<Opponent(C)>(p, text, plies + 1);
}

// Our results for the other processes of the group: the best line in our
// slot, and the header results for processes 0 and 3 from depth 8 on.
void PublishRootResult() {
  const RootMove& best = Search.rootMoves[0];
  ProcessSlot& slot = Exchange->root.slots[ProcessNumber];
  slot.bestMove = best.move;
  slot.score = best.score;
  slot.depth = best.depth;
  if (best.depth < 8) return;
  RootExchange& root = Exchange->root;
  if (ProcessNumber == 0) {
    root.bestScore0 = best.score;
    root.bestMove0 = best.move;
    root.depth0 = best.depth;
  } else if (ProcessNumber == 3) {
    root.bestScore3 = best.score;
    root.bestMove3 = best.move;
    root.depth3 = best.depth;
    const RootMove& second = Search.rootMoves[1];
    if (Search.rootMoveCount > 1) {
      root.secondScore3 = second.score;
      root.secondMove3 = second.move;
      root.secondDepth3 = second.depth;
    }
  }
}

void ReportLines(int depth) {
  if (depth <= 7) return;   // the first iterations are not reported
  const int lines = std::min(Options.multiPv, Search.rootMoveCount);
  for (int k = 0; k < lines; ++k)
    if (Search.rootMoves[k].depth >= depth - 2 && Search.rootMoves[k].move) ReportPvLine(k, false, Search.rootMoves[k]);
}

// Records a searched root move and moves it up to its place by score.
void RecordRootMove(int index, int score, int depth, bool lower, bool upper, std::string pv) {
  RootMove rm = Search.rootMoves[index];
  rm.score = score;
  rm.depth = depth;
  rm.lowerBound = lower;
  rm.upperBound = upper;
  rm.time = ElapsedMs() + 1;
  rm.nodes = Search.nodes;
  rm.tbHits = Search.tbHits;
  rm.pv = std::move(pv);
  // Entries above that were not searched at this depth hold stale scores.
  int j = index;
  while (j > 0 && (Search.rootMoves[j - 1].depth < depth || Search.rootMoves[j - 1].score < score)) {
    Search.rootMoves[j] = std::move(Search.rootMoves[j - 1]);
    --j;
  }
  Search.rootMoves[j] = std::move(rm);
}

// One pass over the root moves with the window (alpha, beta) at iteration
// depth d. Returns the best score (alpha when none exceeds it).
template <Color C> int RootPass(int alpha, int beta, int d) {
  constexpr Color Them = Opponent(C);
  Position& p = *SearchPosition;
  const int multiPv = std::max(1, std::min(Options.multiPv, Search.rootMoveCount));
  const bool samples = RootSampleReports && d > 21;
  if (RootAllMovesReports) {
    std::string list;
    if (d >= 14)
      for (int i = 0; i < Search.rootMoveCount; ++i) list.append(" ").append(MoveToText(Search.rootMoves[i].move));
    Send("info allmoves%s", list.c_str());
  }
  int best = alpha;
  for (int i = 0; i < Search.rootMoveCount; ++i) {
    const Move m = Search.rootMoves[i].move;
    const int storedDepth = Search.rootMoves[i].depth, storedScore = Search.rootMoves[i].score;
    Search.rootMoveIndex = i;
    Exchange->root.slots[ProcessNumber].currentMove = m;
    UndoRecord undo;
    SearchMake<C>(undo, m);
    Stack[1].movePlayed = m;
    if (d > 27 && ElapsedMs() > 1000) Send("info currmove %s currmovenumber %d", MoveToText(m).c_str(), i + 1);
    const bool check = InCheck<Them>(p);
    const int childDepth = d - 2 + (check ? 1 : 0);
    // The randomizer makes positions already played look a little worse.
    const int shift = RandomizerBit(p.st.key) ? RandomizerThreshold : 0;
    const int a = alpha + shift, b = beta + shift;
    int v;
    const std::string moveText = samples ? MoveToText(m) : std::string();
    if (d < 4 || (i < multiPv && storedDepth >= d - 2 && storedScore > alpha)) {
      if (samples) Send("info sample %s issearching", moveText.c_str());
      v = -PvSearch<Them>(-b, -a, childDepth, 2, check);
    } else {
      if (samples) {
        const RootMove& current = Search.rootMoves[0];
        Send("info sample isworse %s %s pv %s", moveText.c_str(), FormatScore(current.score).c_str(),
             current.pv.c_str());
      }
      v = -ZeroWindowChild<Them>(-a, childDepth, 2, CutNodeFlag, check);
      if (v > a) {
        if (samples) Send("info sample %s isunclear", moveText.c_str());
        v = -PvSearch<Them>(-a - 1, -a, childDepth, 2, check);
        if (v > a) {
          if (samples) Send("info sample %s isbetter", moveText.c_str());
          v = -PvSearch<Them>(-b, -a, childDepth, 2, check);
        }
      }
    }
    v -= shift;
    SearchUnmake<C>(undo, m);
    Exchange->root.slots[ProcessNumber].currentMove = 0;
    if (i == 0 && v <= alpha && Options.alwaysScoreMainMove && d >= 4) {
      // The main move always gets a searched score, even when it fails low.
      SearchMake<C>(undo, m);
      const bool again = InCheck<Them>(p);
      const int exact = -PvSearch<Them>(-MateValue, MateValue, d - 2 + (again ? 1 : 0), 2, again);
      SearchUnmake<C>(undo, m);
      RecordRootMove(0, exact, d, false, false, PvText<C>(m));
      ReportLines(d);
    }
    if (i == 0 && v <= alpha && d > 7) {
      RootMove failed = Search.rootMoves[0];
      failed.score = v;
      failed.depth = d;
      failed.time = ElapsedMs() + 1;
      failed.nodes = Search.nodes;
      ReportRootFailLow(failed);
    }
    if (i == 0 && v <= alpha && Options.displayUpperbounds) {
      RecordRootMove(0, v, d, false, true, PvText<C>(m));
      ReportLines(d);
    }
    if (v > alpha) {
      RecordRootMove(i, v, d, v >= beta, false, PvText<C>(m));
      Search.rootScore = Search.rootMoves[0].score;
      PublishRootResult();
      ReportLines(d);
      best = std::max(best, v);
      if (v >= beta) return v;
      alpha = Search.rootMoves[0].score - Options.multiPvCp;
      if (multiPv > 1) {
        const RootMove& last = Search.rootMoves[multiPv - 1];
        if (last.depth == d) alpha = std::max(alpha, last.score);
      } else {
        alpha = std::max(alpha, Search.rootMoves[0].score);
      }
    }
  }
  Search.rootMoveIndex = -1;
  return best;
}

template <Color C> void IterativeDeepening(Position& p) {
  const int multiPv = std::max(1, std::min(Options.multiPv, Search.rootMoveCount));
  bool haveScore = false;
  for (int d = Limits.depthLimit & 1; d <= 125; d += 2) {
    Search.iterationDepth = d;
    if (d > 7) {
      Send("info depth %d", d / 2 - 3);
      PollInput();
    }
    const int s = Search.rootMoves[0].score;
    int alpha = std::max(Limits.minScore - 1, -MateValue), beta = MateValue;
    if (d > 5 && multiPv == 1 && haveScore && std::abs(s) <= 500) {
      alpha = std::max(Limits.minScore - 1, s - 15);
      beta = alpha + 27;
    }
    int widen = 20;
    bool first = true;
    for (;;) {
      Search.rootResearchingBest = !first;
      Search.rootResearchBound = alpha;
      const int v = RootPass<C>(alpha, beta, d);
      if (d > 7) {
        const uint64_t t = ElapsedMs() + 1, n = Search.nodes * uint64_t(Search.processCount);
        char hits[64] = "";
        if (Search.tbHits) std::snprintf(hits, sizeof hits, "tbhits %" PRIu64 " ", Search.tbHits / 14);
        Send("info depth %d time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " %s", d / 2 - 3, t, n, n * 1000 / t, hits);
      }
      if ((v > alpha && v < beta) || v < Limits.minScore) break;
      if (v <= alpha && alpha <= -MateValue) break;
      if (v >= beta && beta >= MateValue) break;
      const int step = first ? widen - 5 : widen;
      if (v <= alpha) alpha = std::max(alpha - step, -MateValue);
      else beta = std::min(beta + step, MateValue);
      widen *= 2;
      first = false;
    }
    Search.rootResearchingBest = false;
    haveScore = true;
    Search.bestMove = Search.rootMoves[0].move;
    PollInput();
    if (d >= Limits.depthLimit || Search.nodes > Limits.nodeLimit || Search.nodes > Limits.iterationNodeLimit) break;
    const int best = Search.rootMoves[0].score;
    if (Limits.mate > 0 && best > MaxOrdinaryScore && (MateValue - best + 1) / 2 <= Limits.mate) break;
    if (!PonderOrInfinitePending()) {
      int gap = 50000;
      if (Search.rootMoveCount > 1) {
        gap = best - Search.rootMoves[1].score;
        if (Search.rootMoveCount > 2) gap = std::min(gap, best - Search.rootMoves[2].score);
      }
      const uint64_t elapsed = ElapsedMs();
      if (elapsed >= Limits.targetTime * uint64_t(TimeSharePercent(gap)) / 100 || elapsed >= Limits.maximumTime / 4) break;
    }
  }
  (void)p;
}

template <Color C> void PrepareRootMoves(Position& p) {
  MoveList legal;
  GenerateLegalMoves(p, legal);
  Move moves[MaxMoves];
  int count = 0;
  for (Move m : legal) {
    if (Limits.searchMoveCount > 0) {
      bool listed = false;
      for (int i = 0; i < Limits.searchMoveCount && !listed; ++i) listed = SameMove(Limits.searchMoves[i], m);
      if (!listed) continue;
    }
    moves[count++] = m;
  }
  ProbeResult probe;
  ProbeHash<C>(p.st.key, probe);
  for (int i = 0; i < count; ++i)
    if (probe.hashMove && SameMove(moves[i], probe.hashMove)) moves[i] |= (Move(HashMarkBits) << 32);
  for (int i = 1; i < count; ++i) {   // insertion sort, highest first
    const Move m = moves[i];
    int j = i - 1;
    while (j >= 0 && moves[j] < m) {
      moves[j + 1] = moves[j];
      --j;
    }
    moves[j + 1] = m;
  }
  Search.rootMoveCount = count;
  for (int i = 0; i < count; ++i) {
    Search.rootMoves[i] = RootMove{};
    Search.rootMoves[i].move = moves[i];
    Search.rootMoves[i].pv = MoveToText(moves[i]);
  }
  Search.rootMoves[count] = RootMove{};
}
}  // namespace

void NewGameSearchReset() {
  std::memset(&Ordering, 0, sizeof Ordering);
  for (PlyRecord& r : Stack) r = PlyRecord{};
  for (RootMove& rm : Search.rootMoves) rm = RootMove{};
  Search.rootMoveCount = 0;
  Search.bestMove = 0;
}

void RootSearch(Position& p) {
  SearchPosition = &p;
  for (PlyRecord& r : Stack) {
    r.bestMove = r.movePlayed = 0;
    r.killers[0] = r.killers[1] = 0;
    r.pvLength = 0;
    r.attacksValid = false;
    r.positionalValid = false;
    r.staticEval = 0;
  }
  Search.nodes = 0;
  Search.tbHits = 0;
  Search.countdown = 4096;
  Search.rootMoveIndex = -1;
  Search.rootResearchingBest = false;
  const Color us = p.sideToMove;
  if (us == White) PrepareRootMoves<White>(p);
  else PrepareRootMoves<Black>(p);
  if (Search.rootMoveCount == 0) {
    Search.rootMoves[0] = RootMove{};
    Search.rootMoves[0].score = InCheck(p) ? -MateValue : 0;
    Search.rootMoves[0].depth = DepthUnitsOfPlies(0);
    Search.bestMove = 0;
    ReportPvLine(0, true, Search.rootMoves[0]);   // the single evaluation: mated or stalemate
    return;
  }
  if (Search.rootMoveCount == 1) Limits.targetTime = 50;
  Search.bestMove = Search.rootMoves[0].move;
  Search.rootScore = 0;
  const Position saved = p;
  try {
    if (us == White) IterativeDeepening<White>(p);
    else IterativeDeepening<Black>(p);
  } catch (const SearchStopped&) {
    p = saved;
  }
  SearchPosition = &p;
  Search.rootMoveIndex = -1;
  Search.rootResearchingBest = false;
  Search.bestMove = Search.rootMoves[0].move;
}
