// The staged move picker: the hash move before anything is generated, then
// captures that do not lose material, quiet moves by learned order, and the
// losing captures last. Evasion and quiescence nodes use their own stages.
#pragma once
#include <cassert>
#include "search/exchange.h"
#include "search/node.h"

// Ordering scores. Captures: most valuable victim first, least valuable
// mover among equals (promotions count as the piece gained).
constexpr int VictimWeight = 64;
constexpr int QueenPromotionBonus = 8, UnderPromotionBonus = -2;   // in pawns, on top of the victim
inline int CaptureOrder(Move m) {
  const int victim = IsEnPassant(m) ? ClassValue(PawnClass) : ClassValue(VictimClass(m));
  return victim * VictimWeight - ClassValue(MoverClass(m));
}
// Quiet moves: the history (at most 32765) unless a killer or counter move comes first.
constexpr int FirstKillerScore = 0x1B000, SecondKillerScore = 0x1A000;
constexpr int FirstCounterScore = 0xF800, SecondCounterScore = 0xC000;
// The hash move before everything, quiet checks after every capture.
constexpr int HashMoveFirst = 1 << 20;
constexpr int AfterEveryCapture = -1000;
// Evasions: captures above every quiet evasion; quiet ones by history, with
// the evasion that worked last time and the killers raised.
constexpr int CaptureEvasionBase = 1 << 18;
constexpr int FirstEvasionBonus = 1 << 17, SecondEvasionBonus = 1 << 16;
constexpr int FirstKillerEvasionBonus = 1 << 15, SecondKillerEvasionBonus = 1 << 14;

// Which quiet moves a node not in check wants after the captures.
enum class QuietMoves { All, ChecksOnly, None };
// Which promotions an evasion picker offers: to queen and knight, or also to
// rook and bishop (they only ever matter against a stalemate).
enum class EvasionPromotions { QueenAndKnight, All };

template <Color C> class MovePicker {
 public:
  // Node not in check: the hash move, captures, then the quiet moves asked
  // for (ordered by the history of `history`), the losing captures last.
  MovePicker(SearchContext& s, Move hashMove, const PlyRecord& record, Move previous, HistoryKind history,
             QuietMoves quiets)
      : s_(s), p_(*s.position), hashMove_(hashMove), record_(&record), previous_(previous), history_(history),
        quiets_(quiets), stage_(hashMove ? StageHash : StageGenerateCaptures) {}
  // Quiescence: captures of `targets` and promotions, then the quiet checks asked for.
  static MovePicker ForQuiescence(SearchContext& s, Move hashMove, Bitboard targets, QuietMoves quiets) {
    MovePicker picker(s, hashMove, s.stack[0], 0, HistoryKind::Normal, quiets);
    picker.targets_ = targets;
    picker.stage_ = StageGenerateQuiescence;
    return picker;
  }
  // In check: every evasion, the hash move first.
  static MovePicker ForEvasions(SearchContext& s, Move hashMove, const PlyRecord& record, Move previous,
                                EvasionPromotions promotions = EvasionPromotions::QueenAndKnight) {
    MovePicker picker(s, hashMove, record, previous, HistoryKind::Normal, QuietMoves::All);
    picker.stage_ = StageGenerateEvasions;
    picker.allPromotions_ = promotions == EvasionPromotions::All;
    return picker;
  }

  Move Next();
  bool FromQuietStage() const { return stage_ == StageQuiets; }
  int EvasionCount() const { return count_; }

 private:
  enum Stage {
    StageHash,
    StageGenerateCaptures,
    StageCaptures,
    StageGenerateQuiets,
    StageQuiets,
    StageDeferred,
    StageGenerateQuiescence,
    StageQuiescence,
    StageGenerateEvasions,
    StageEvasions,
    StageDone
  };
  Move PickBest();
  void ScoreCaptures(int from);
  void AddQuietOrdering(int from);

  SearchContext& s_;
  const Position& p_;
  Move hashMove_;
  const PlyRecord* record_;
  Move previous_;
  HistoryKind history_;
  QuietMoves quiets_;
  bool allPromotions_ = false;
  Stage stage_;
  Bitboard targets_ = ~Bitboard(0);
  Move moves_[MaxMoves];
  int scores_[MaxMoves];
  int count_ = 0, cursor_ = 0;
  Move deferred_[MaxMoves];
  int deferredCount_ = 0, deferredCursor_ = 0;
};

template <Color C> void MovePicker<C>::ScoreCaptures(int from) {
  for (int i = from; i < count_; ++i) {
    const Move m = moves_[i];
    const int promotion = !HasPromotionMark(m) ? 0
                          : PromotesToQueen(m) ? QueenPromotionBonus
                                               : UnderPromotionBonus;
    scores_[i] = CaptureOrder(m) + promotion * VictimWeight;
  }
}

template <Color C> void MovePicker<C>::AddQuietOrdering(int from) {
  const Move k0 = record_->killers[0], k1 = record_->killers[1];
  const uint16_t* counters = previous_ ? s_.ordering.counterMoves[C][previous_ & 511] : nullptr;
  for (int i = from; i < count_; ++i) {
    const Move m = moves_[i];
    int score = s_.settings.randomQuietOrdering ? NextRandomOrdering(s_)
                                                : HistoryOf(s_.ordering, C, history_, m);
    if (k0 && SameMove(m, k0)) score = FirstKillerScore;
    else if (k1 && SameMove(m, k1)) score = SecondKillerScore;
    else if (counters && counters[0] == ShortMove(m)) score = FirstCounterScore;
    else if (counters && counters[1] == ShortMove(m)) score = SecondCounterScore;
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
    assert(count_ >= 0 && count_ <= MaxMoves && cursor_ >= 0 && deferredCount_ <= MaxMoves);
    switch (stage_) {
      case StageHash:
        assert(hashMove_);   // a picker without a table move starts at the captures
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
        if (quiets_ == QuietMoves::All) {
          count_ = int(GenerateQuiets<C>(p_, moves_, nullptr) - moves_);
          AddQuietOrdering(0);
        } else if (quiets_ == QuietMoves::ChecksOnly) {
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
        if (quiets_ == QuietMoves::ChecksOnly) {
          Move quiet[MaxMoves];
          Move* end = GenerateQuiets<C>(p_, quiet, nullptr);
          for (Move* m = quiet; m < end; ++m)
            if (GivesCheck<C>(p_, *m)) {
              moves_[count_] = *m;
              scores_[count_++] = AfterEveryCapture;
            }
        }
        for (int i = 0; i < count_; ++i)
          if (hashMove_ && SameMove(moves_[i], hashMove_)) scores_[i] = HashMoveFirst;
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
          if (hashMove_ && SameMove(m, hashMove_)) score = HashMoveFirst;
          else if (IsCapture(m) || HasPromotionMark(m))
            score = CaptureEvasionBase + CaptureOrder(m);
          else {
            score = HistoryOf(s_.ordering, C, HistoryKind::Normal, m);
            if (evasion && evasion[0] == ShortMove(m)) score += FirstEvasionBonus;
            else if (evasion && evasion[1] == ShortMove(m)) score += SecondEvasionBonus;
            else if (record_->killers[0] && SameMove(m, record_->killers[0]))
              score += FirstKillerEvasionBonus;
            else if (record_->killers[1] && SameMove(m, record_->killers[1]))
              score += SecondKillerEvasionBonus;
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
