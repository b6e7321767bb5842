// Iterative deepening and the root: the root move table, aspiration
// windows, several principal variations, the time rule between iterations,
// and the recovery point a stop unwinds to.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include "board/notation.h"
#include "common/output.h"
#include "platform/platform.h"
#include "search/move_picker.h"
#include "search/time_share.h"
#include "tablebase/tb_probe.h"
#include "tablebase/tb_registry.h"

uint64_t ElapsedMs(const SearchContext& s) { return platform::NowMs() - s.startTime; }

namespace {
// The value of the position after a root move from the tablebases, counted
// as 15 hits (the reports show hits / 14).
bool RootTablebaseScore(SearchContext& s, Score& score) {
  if (MenCount(s.position->st.materialKey) > tb::TbMaxMen() || !tb::ProbeTablebase(*s.position, score))
    return false;
  s.tbHits += 15;
  return true;
}
}  // namespace

void SetPhaseParameters(SearchContext& s, const Position& p) { s.phase = ComputePhaseParameters(p); }

int RootScoreGap(const SearchContext& s) {
  // A rival that fails low at the later iterations keeps its last known
  // value: a new best move is measured against the old best's last score,
  // a lasting best move against what the others were worth when they last
  // had a value of their own.
  int rival = RootMove::NoRivalScore;
  for (int i = 1; i < s.rootMoveCount; ++i)
    if (!SameMove(s.rootMoves[i].move, s.rootMoves[0].move))
      rival = std::max(rival, s.rootMoves[i].rivalScore);
  return rival == RootMove::NoRivalScore ? NoRivalGap : s.rootMoves[0].score - rival;
}

