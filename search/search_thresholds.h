// Every fixed threshold, margin, reduction and extension of the search, in
// one place. Depths are in internal units (half plies: depth D plies is
// 2 * (D + 3) units, so a zero-window node at "depth 10" has two plies left
// before its depth-0 level), scores in centipawns. The margins that follow
// the material on the board are not here: PhaseParameters blends them.
#pragma once
#include <cstdint>

// --- Depth and ply ----------------------------------------------------------
constexpr int MaxStoredDepth = 63;        // the table's depth field holds 6 bits
constexpr int OnePly = 2;                 // depth units
constexpr int HalfPly = 1;
constexpr int PvPlyLimit = 200;           // principal-variation nodes beyond this ply return 0

// A table entry's depth as stored: deeper searches are stored as the deepest.
constexpr int StoredDepth(int depth) { return depth < MaxStoredDepth ? depth : MaxStoredDepth; }

// --- Periodic check -----------------------------------------------------------
constexpr int64_t MovesBetweenChecks = 4096;   // made moves between two polls of the input and clock

// --- Draw rules ---------------------------------------------------------------
// Half moves without capture or pawn move that make a draw; a silent "goe"
// search judges games of its own kind by a shorter rule.
constexpr uint32_t FiftyMoveRule = 100;
constexpr uint32_t SilentSearchFiftyMoveRule = 40;
// A quiet move that takes back the mover's own last move is skipped once the
// counter shows this many quiet half moves (both sides reversed a move).
constexpr uint32_t ReversalHalfMoves = 2;

// --- Time ---------------------------------------------------------------------
constexpr uint64_t OnlyMoveTargetMs = 50;   // a position with one legal move needs no thought

// --- Aspiration windows at the root -------------------------------------------------
constexpr int AspirationFromDepth = 5;      // iterations of more than this depth use a window (single line)
constexpr int AspirationMaxScore = 500;     // ... around a previous score no larger than this
constexpr int AspirationBelow = 15;         // the window's lower edge below the previous score
constexpr int AspirationWidth = 27;
constexpr int AspirationWiden = 20;         // first widening (less 5), doubled at each failure
constexpr int AspirationFirstRebate = 5;
constexpr int ReportedFromDepth = 7;        // iterations up to this depth (internal units) are not reported
constexpr int LastIterationDepth = 125;     // no iteration goes deeper (internal units)
// The first iterations search every root move with the full window, so that
// every move gets a value for the time rule.
constexpr int FullWindowRootDepth = 4;
// Root reports: "info currmove" from this depth once a second has passed;
// "info allmoves" lists the moves from this depth; "info sample" from this depth.
constexpr int CurrentMoveReportDepth = 27;
constexpr uint64_t CurrentMoveReportAfterMs = 1000;
constexpr int AllMovesListDepth = 14;
constexpr int SampleReportDepth = 21;
// Results published to the other processes from this depth on.
constexpr int PublishedFromDepth = 8;
// A controller that runs two lines hears of the second once the first leads
// it by more than this, at iteration depths from SecondLineReportDepth.
constexpr int ClearSecondLineLead = 120;
constexpr int SecondLineReportDepth = 20;

// --- Principal-variation nodes ------------------------------------------------------
// Internal iterative deepening when the table's deepest entry is this much
// shallower than the node (more with a table move than without one).
constexpr int PvIidGapWithMove = 10, PvIidGapWithoutMove = 2;
constexpr int PvIidShallowDepth = 12;       // below it one search two units shallower
constexpr int PvIidProbeMargin = 500;       // above it a wide search eight units shallower first
constexpr int PvIidProbeReduction = 8, PvIidReduction = 4;
// The table move's extension (checks, early passers, recaptures, singular moves).
constexpr int HashExtensionDepth = 16;
constexpr int RecaptureMargin = 50;  // the recapture must win back at least this much of the parent's loss
constexpr int SingularWideDepth = 26;        // first a wide singularity test ...
constexpr int SingularWideMargin = 80, SingularWideReduction = 14;
constexpr int SingularMargin = 16, SingularReduction = 10;   // ... then a narrow one
// Later moves of a PV node: pruning only this shallow.
constexpr int PvPruningDepth = 8;
constexpr int PvFutilityDepthShift = 3;     // PV nodes read the futility table this many rows deeper
constexpr int PvResearchDepth = 16;  // from here a zero-window fail high is confirmed before the full window

// --- Table moves and lazy evaluation ---------------------------------------------
// A table move from an entry without a lower bound counts as this deep when
// the probe picks the move of the deepest entry.
constexpr int UnprovenMoveDepth = 2;
// A lazy estimate near the bound (within the blended margin and these) is
// replaced by a full evaluation: the margin widens after an estimated parent
// and after a capture, and narrows otherwise.
constexpr int LazyEstimatedParent = 10, LazyAfterCapture = 15;

