#include "eval/pawns.h"

#include <cstring>
#include <cstdlib>

namespace {
PawnInfo* cache = nullptr;

constexpr Bitboard AdjacentFiles(int file) {
  return (file > 0 ? FileBits(file - 1) : 0) | (file < 7 ? FileBits(file + 1) : 0);
}

// Structure penalties (internal units).
constexpr PackedScore Doubled = Pack(20, 50), DoubledIsolatedOpen = Pack(102, 160);
constexpr PackedScore DoubledIsolated = Pack(44, 82), Isolated = Pack(42, 56), Backward = Pack(39, 52);
constexpr PackedScore UnsupportedOnOpenFile = Pack(90, 120);
// An isolated pawn on a file without pawns ahead is a target for the rooks;
// centre files weigh more.
constexpr PackedScore IsolatedOpenFile[4] = {Pack(40, 60), Pack(50, 70), Pack(60, 80), Pack(60, 80)};

// Passed pawns by relative rank (1 = second rank ... 6 = seventh rank).
constexpr PackedScore PassedBase[7] = {0, Pack(40, 90), Pack(50, 110), Pack(100, 200), Pack(200, 380),
                                       Pack(380, 700), Pack(600, 1100)};
// One of the two board sides beside it holds no enemy pawn (harder to stop).
constexpr PackedScore PassedOutside[7] = {0, 0, Pack(0, 20), Pack(0, 50), Pack(10, 100), Pack(20, 160), Pack(30, 220)};
// Protected by an own pawn.
constexpr PackedScore PassedProtected[7] = {0, Pack(5, 10), Pack(10, 20), Pack(25, 50), Pack(50, 100),
                                            Pack(80, 160), Pack(120, 250)};
// For each passed pawn on a neighbouring file.
constexpr PackedScore PassedConnected[7] = {0, Pack(5, 10), Pack(10, 20), Pack(30, 60), Pack(60, 120),
                                            Pack(100, 200), Pack(150, 300)};
// King distances to the square in front of the passer, from the fourth rank
// on (endgame, per square of distance, tenths): the enemy king far away
// counts for the pawn, the own king far away against it.
constexpr int EnemyKingFactor[7] = {0, 0, 0, 150, 300, 500, 700};
constexpr int OwnKingFactor[7] = {0, 0, 0, 60, 120, 200, 280};
// Candidate passers (enough own pawns to force a passer), plus half the passed base.
constexpr PackedScore Candidate[7] = {0, Pack(10, 20), Pack(15, 30), Pack(30, 60), Pack(60, 110), Pack(100, 180), 0};

// Shelter in front of a castled king: per file of the three around the king,
// the own pawn nearest to the king on the three ranks in front.
constexpr int ShelterByRank[4] = {110, 70, 20, -60};   // one, two, three ranks ahead; none
PackedScore ShelterTable[512];
// Pawns storming a king on the other wing.
constexpr PackedScore StormPawn = Pack(30, 10);

// Bishop and pawn colours.
constexpr PackedScore PawnOnBishopColour = Pack(8, 8), ColourImbalance = Pack(2, 2);
constexpr int KingNearUndefendedPawn = 60;   // endgame

struct ShelterInit {
  ShelterInit() {
    for (int pattern = 0; pattern < 512; ++pattern) {
      int mg = 0;
      for (int f = 0; f < 3; ++f) {
        int bits = (pattern >> (3 * f)) & 7, rank = 3;
        for (int r = 0; r < 3; ++r)
          if (bits & (1 << r)) { rank = r; break; }
        mg += ShelterByRank[rank] * (f == 1 ? 3 : 2) / 2;   // the king's own file counts 1.5 times
      }
      ShelterTable[pattern] = Pack(mg, mg / 4);
    }
  }
} shelterInit;

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
      if (isolated) acc -= IsolatedOpenFile[file < 4 ? file : 7 - file];
      else if (!supporters) acc -= UnsupportedOnOpenFile;
      const Bitboard controllers = PawnAttackSpan[C][s] & enemy;
      if (!controllers) {
        passed |= SquareBit(s);
        acc += PassedBase[r];
        const Bitboard leftSide = file > 0 ? FileABits * ((1u << file) - 1) : 0;
        const Bitboard rightSide = file < 7 ? FileABits * (0xFFu & ~((2u << file) - 1)) : 0;
        if ((leftSide && !(leftSide & enemy)) || (rightSide && !(rightSide & enemy))) acc += PassedOutside[r];
        if (ownAttacks & SquareBit(s)) acc += PassedProtected[r];
        if (r >= 3) {
          const Square stop = s + PawnStep<C>();
          const int bonus = (SquareDistance(enemyKing, stop) * EnemyKingFactor[r] -
                             SquareDistance(ownKing, stop) * OwnKingFactor[r]) / 10;
          acc += Pack(0, bonus);
        }
      } else {
        // Candidate: at least as many own pawns able to support the advance
        // as enemy pawns controlling its path.
        if (PopCount(adjacent & ~RanksAhead[C][s]) + PopCount(adjacent & RanksAhead[C][s] & ~enemyAttacks) >=
            PopCount(controllers))
          acc += Add(Candidate[r], Pack(MiddlegameOf(PassedBase[r]) / 2, EndgameOf(PassedBase[r]) / 2));
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
    acc += Times(PassedConnected[RelativeRank<C>(s)], PopCount(AdjacentFiles(FileOf(s)) & passed));
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

void AllocatePawnCache() {
  if (!cache) cache = static_cast<PawnInfo*>(std::aligned_alloc(64, sizeof(PawnInfo) * PawnCacheSize));
  ClearPawnCache();
}

const PawnInfo& EvaluatePawns(const Position& p) {
  PawnInfo& entry = cache[(p.st.pawnKey >> 8) & (PawnCacheSize - 1)];
  if (entry.key == p.st.pawnKey && entry.key != 0) return entry;
  ComputePawnInfo(p, entry);
  return entry;
}

void ClearPawnCache() {
  if (cache) std::memset(cache, 0, sizeof(PawnInfo) * PawnCacheSize);
}