namespace {
void ReportPvLine(SearchContext& s, int index, bool current, const RootMove& rm) {
  if (s.host.reportPvLine) s.host.reportPvLine(s, index, current, rm);
}
void PollInput(SearchContext& s) {
  if (s.host.pollInput) s.host.pollInput();
}

// Share of the time target an iteration may start within, by the score gap
// between the best move and its nearest rival; a rival ahead earns more.
int TimeSharePercent(int gap) {
  if (const int share = ClearLeadShare(gap)) return share;
  return gap >= 0 ? 100 : gap >= -10 ? 110 : 120;
}

// Tenths: the share of the target grows by this when another process of the
// group has a different best move from a search at least as deep.
constexpr uint64_t DisagreementFactor = 15;

bool OtherProcessPrefersAnother(const SearchContext& s) {
  const Move own = s.rootMoves[0].move;
  const int depth = s.rootMoves[0].depth;
  for (int p = 0; p < s.groupSlots; ++p) {
    if (p == s.processNumber) continue;
    const ProcessSlot& slot = s.exchange->slots[p];
    const Move best = Move(Peek(slot.bestMove));
    if (best && own && !SameMove(best, own) && Peek(slot.depth) >= depth) return true;
  }
  return false;
}

// The principal variation as text: the searched line, continued through the
// table's moves as far as they are legal and do not repeat. It ends where the
// fifty-move rule ends the game: front ends check a line against the rules.
template <Color C> void ExtendFromTable(Position& p, std::string& text, int plies);

bool FiftyMoveRuleReached(const Position& p) { return p.st.fifty >= FiftyMoveRule; }

template <Color C> std::string PvText(SearchContext& s, Move first) {
  Position p = *s.position;
  std::string text = MoveToText(first);
  UndoRecord undo;
  MakeMove<C>(p, undo, first);
  Color side = Opponent(C);
  const PlyRecord& child = s.stack[2];
  int plies = 1;
  for (int i = 0; i < child.pvLength; ++i) {
    const Move m = child.pv[i];
    const bool ok = side == White ? IsPlayable<White>(p, m) : IsPlayable<Black>(p, m);
    if (!ok || FiftyMoveRuleReached(p)) return text;
    text += ' ';
    text += MoveToText(m);
    MakeMoveOfSideToMove(p, undo, m);
    side = Opponent(side);
    ++plies;
  }
  if (side == White) ExtendFromTable<White>(p, text, plies);
  else ExtendFromTable<Black>(p, text, plies);
  return text;
}

template <Color C> void ExtendFromTable(Position& p, std::string& text, int plies) {
  if (plies >= 40 || IsRepetition(p) || FiftyMoveRuleReached(p)) return;
  HashEntry e{};
  if (!ProbeDeepest(p.st.key, e) || !EntryHasMove(e)) return;
  const Move m = CompleteStoredMove<C>(p, EntryMoveLow(e), 0);
  if (!m || !IsPlayable<C>(p, m)) return;
  text += ' ';
  text += MoveToText(m);
  UndoRecord undo;
  MakeMove<C>(p, undo, m);
  ExtendFromTable<Opponent(C)>(p, text, plies + 1);
}

// Our results for the other processes of the group: the best line in our
// slot, and the header results for processes 0 and 3 from depth 8 on.
void PublishRootResult(SearchContext& s) {
  const RootMove& best = s.rootMoves[0];
  ProcessSlot& slot = s.exchange->slots[s.processNumber];
  Publish(slot.bestMove, uint64_t(best.move));
  Publish(slot.score, int64_t(best.score));
  Publish(slot.depth, int64_t(best.depth));
  if (best.depth < PublishedFromDepth) return;
  RootExchange& root = *s.exchange;
  if (s.processNumber == 0) {
    Publish(root.bestScore0, int64_t(best.score));
    Publish(root.bestMove0, uint64_t(best.move));
    Publish(root.depth0, int64_t(best.depth));
  } else if (s.processNumber == SecondLineProcess) {
    Publish(root.bestScore3, int64_t(best.score));
    Publish(root.bestMove3, uint64_t(best.move));
    Publish(root.depth3, int64_t(best.depth));
    const RootMove& second = s.rootMoves[1];
    if (s.rootMoveCount > 1) {
      Publish(root.secondScore3, int64_t(second.score));
      Publish(root.secondMove3, uint64_t(second.move));
      Publish(root.secondDepth3, int64_t(second.depth));
    }
  }
}

// A controller that runs two lines learns of the second one when the
// first leads it clearly.
void ReportClearSecondLine(const SearchContext& s) {
  if (s.settings.slaveMode != 2 || s.settings.multiPv != 2 || s.rootMoveCount < 2) return;
  const RootMove &first = s.rootMoves[0], &second = s.rootMoves[1];
  if (!second.move || first.score - second.score <= ClearSecondLineLead) return;
  Reply("%d %d %d %" PRIu64 " %s", s.limits.searchId, second.depth, second.score, second.nodes,
        second.pv.c_str());
}

void ReportLines(SearchContext& s, int depth) {
  if (depth <= ReportedFromDepth) return;
  const int lines = std::min(s.settings.multiPv, s.rootMoveCount);
  for (int k = 0; k < lines; ++k)
    if (s.rootMoves[k].depth >= depth - OnePly && s.rootMoves[k].move)
      ReportPvLine(s, k, false, s.rootMoves[k]);
}

// Records a searched root move and moves it up to its place by score.
void RecordRootMove(SearchContext& s, int index, int score, int depth, bool lower, bool upper,
                    std::string pv) {
  RootMove rm = s.rootMoves[index];
  rm.score = score;
  rm.depth = depth;
  rm.lowerBound = lower;
  rm.upperBound = upper;
  rm.time = ElapsedMs(s) + 1;
  rm.nodes = s.nodes;
  rm.tbHits = s.tbHits;
  rm.pv = std::move(pv);
  rm.rivalScore = score;
  // Entries above that were not searched at this depth hold stale scores.
  int j = index;
  while (j > 0 && (s.rootMoves[j - 1].depth < depth || s.rootMoves[j - 1].score < score)) {
    s.rootMoves[j] = std::move(s.rootMoves[j - 1]);
    --j;
  }
  s.rootMoves[j] = std::move(rm);
}

// Lines the pass keeps exact: a controller's "deny" may lower the count
// while the pass runs.
int LinesWanted(const SearchContext& s) { return std::max(1, std::min(s.settings.multiPv, s.rootMoveCount)); }

// One pass over the root moves with the window (alpha, beta) at iteration
// depth d. Returns the best score (alpha when none exceeds it).
//
// A controller may edit the table while a move is searched ("deny" of
// another move, our own "taking"): the editors keep s.rootMoveIndex on the
// searched move's entry (or just before the entries that followed it, when
// the entry itself went), so the result lands on its own move and the pass
// goes on with the moves not yet searched.
template <Color C> int RootPass(SearchContext& s, int alpha, int beta, int d) {
  constexpr Color Them = Opponent(C);
  Position& p = *s.position;
  const bool samples = s.settings.sampleReports && d > SampleReportDepth;
  if (s.settings.allMovesReports) {
    std::string list;
    if (d >= AllMovesListDepth)
      for (int i = 0; i < s.rootMoveCount; ++i) list.append(" ").append(MoveToText(s.rootMoves[i].move));
    Send("info allmoves%s", list.c_str());
  }
  int best = alpha;
  for (s.rootMoveIndex = 0; s.rootMoveIndex < s.rootMoveCount; ++s.rootMoveIndex) {
    const int before = s.rootMoveIndex;
    const Move m = s.rootMoves[before].move;
    const int storedDepth = s.rootMoves[before].depth, storedScore = s.rootMoves[before].score;
    s.currentRootMove = m;
    Publish(s.exchange->slots[s.processNumber].currentMove, uint64_t(m));
    UndoRecord undo;
    SearchMake<C>(s, undo, m);
    s.stack[1].movePlayed = m;
    if (d > CurrentMoveReportDepth && ElapsedMs(s) > CurrentMoveReportAfterMs)
      Send("info currmove %s currmovenumber %d", MoveToText(m).c_str(), before + 1);
    const bool check = InCheck<Them>(p);
    const int childDepth = d - OnePly + (check ? HalfPly : 0);
    // The randomizer makes positions already played look a little worse.
    const int shift = RandomizerBit(s.settings, p.st.key) ? s.settings.randomizerThreshold : 0;
    // (No score lies beyond the mates: the shifted window stays within them.)
    const int b = std::min(beta + shift, MateScore), a = std::min(alpha + shift, b - 1);
    int v;
    const std::string moveText = samples ? MoveToText(m) : std::string();
    Score tableScore;
    if (RootTablebaseScore(s, tableScore)) {
      // The table knows the value: it replaces the search of the move.
      v = -tableScore + shift;
    } else if (d < FullWindowRootDepth ||
               (before < LinesWanted(s) && storedDepth >= d - OnePly && storedScore > alpha)) {
      if (samples) Send("info sample %s issearching", moveText.c_str());
      v = -PvSearch<Them>(s, -b, -a, childDepth, 2, check);
    } else {
      if (samples) {
        const RootMove& current = s.rootMoves[0];
        Send("info sample isworse %s %s pv %s", moveText.c_str(), FormatScore(current.score).c_str(),
             current.pv.c_str());
      }
      v = -ZeroWindowChild<Them>(s, -a, childDepth, 2, PvChildFlags, check);
      if (v > a) {
        if (samples) Send("info sample %s isunclear", moveText.c_str());
        v = -PvSearch<Them>(s, -a - 1, -a, childDepth, 2, check);
        if (v > a) {
          if (samples) Send("info sample %s isbetter", moveText.c_str());
          v = -PvSearch<Them>(s, -b, -a, childDepth, 2, check);
        }
      }
    }
    v -= shift;
    SearchUnmake<C>(s, undo, m);
    Publish(s.exchange->slots[s.processNumber].currentMove, uint64_t(0));
    s.currentRootMove = 0;
    const int i = s.rootMoveIndex;
    // The move's entry went while it was searched (the table was cut to the
    // best move): its result has no place any more.
    if (i < 0 || i >= s.rootMoveCount || s.rootMoves[i].move != m) continue;
    if (d < FullWindowRootDepth) s.rootMoves[i].rivalScore = v;
    if (i == 0 && v <= alpha && s.settings.alwaysScoreMainMove && d >= FullWindowRootDepth) {
      // The main move always gets a searched score, even when it fails low.
      SearchMake<C>(s, undo, m);
      const bool again = InCheck<Them>(p);
      const int exact =
          -PvSearch<Them>(s, -MateScore, MateScore, d - OnePly + (again ? HalfPly : 0), 2, again);
      SearchUnmake<C>(s, undo, m);
      if (s.rootMoveIndex == 0 && s.rootMoves[0].move == m) {
        RecordRootMove(s, 0, exact, d, false, false, PvText<C>(s, m));
        ReportLines(s, d);
      }
    }
    if (i == 0 && v <= alpha && d > ReportedFromDepth) {
      RootMove failed = s.rootMoves[0];
      failed.score = v;
      failed.depth = d;
      failed.time = ElapsedMs(s) + 1;
      failed.nodes = s.nodes;
      if (s.host.reportRootFailLow) s.host.reportRootFailLow(s, failed);
    }
    if (i == 0 && v <= alpha && s.settings.displayUpperbounds) {
      RecordRootMove(s, 0, v, d, false, true, PvText<C>(s, m));
      ReportLines(s, d);
    }
    if (d >= SecondLineReportDepth) ReportClearSecondLine(s);
    if (v > alpha) {
      RecordRootMove(s, s.rootMoveIndex, v, d, v >= beta, false, PvText<C>(s, m));
      s.rootScore = s.rootMoves[0].score;
      PublishRootResult(s);
      ReportLines(s, d);
      best = std::max(best, v);
      if (v >= beta) return v;
      // Several lines: the later ones need only come within MultiPV_cp of the
      // best (never below the lowest score there is).
      alpha = std::max(s.rootMoves[0].score - s.settings.multiPvCp, -MateScore);
      const int lines = LinesWanted(s);
      if (lines > 1) {
        const RootMove& last = s.rootMoves[lines - 1];
        if (last.depth == d) alpha = std::max(alpha, last.score);
      } else {
        alpha = std::max(alpha, s.rootMoves[0].score);
      }
      // An entry may still hold the lower bound of a pass that failed high
      // and was searched again with a wider window: the window stays open.
      alpha = std::min(alpha, beta - 1);
    }
  }
  s.rootMoveIndex = -1;
  return best;
}

template <Color C> void IterativeDeepening(SearchContext& s, Position& p) {
  const int multiPv = std::max(1, std::min(s.settings.multiPv, s.rootMoveCount));
  bool haveScore = false;
  for (int d = s.limits.depthLimit & 1; d <= LastIterationDepth; d += OnePly) {
    if (d > ReportedFromDepth) {
      Send("info depth %d", PliesOfDepthUnits(d));
      PollInput(s);
    }
    const int previous = s.rootMoves[0].score;
    int alpha = std::max(s.limits.minScore - 1, -MateScore), beta = MateScore;
    if (d > AspirationFromDepth && multiPv == 1 && haveScore && std::abs(previous) <= AspirationMaxScore) {
      alpha = std::max(s.limits.minScore - 1, previous - AspirationBelow);
      beta = alpha + AspirationWidth;
    }
    int widen = AspirationWiden;
    bool first = true;
    for (;;) {
      s.rootResearchingBest = !first;
      s.rootResearchBound = alpha;
      const int v = RootPass<C>(s, alpha, beta, d);
      if (d > ReportedFromDepth) {
        const uint64_t t = ElapsedMs(s) + 1, n = s.nodes * uint64_t(s.processCount);
        char hits[64] = "";
        if (s.tbHits) std::snprintf(hits, sizeof hits, "tbhits %" PRIu64 " ", s.tbHits / 14);
        Send("info depth %d time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " %s", PliesOfDepthUnits(d), t,
             n, n * 1000 / t, hits);
      }
      if ((v > alpha && v < beta) || v < s.limits.minScore) break;
      if (v <= alpha && alpha <= -MateScore) break;
      if (v >= beta && beta >= MateScore) break;
      const int step = first ? widen - AspirationFirstRebate : widen;
      if (v <= alpha) alpha = std::max(alpha - step, -MateScore);
      else beta = std::min(beta + step, MateScore);
      widen *= 2;
      first = false;
    }
    s.rootResearchingBest = false;
    haveScore = true;
    s.bestMove = s.rootMoves[0].move;
    PollInput(s);
    if (d >= s.limits.depthLimit || s.nodes > s.limits.nodeLimit || s.nodes > s.limits.iterationNodeLimit)
      break;
    const int best = s.rootMoves[0].score;
    if (s.limits.mate > 0 && best > MaxOrdinaryScore && (MateScore - best + 1) / 2 <= s.limits.mate) break;
    if (!s.limits.ponderOrInfinite) {
      const int gap = RootScoreGap(s);
      uint64_t percent = uint64_t(TimeSharePercent(gap));
      if (OtherProcessPrefersAnother(s)) percent = percent * DisagreementFactor / 10;
      const uint64_t elapsed = ElapsedMs(s);
      if (elapsed >= s.limits.targetTime * percent / 100 || elapsed >= s.limits.maximumTime / 4) {
        if (s.host.clockEndsSearch) s.host.clockEndsSearch(s);
        break;
      }
    }
  }
  (void)p;
}

template <Color C> void PrepareRootMoves(SearchContext& s, Position& p) {
  MoveList legal;
  GenerateLegalMoves(p, legal);
  Move moves[MaxMoves];
  int count = 0;
  for (Move m : legal) {
    if (s.limits.searchMoveCount > 0) {
      bool listed = false;
      for (int i = 0; i < s.limits.searchMoveCount && !listed; ++i)
        listed = SameMove(s.limits.searchMoves[i], m);
      if (!listed) continue;
    }
    moves[count++] = m;
  }
  ProbeResult probe;
  ProbeHash<C>(*s.position, p.st.key, probe);
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
  s.rootMoveCount = count;
  for (int i = 0; i < count; ++i) {
    s.rootMoves[i] = RootMove{};
    s.rootMoves[i].move = moves[i];
    s.rootMoves[i].pv = MoveToText(moves[i]);
  }
  s.rootMoves[count] = RootMove{};
}
}  // namespace

