#include "eval/pawns.h"

#include <cstring>
#include <cstdlib>
#ifdef TOLVO_TUNING
#include <atomic>
#include <memory>
#endif
#include "eval/eval_params.h"

namespace {
#ifdef TOLVO_TUNING
// The tuner evaluates on several threads at once: each thread keeps its own
// cache, emptied before its first use after the weights change.
struct FreeCache {
  void operator()(PawnInfo* table) const { std::free(table); }
};
thread_local std::unique_ptr<PawnInfo, FreeCache> threadCache;
thread_local PawnInfo* cache = nullptr;
thread_local uint32_t cacheVersion = 0;
std::atomic<uint32_t> weightsVersion{1};
#else
PawnInfo* cache = nullptr;
#endif

constexpr Bitboard AdjacentFiles(int file) {
  return (file > 0 ? FileBits(file - 1) : 0) | (file < 7 ? FileBits(file + 1) : 0);
}

// Structure penalties (internal units).
constexpr PackedScore Doubled = Pack(20, 50), DoubledIsolatedOpen = Pack(102, 160);
constexpr PackedScore DoubledIsolated = Pack(44, 82), Isolated = Pack(42, 56), Backward = Pack(39, 52);
constexpr PackedScore UnsupportedOnOpenFile = Pack(90, 120);
// The isolated-pawn, passed-pawn, candidate and shelter values come from the
// parameter table (see eval_params.h); a passed pawn's entries by relative
// rank are packed here when the pawn is evaluated (the pawn cache keeps the
// result, so the packing costs nothing in the search).
PackedScore ParamPair(const int* mg, const int* eg, int i) { return Pack(mg[i], eg[i]); }
#define TOLVO_PAIR(name, i) ParamPair(Params.name##Mg, Params.name##Eg, i)

// Shelter by the 9-bit pattern of own pawns on the three files around the king.
PackedScore ShelterTable[512];
// Pawns storming a king on the other wing.
constexpr PackedScore StormPawn = Pack(30, 10);

// Bishop and pawn colours.
constexpr PackedScore PawnOnBishopColour = Pack(8, 8), ColourImbalance = Pack(2, 2);
constexpr int KingNearUndefendedPawn = 60;   // endgame

template <Color C> Bitboard Forward(Bitboard b, int ranks) {
  return C == White ? b << (8 * ranks) : b >> (8 * ranks);
}

// Squares each pawn attacks now or after advancing until a pawn blocks it.
template <Color C> Bitboard AttackSpan(const Position& p) {
  const Bitboard allPawns = p.pieces[WhitePawn] | p.pieces[BlackPawn];
  Bitboard path = 0;
  for (Bitboard b = p.Pieces(C, PawnType); b;) {
    const Square s = PopLowest(b);
    const Bitboard ahead = AheadOnFile[C][s];
    const Bitboard blockers = ahead & allPawns;
    if (!blockers) path |= ahead | SquareBit(s);
    else path |= Between(s, C == White ? LowestSquare(blockers) : HighestSquare(blockers)) | SquareBit(s);
  }
  return PawnAttacks<C>(path);
}

template <Color C> int ShelterPattern(const Position& p, Square k) {
  const Bitboard own = p.Pieces(C, PawnType);
  int pattern = 0;
  for (int f = 0; f < 3; ++f) {
    const int file = FileOf(k) - 1 + f;
    if (file < 0 || file > 7) {
      pattern |= 1 << (3 * f);   // the board edge shelters like a pawn in front
      continue;
    }
    for (int r = 0; r < 3; ++r) {
      const int rank = RankOf(k) + (C == White ? r + 1 : -(r + 1));
      if (rank >= 0 && rank < 8 && (own & SquareBit(MakeSquare(file, rank)))) pattern |= 1 << (3 * f + r);
    }
  }
  return pattern;
}

template <Color C> PackedScore EvaluateSide(const Position& p, PawnInfo& info) {
  constexpr Color Them = Opponent(C);
  const Bitboard own = p.Pieces(C, PawnType), enemy = p.Pieces(Them, PawnType), all = own | enemy;
  const Bitboard enemyAttacks = PawnAttacks<Them>(enemy), ownAttacks = PawnAttacks<C>(own);
  const Square ownKing = p.KingSquare(C), enemyKing = p.KingSquare(Them);
  Accumulator acc;
  Bitboard passed = 0, backward = 0;

  for (Bitboard b = own; b;) {
    const Square s = PopLowest(b);
    const int file = FileOf(s), r = RelativeRank<C>(s);
    const Bitboard ahead = AheadOnFile[C][s];
    const Bitboard adjacent = AdjacentFiles(file) & own;
    const bool doubled = (AheadOnFile[Them][s] & own) != 0;
    const bool isolated = adjacent == 0;
    // Own pawns on the neighbouring files level with or behind this one.
    const Bitboard supporters = adjacent & ~RanksAhead[C][s];
    if (!(ahead & all)) {
      if (doubled) acc -= isolated ? DoubledIsolatedOpen : Doubled;
      if (isolated) acc -= TOLVO_PAIR(isolatedOpen, file < 4 ? file : 7 - file);
      else if (!supporters) acc -= UnsupportedOnOpenFile;
      const Bitboard controllers = PawnAttackSpan[C][s] & enemy;
      if (!controllers) {
        passed |= SquareBit(s);
        acc += TOLVO_PAIR(passedBase, r);
        const Bitboard leftSide = file > 0 ? FileABits * ((1u << file) - 1) : 0;
        const Bitboard rightSide = file < 7 ? FileABits * (0xFFu & ~((2u << file) - 1)) : 0;
        if ((leftSide && !(leftSide & enemy)) || (rightSide && !(rightSide & enemy)))
          acc += TOLVO_PAIR(passedOutside, r);
        if (ownAttacks & SquareBit(s)) acc += TOLVO_PAIR(passedProtected, r);
        if (r >= 3) {
          const Square stop = s + PawnStep<C>();
          const int bonus = (SquareDistance(enemyKing, stop) * Params.passedEnemyKing[r] -
                             SquareDistance(ownKing, stop) * Params.passedOwnKing[r]) / 10;
          acc += Pack(0, bonus);
        }
      } else {
        // Candidate: at least as many own pawns able to support the advance
        // as enemy pawns controlling its path.
        if (PopCount(adjacent & ~RanksAhead[C][s]) + PopCount(adjacent & RanksAhead[C][s] & ~enemyAttacks) >=
            PopCount(controllers))
          acc += Add(TOLVO_PAIR(candidate, r), Pack(Params.passedBaseMg[r] / 2, Params.passedBaseEg[r] / 2));
      }
    } else {
      if (doubled) acc -= isolated ? DoubledIsolated : Doubled;
      if (isolated) {
        acc -= Isolated;
      } else if ((enemyAttacks & SquareBit(s + PawnStep<C>())) && !supporters) {
        acc -= Backward;
        backward |= SquareBit(s);
      }
    }
  }
  // Connected passers: a bonus for each passed neighbour.
  for (Bitboard b = passed; b;) {
    const Square s = PopLowest(b);
    acc +=
        Times(TOLVO_PAIR(passedConnected, RelativeRank<C>(s)), PopCount(AdjacentFiles(FileOf(s)) & passed));
  }
  info.passed[C] = passed;
  info.backward[C] = backward;
  info.attackSpan[C] = AttackSpan<C>(p);
  // Squares behind the enemy pawns (seen from this side): a rook's file is
  // shut where an enemy pawn or minor stands behind an enemy pawn.
  Bitboard behindEnemy = 0;
  for (Bitboard b = enemy; b;) behindEnemy |= AheadOnFile[C][PopLowest(b)];
  info.rookBlocked[C] = behindEnemy;

  // A king next to an enemy pawn that no enemy pawn defends can take it.
  if (KingAttacks(ownKing) & enemy & ~enemyAttacks) acc += Pack(0, KingNearUndefendedPawn);

  // Shelter of a king on its first two ranks.
  info.shelter[C] = RelativeRank<C>(ownKing) <= 1 ? ShelterTable[ShelterPattern<C>(p, ownKing)] : 0;
  // Kings on opposite wings: pawns advancing on the enemy king's files.
  const int ownWing = FileOf(ownKing) <= 2 ? 0 : FileOf(ownKing) >= 5 ? 2 : 1;
  const int enemyWing = FileOf(enemyKing) <= 2 ? 0 : FileOf(enemyKing) >= 5 ? 2 : 1;
  if (ownWing != 1 && enemyWing != 1 && ownWing != enemyWing) {
    const Bitboard files = FileBits(FileOf(enemyKing)) | AdjacentFiles(FileOf(enemyKing));
    const Bitboard advanced = RelativeRankBits<C>(3) | RelativeRankBits<C>(4) | RelativeRankBits<C>(5);
    acc += Times(StormPawn, PopCount(own & files & advanced));
  }
  return acc.value;
}

// Endgame king activity: distance of each king to its nearest own pawn,
// longer when the way passes the enemy king.
template <Color C> int KingPawnDistance(const Position& p) {
  const Square k = p.KingSquare(C);
  const Bitboard enemyZone = KingAttacks(p.KingSquare(Opponent(C))) | SquareBit(p.KingSquare(Opponent(C)));
  int best = 0;
  bool any = false;
  for (Bitboard b = p.Pieces(C, PawnType); b;) {
    const Square s = PopLowest(b);
    int d = 4 * SquareDistance(k, s);
    const int f0 = std::min(FileOf(k), FileOf(s)), f1 = std::max(FileOf(k), FileOf(s));
    const int r0 = std::min(RankOf(k), RankOf(s)), r1 = std::max(RankOf(k), RankOf(s));
    Bitboard box = 0;
    for (int f = f0; f <= f1; ++f) box |= FileBits(f);
    Bitboard ranks = 0;
    for (int r = r0; r <= r1; ++r) ranks |= RankBits(r);
    if (box & ranks & enemyZone) d += 24;
    if (!any || d < best) best = d;
    any = true;
  }
  return best;
}
}  // namespace