// --- Zero-window nodes ----------------------------------------------------------
constexpr int LowBandDepth = 5;              // up to this depth a node is in the low band
constexpr int StaticCutMaxDepth = 8;         // the static cut-off reads lowBand[depth] up to here
constexpr int FarBelowMargin = 100;  // evaluation this far below the bound: "far below" history and ordering
// Null move: the reduction grows with the evaluation's lead over the bound.
constexpr int NullLeadSmall = 30, NullLeadMedium = 50, NullLeadLarge = 150;
constexpr int NullReduction = 8;             // the reply is searched this much shallower (at least OnePly)
constexpr int NullDepth0Reply = 8;           // ... or at depth 0 when that leaves no more than this
// Internal iterative deepening at expected cut nodes without a table move.
constexpr int CutIidDepth = 8, CutIidAlwaysDepth = 12, CutIidReduction = 4;
// Only tactical moves far below the bound (the blended margins by depth).
constexpr int TacticalOnlyMaxDepth = 19;
// Late quiet moves with a poor history are not searched.
constexpr int HistoryPruningQuiets = 3;
constexpr int HistoryPruningDepth = 10, HistoryPruningValue = 300;
constexpr int HistoryPruningDeepDepth = 12, HistoryPruningDeepValue = 100;
// Quiet moves beyond 2 * depth + this are not searched at all.
constexpr int QuietCountSlack = 4;
constexpr int FutilityMaxDepth = 11;
// A quiet move of an attacked piece onto a square where it is lost.
constexpr int LostPieceCutDepth = 16, LostPieceAllDepth = 14;
constexpr int LostPieceCheckDepth = 4;       // deeper than this a checking move is kept
// Late move reductions of quiet moves (depth units).
constexpr int ReductionSplitDepth = 9;        // below it the smaller reduction of each kind
constexpr int CutReduction = 6, CutReductionDeep = 7;
constexpr int AllReduction = 2, AllReductionDeep = 3;
constexpr int AllNodeUnreducedMoves = 4;      // the first moves of an all node keep their depth
constexpr int EarlyMoveRebateCount = 6;       // moves up to this count are reduced one unit less
constexpr int LateMoveDeepDepth = 8;          // from this count on, reduced one unit more:
constexpr int LateMoveDeepBase = 17, LateMoveShallowBase = 14;   //   2 * (base - depth)
constexpr int ReducedDepth0Limit = 3;         // a reduced depth up to this searches at depth 0
constexpr int CutResearchLateMoves = 7;       // a late move's re-search at a cut node stays one ply shallower

// Futility margins of quiet moves (centipawns) by remaining depth in half
// plies and the number of quiet moves already searched; NoFutility never prunes.
constexpr int NoFutility = 3000;
constexpr int FutilityMargin[12][5] = {
    {30, 22, 14, 14, 14},
    {30, 22, 14, 14, 14},
    {30, 22, 14, -35, -35},
    {30, 22, 14, -35, -35},
    {NoFutility, NoFutility, NoFutility, -21, -21},
    {NoFutility, NoFutility, NoFutility, -21, -21},
    {NoFutility, NoFutility, NoFutility, NoFutility, -17},
    {NoFutility, NoFutility, NoFutility, NoFutility, -17},
    {NoFutility, NoFutility, NoFutility, NoFutility, 6},
    {NoFutility, NoFutility, NoFutility, NoFutility, 6},
    {NoFutility, NoFutility, NoFutility, NoFutility, 55},
    {NoFutility, NoFutility, NoFutility, NoFutility, 55},
};
constexpr int FutilityQuietColumns = 4;       // quiet moves counted by the table

// --- Quiescence ---------------------------------------------------------------
// Quiescence results go into the table at these depths: a cut-off as one ply
// (it holds for any depth-0 node), a fail low as half a ply.
constexpr int QuiescenceLowerDepth = 2, QuiescenceUpperDepth = 1;
constexpr int TrustHashMoveLevel = -3;        // above this level a table move alone decides the node
// Quiet checks: the budget grows the closer the evaluation lies to alpha.
constexpr int CheckBudgetNear = 43, CheckBudgetCloser = 91, CheckBudgetClosest = 140;
constexpr int CheckBudgetStandPat = 2;        // extra when the evaluation is above alpha
// Far below alpha a fruitless node is worth a little more than its evaluation.
constexpr int FruitlessGap = 45, FruitlessAllowance = 36;

// --- Work sharing ---------------------------------------------------------------
// "posting": exact results near the root, deep enough and not decided.
constexpr int PostingMaxPly = 10, PostingMinDepth = 20, PostingMaxScore = 499;
constexpr uint64_t PostingIntervalMs = 500;   // a shallower result is posted only after this long