void NewGameSearchReset(SearchContext& s) {
  std::memset(&s.ordering, 0, sizeof s.ordering);
  for (PlyRecord& r : s.stack) r = PlyRecord{};
  for (RootMove& rm : s.rootMoves) rm = RootMove{};
  s.rootMoveCount = 0;
  s.bestMove = 0;
}

namespace {
// Removes the entries `drop` picks, closing the gaps. The index of the move
// being searched follows its entry; when the entry itself goes, the index
// stands just before the entries that followed it, so that the pass goes on
// with them.
template <typename Drop> int EraseRootMoves(SearchContext& s, Drop drop) {
  int kept = 0, removed = 0, index = s.rootMoveIndex;
  for (int i = 0; i < s.rootMoveCount; ++i) {
    if (drop(i, s.rootMoves[i])) {
      ++removed;
      if (i == s.rootMoveIndex) index = kept - 1;
      continue;
    }
    if (i == s.rootMoveIndex) index = kept;
    if (kept != i) s.rootMoves[kept] = std::move(s.rootMoves[i]);
    ++kept;
  }
  for (int i = kept; i < s.rootMoveCount; ++i) s.rootMoves[i] = RootMove{};
  s.rootMoveCount = kept;
  if (s.rootMoveIndex >= 0) s.rootMoveIndex = index;
  return removed;
}
}  // namespace