void ComputePawnInfo(const Position& p, PawnInfo& info) {
  std::memset(&info, 0, sizeof info);
  info.key = p.st.pawnKey;
  info.score = Sub(EvaluateSide<White>(p, info), EvaluateSide<Black>(p, info));
  info.score = Add(info.score, Pack(0, 5 * (KingPawnDistance<Black>(p) - KingPawnDistance<White>(p))));
}

void InitShelterTable() {
  for (int pattern = 0; pattern < 512; ++pattern) {
    int mg = 0;
    for (int f = 0; f < 3; ++f) {
      const int bits = (pattern >> (3 * f)) & 7;
      int rank = 3;
      for (int r = 0; r < 3; ++r)
        if (bits & (1 << r)) { rank = r; break; }
      mg += Params.shelterByRank[rank] * (f == 1 ? 3 : 2) / 2;   // the king's own file counts 1.5 times
    }
    ShelterTable[pattern] = Pack(mg, mg * Params.shelterEgPercent[0] / 100);
  }
}

void AllocatePawnCache() {
  if (!cache) {
    cache = static_cast<PawnInfo*>(std::aligned_alloc(64, sizeof(PawnInfo) * PawnCacheSize));
#ifdef TOLVO_TUNING
    threadCache.reset(cache);
#endif
  }
  ClearPawnCache();
}

const PawnInfo& EvaluatePawns(const Position& p) {
#ifdef TOLVO_TUNING
  const uint32_t version = weightsVersion.load(std::memory_order_acquire);
  if (cacheVersion != version) {
    if (!cache) {
      cache = static_cast<PawnInfo*>(std::aligned_alloc(64, sizeof(PawnInfo) * PawnCacheSize));
      threadCache.reset(cache);
    }
    std::memset(cache, 0, sizeof(PawnInfo) * PawnCacheSize);
    cacheVersion = version;
  }
#endif
  PawnInfo& entry = cache[(p.st.pawnKey >> 8) & (PawnCacheSize - 1)];
  if (entry.key == p.st.pawnKey && entry.key != 0) return entry;
  ComputePawnInfo(p, entry);
  return entry;
}

void ClearPawnCache() {
  if (cache) std::memset(cache, 0, sizeof(PawnInfo) * PawnCacheSize);
#ifdef TOLVO_TUNING
  cacheVersion = weightsVersion.fetch_add(1, std::memory_order_acq_rel) + 1;   // the other threads' caches are stale
#endif
}
