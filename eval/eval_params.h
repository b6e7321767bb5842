// The evaluation weights that are ours to choose, in one named table: the
// piece-square profiles, the imbalance model and the pawn-structure,
// passed-pawn and shelter values. Values that are fixed by design stay in the
// code that uses them; the few entries of a profile that such a value pins
// are marked fixed here, so that no tuning run or file can move them.
//
// The release build reads the table as a compile-time constant. A tuning build
// (TOLVO_TUNING) holds it in a mutable global that SetEvalParams replaces and
// whose derived tables it rebuilds; TOLVO_TUNED_PARAMS builds with the values
// of the last tuning run instead of the defaults.
#pragma once
#include <cstdint>
#include <string>

// Each row: name, number of entries, mask of the entries that are fixed.
// Units are internal (1024 = one pawn) unless a row says otherwise.
#define TOLVO_EVAL_PARAMS(X)                                                        \
  /* Placement profiles, White's view: an entry is file value (a/h, b/g, c/f,   \
     d/e) plus rank value (ranks 1..8); the offsets make most entries negative */ \
  X(pawnFileMg, 4, 0x9) X(pawnRankMg, 8, 0xD3) X(pawnFileEg, 4, 0x9) X(pawnRankEg, 8, 0xD3)          \
  X(knightFileMg, 4, 0x9) X(knightRankMg, 8, 0x11) X(knightFileEg, 4, 0x9) X(knightRankEg, 8, 0x11)  \
  X(bishopFileMg, 4, 0x9) X(bishopRankMg, 8, 0x9) X(bishopFileEg, 4, 0x9) X(bishopRankEg, 8, 0x9)    \
  X(rookFileMg, 4, 0x9) X(rookRankMg, 8, 0x61) X(rookFileEg, 4, 0x9) X(rookRankEg, 8, 0x61)          \
  X(queenFileMg, 4, 0x9) X(queenRankMg, 8, 0x9) X(queenFileEg, 4, 0x9) X(queenRankEg, 8, 0x9)        \
  /* King: the middlegame file value counts by the rank's share (percent) */   \
  X(kingFileMg, 4, 0xB) X(kingRankSharePercent, 8, 0xF9) X(kingRankMg, 8, 0x19)                      \
  X(kingFileEg, 4, 0xB) X(kingRankEg, 8, 0x19)                                                       \
  /* Imbalance model: bishop pair loss per pawn on the board, knight gain per  \
     own pawn above the pivot, second rook, exchange up, pieces (minor 1,       \
     rook 2) at which the pawns' endgame gain has faded */                     \
  X(bishopPairPerPawn, 1, 0) X(knightPerOwnPawn, 1, 0) X(knightPawnPivot, 1, 0)                      \
  X(secondRook, 1, 0) X(exchangeUp, 1, 0) X(pawnGainPieces, 1, 0)                                    \
  /* Pawn structure: isolated pawn on a file without pawns ahead, by file      \
     (a/h .. d/e); passed pawns by relative rank (index 1 = second rank):      \
     base, outside (one side region free of enemy pawns), protected,           \
     connected (per passed neighbour); king distances to the stop square from  \
     the fourth rank on (tenths per square); candidates (plus half the base) */ \
  X(isolatedOpenMg, 4, 0) X(isolatedOpenEg, 4, 0)                                                    \
  X(passedBaseMg, 7, 0x1) X(passedBaseEg, 7, 0x1) X(passedOutsideMg, 7, 0x1) X(passedOutsideEg, 7, 0x1) \
  X(passedProtectedMg, 7, 0x1) X(passedProtectedEg, 7, 0x1)                                          \
  X(passedConnectedMg, 7, 0x1) X(passedConnectedEg, 7, 0x1)                                          \
  X(passedEnemyKing, 7, 0x7) X(passedOwnKing, 7, 0x7)                                                \
  X(candidateMg, 7, 0x41) X(candidateEg, 7, 0x41)                                                    \
  /* Shelter of a castled king: per file around the king, by the rank of the   \
     nearest own pawn (one, two, three ranks ahead, none); the king's file      \
     counts 1.5 times; endgame value as a percentage of the middlegame one */  \
  X(shelterByRank, 4, 0) X(shelterEgPercent, 1, 0)

struct EvalParams {
#define TOLVO_PARAM_FIELD(name, count, fixed) int name[count];
  TOLVO_EVAL_PARAMS(TOLVO_PARAM_FIELD)
#undef TOLVO_PARAM_FIELD
};

inline constexpr EvalParams DefaultEvalParams = {
#include "eval/eval_params_default.inc"
};

#ifdef TOLVO_TUNED_PARAMS
inline constexpr EvalParams TunedEvalParams = {
#include "eval/eval_params_tuned.inc"
};
inline constexpr const EvalParams& BuiltInEvalParams = TunedEvalParams;
#else
inline constexpr const EvalParams& BuiltInEvalParams = DefaultEvalParams;
#endif

#ifdef TOLVO_TUNING
extern EvalParams Params;
#else
inline constexpr const EvalParams& Params = BuiltInEvalParams;
#endif

// One row of the table, for files, tools and tests.
struct EvalParamRow {
  const char* name;
  int count;
  uint32_t fixedMask;
  int* (*field)(EvalParams&);
  const int* (*constField)(const EvalParams&);
};
extern const EvalParamRow EvalParamRows[];
extern const int EvalParamRowCount;

// "name v1 v2 ..." per row, in table order.
std::string FormatEvalParams(const EvalParams& params);
// Reads rows in the format above into `params` (rows not named keep their
// value; '#' starts a comment). False with a message naming the line for an
// unknown name, a wrong count, a value that is not an integer or out of range,
// or a change to a fixed entry; `params` is then unchanged.
bool ParseEvalParams(const std::string& text, EvalParams& params, std::string& error);
// The limits beyond the value range: divisors at least 1, shares 0..100.
bool EvalParamsUsable(const EvalParams& params, std::string& error);
// The table as the body of a C++ initializer (the .inc files), headed by
// `comment` as comment lines.
std::string EvalParamsSource(const EvalParams& params, const std::string& comment);

#ifdef TOLVO_TUNING
// Replaces the table and rebuilds everything computed from it (piece-square
// and imbalance tables, shelter table, pawn cache). Positions set up before
// hold a stale piece-square sum: rebuild them (RebuildDerivedState).
void SetEvalParams(const EvalParams& params);
#endif
