// The staged move picker: the hash move before anything is generated, then
// captures that do not lose material, quiet moves by learned order, and the
// losing captures last. Evasion and quiescence nodes use their own stages.
#pragma once
#include <array>
#include "search/node.h"

template <Color C> class MovePicker {
 public:
  // Node not in check. Without quiets only captures, promotions and (with
  // quietChecks) quiet checking moves are returned.
  MovePicker(SearchContext& s, Move hashMove, const PlyRecord& record, Move previous, int farBelow,
             bool quiets, bool quietChecks)
      : s_(s), p_(*s.position), hashMove_(hashMove), record_(&record), previous_(previous), farBelow_(farBelow),
        quietsAllowed_(quiets), quietChecks_(quietChecks), stage_(hashMove ? StageHash : StageGenerateCaptures) {}
  // Quiescence: captures of `targets` and promotions, optionally quiet checks.
  static MovePicker ForQuiescence(SearchContext& s, Move hashMove, Bitboard targets, bool checks) {
    MovePicker picker(s, hashMove, s.stack[0], 0, 0, false, checks);
    picker.targets_ = targets;
    picker.stage_ = StageGenerateQuiescence;
    return picker;
  }
  // In check: every evasion, the hash move first. Promotions are to queen and
  // knight unless allPromotions (rook and bishop only ever matter against
  // a stalemate).
  static MovePicker ForEvasions(SearchContext& s, Move hashMove, const PlyRecord& record, Move previous,
                                bool allPromotions = false) {
    MovePicker picker(s, hashMove, record, previous, 0, true, false);
    picker.stage_ = StageGenerateEvasions;
    picker.allPromotions_ = allPromotions;
    return picker;
  }

  Move Next();
  bool FromQuietStage() const { return stage_ == StageQuiets; }
  int EvasionCount() const { return count_; }

 private:
  enum Stage { StageHash, StageGenerateCaptures, StageCaptures, StageGenerateQuiets, StageQuiets, StageDeferred,
               StageGenerateQuiescence, StageQuiescence, StageGenerateEvasions, StageEvasions, StageDone };
  Move PickBest();
  void ScoreCaptures(int from);
  void AddQuietOrdering(int from);

  SearchContext& s_;
  const Position& p_;
  Move hashMove_;
  const PlyRecord* record_;
  Move previous_;
  int farBelow_;
  bool quietsAllowed_, quietChecks_;
  bool allPromotions_ = false;
  Stage stage_;
  Bitboard targets_ = ~Bitboard(0);
  Move moves_[MaxMoves];
  int scores_[MaxMoves];
  int count_ = 0, cursor_ = 0;
  Move deferred_[MaxMoves];
  int deferredCount_ = 0, deferredCursor_ = 0;
};

// A table by piece class: pawn, knight, bishop, rook, queen, king; nothing else.
constexpr std::array<int32_t, 8> ByClass(int32_t pawn, int32_t knight, int32_t bishop, int32_t rook, int32_t queen,
                                         int32_t king) {
  std::array<int32_t, 8> v{};
  v[PawnClass] = pawn, v[KnightClass] = knight, v[BishopClass] = bishop;
  v[RookClass] = rook, v[QueenClass] = queen, v[KingClass] = king;
  return v;
}
// Value of a man for capture ordering, in pawns (the king above all).
inline int ClassValue(int cls) {
  constexpr std::array<int32_t, 8> value = ByClass(1, 3, 3, 5, 9, 20);
  return value[size_t(cls)];
}
// Exchange values for the static exchange test: half pawns, shifted up 16
// bits so that the test can keep its count of attackers in the low bits.
constexpr int32_t HalfPawns(int n) { return n << 16; }
inline int32_t ExchangeValue(int cls) {
  constexpr std::array<int32_t, 8> value =
      ByClass(HalfPawns(2), HalfPawns(6), HalfPawns(6), HalfPawns(10), HalfPawns(20), HalfPawns(62));
  return value[size_t(cls)];
}