int RemoveRootMove(SearchContext& s, Move m) {
  return EraseRootMoves(s, [m](int, const RootMove& rm) { return SameMove(rm.move, m); });
}

void KeepOnlyFirstRootMove(SearchContext& s) {
  EraseRootMoves(s, [](int i, const RootMove&) { return i > 0; });
}

void RootSearch(SearchContext& s, Position& p) {
  s.position = &p;
  for (PlyRecord& r : s.stack) {
    r.bestMove = r.movePlayed = 0;
    r.killers[0] = r.killers[1] = 0;
    r.pvLength = 0;
    r.attacksValid = false;
    r.positionalValid = false;
    r.staticEval = 0;
  }
  s.nodes = 0;
  s.tbHits = 0;
  s.countdown = MovesBetweenChecks;
  s.rootMoveIndex = -1;
  s.currentRootMove = 0;
  s.rootResearchingBest = false;
  s.restartRequested = false;
  s.lastPostDepth = 0;
  s.lastPostTime = 0;
  const Color us = p.sideToMove;
  if (us == White) PrepareRootMoves<White>(s, p);
  else PrepareRootMoves<Black>(s, p);
  if (s.rootMoveCount == 0) {
    s.rootMoves[0] = RootMove{};
    s.rootMoves[0].score = InCheck(p) ? -MateScore : 0;
    s.rootMoves[0].depth = DepthUnitsOfPlies(0);
    s.bestMove = 0;
    ReportPvLine(s, 0, true, s.rootMoves[0]);   // the single evaluation: mated or stalemate
    return;
  }
  if (s.rootMoveCount == 1) s.limits.targetTime = OnlyMoveTargetMs;
  s.bestMove = s.rootMoves[0].move;
  s.rootScore = 0;
  const Position saved = p;
  for (;;) {
    try {
      if (us == White) IterativeDeepening<White>(s, p);
      else IterativeDeepening<Black>(s, p);
    } catch (const SearchStopped&) {
      p = saved;
    }
    s.position = &p;
    s.rootMoveIndex = -1;
    s.currentRootMove = 0;
    // A stop thrown inside a root move skips the pass's own clearing: the
    // group must not read a move this process no longer searches.
    Publish(s.exchange->slots[s.processNumber].currentMove, uint64_t(0));
    s.rootResearchingBest = false;
    if (!s.restartRequested || s.rootMoveCount == 0) break;
    s.restartRequested = false;
    s.countdown = MovesBetweenChecks;
  }
  s.bestMove = s.rootMoves[0].move;
}