// A quiet move or capture that the exchange test says loses material: the
// mover is worth more than what it takes (nothing for a quiet move) and the
// opponent wins the exchange on the destination. En passant (a pawn takes a
// pawn) and promotions (the new piece pays for the pawn) never count as losing.
template <Color C> bool ExchangeLoses(const Position& p, Move m) {
  if (IsEnPassant(m) || HasPromotionMark(m)) return false;
  const int32_t risk = ExchangeValue(MoverClass(m)) - ExchangeValue(VictimClass(m));
  if (risk <= 0) return false;
  const Bitboard occ = (p.occupied ^ SquareBit(FromSquare(m))) | SquareBit(ToSquare(m));
  return !(ExchangeTest<C>(p, ToSquare(m), risk, occ, p.pieces[Opponent(C)]) & 1);
}

// A move of a piece that the opponent attacks to a square where the exchange
// test says it is lost. The node's attack maps answer "attacked" when its
// evaluation made them; after a lazy evaluation the square is tested directly.
template <Color C> inline bool MovedPieceIsLost(const Position& p, const PlyRecord& r, Move m) {
  constexpr Color Them = Opponent(C);
  const Square from = FromSquare(m);
  const bool attacked = r.attacksValid ? (r.eval.attacks[Them] & SquareBit(from)) != 0 : IsAttackedBy<Them>(p, from);
  if (!attacked) return false;
  const Bitboard occ = (p.occupied ^ SquareBit(from)) | SquareBit(ToSquare(m));
  return !(ExchangeTest<C>(p, ToSquare(m), ExchangeValue(MoverClass(m)), occ, p.pieces[Them]) & 1);
}

template <Color C> void MovePicker<C>::ScoreCaptures(int from) {
  for (int i = from; i < count_; ++i) {
    const Move m = moves_[i];
    const int victim = IsEnPassant(m) ? 1 : ClassValue(VictimClass(m));
    int promo = 0;
    if (HasPromotionMark(m)) promo = PromotesToQueen(m) ? 8 : -2;
    scores_[i] = (victim + promo) * 64 - ClassValue(MoverClass(m));
  }
}

template <Color C> void MovePicker<C>::AddQuietOrdering(int from) {
  const Move k0 = record_->killers[0], k1 = record_->killers[1];
  const uint16_t* counters = previous_ ? s_.ordering.counterMoves[C][previous_ & 511] : nullptr;
  for (int i = from; i < count_; ++i) {
    const Move m = moves_[i];
    int score = s_.settings.randomQuietOrdering ? NextRandomOrdering(s_)
                                                : s_.ordering.history[C][HistoryIndex(m) + 1024 * farBelow_];
    if (k0 && SameMove(m, k0)) score = 0x1B000;
    else if (k1 && SameMove(m, k1)) score = 0x1A000;
    else if (counters && counters[0] == ShortMove(m)) score = 0xF800;
    else if (counters && counters[1] == ShortMove(m)) score = 0xC000;
    scores_[i] = score;
  }
  // Insertion sort, highest first.
  for (int i = from + 1; i < count_; ++i) {
    const Move m = moves_[i];
    const int s = scores_[i];
    int j = i - 1;
    while (j >= from && scores_[j] < s) {
      moves_[j + 1] = moves_[j];
      scores_[j + 1] = scores_[j];
      --j;
    }
    moves_[j + 1] = m;
    scores_[j + 1] = s;
  }
}

template <Color C> Move MovePicker<C>::PickBest() {
  int best = cursor_;
  for (int i = cursor_ + 1; i < count_; ++i)
    if (scores_[i] > scores_[best]) best = i;
  std::swap(moves_[cursor_], moves_[best]);
  std::swap(scores_[cursor_], scores_[best]);
  return moves_[cursor_++];
}

template <Color C> Move MovePicker<C>::Next() {
  for (;;) {
    switch (stage_) {
      case StageHash:
        stage_ = StageGenerateCaptures;
        return hashMove_;
      case StageGenerateCaptures:
        count_ = int(GenerateCaptures<C>(p_, moves_, ~Bitboard(0), false) - moves_);
        ScoreCaptures(0);
        cursor_ = 0;
        stage_ = StageCaptures;
        break;
      case StageCaptures:
        while (cursor_ < count_) {
          const Move m = PickBest();
          if (hashMove_ && SameMove(m, hashMove_)) continue;
          if (ExchangeLoses<C>(p_, m)) {
            deferred_[deferredCount_++] = m;
            continue;
          }
          return m;
        }
        stage_ = StageGenerateQuiets;
        break;
      case StageGenerateQuiets: {
        cursor_ = count_ = 0;
        if (quietsAllowed_) {
          count_ = int(GenerateQuiets<C>(p_, moves_, nullptr) - moves_);
          AddQuietOrdering(0);
        } else if (quietChecks_) {
          Move* end = GenerateQuiets<C>(p_, moves_, nullptr);
          for (Move* m = moves_; m < end; ++m)
            if (GivesCheck<C>(p_, *m)) moves_[count_++] = *m;
          AddQuietOrdering(0);
        }
        stage_ = StageQuiets;
        break;
      }
      case StageQuiets:
        while (cursor_ < count_) {
          const Move m = moves_[cursor_++];
          if (hashMove_ && SameMove(m, hashMove_)) continue;
          return m;
        }
        stage_ = StageDeferred;
        break;
      case StageDeferred:
        if (deferredCursor_ < deferredCount_) return deferred_[deferredCursor_++];
        stage_ = StageDone;
        break;
      case StageGenerateQuiescence: {
        count_ = int(GenerateCaptures<C>(p_, moves_, targets_, false) - moves_);
        ScoreCaptures(0);
        const int captures = count_;
        if (quietChecks_) {
          Move quiet[MaxMoves];
          Move* end = GenerateQuiets<C>(p_, quiet, nullptr);
          for (Move* m = quiet; m < end; ++m)
            if (GivesCheck<C>(p_, *m)) {
              moves_[count_] = *m;
              scores_[count_++] = -1000;   // after every capture
            }
        }
        (void)captures;
        for (int i = 0; i < count_; ++i)
          if (hashMove_ && SameMove(moves_[i], hashMove_)) scores_[i] = 1 << 20;
        cursor_ = 0;
        stage_ = StageQuiescence;
        break;
      }
      case StageQuiescence:
        if (cursor_ < count_) return PickBest();
        stage_ = StageDone;
        break;
      case StageGenerateEvasions: {
        count_ = int(GenerateEvasions<C>(p_, moves_, allPromotions_, nullptr) - moves_);
        const uint16_t* evasion = previous_ ? s_.ordering.evasions[C][previous_ & 511] : nullptr;
        for (int i = 0; i < count_; ++i) {
          const Move m = moves_[i];
          int score;
          if (hashMove_ && SameMove(m, hashMove_)) score = 1 << 20;
          else if (IsCapture(m) || HasPromotionMark(m))
            score = (1 << 18) + (IsEnPassant(m) ? 1 : ClassValue(VictimClass(m))) * 64 - ClassValue(MoverClass(m));
          else {
            score = s_.ordering.history[C][HistoryIndex(m)];
            if (evasion && evasion[0] == ShortMove(m)) score += 1 << 17;
            else if (evasion && evasion[1] == ShortMove(m)) score += 1 << 16;
            else if (record_->killers[0] && SameMove(m, record_->killers[0])) score += 1 << 15;
            else if (record_->killers[1] && SameMove(m, record_->killers[1])) score += 1 << 14;
          }
          scores_[i] = score;
        }
        cursor_ = 0;
        stage_ = StageEvasions;
        break;
      }
      case StageEvasions:
        if (cursor_ < count_) return PickBest();
        stage_ = StageDone;
        break;
      case StageDone:
        return 0;
    }
  }
}
