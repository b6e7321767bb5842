// Move selection against the legal move list: the hash move taken from the
// table, the staged picker of every node kind, and the exchange test that
// sends losing captures behind the quiet moves.
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include "board/notation.h"
#include "search/move_picker.h"
#include "tests/support/test_data.h"

namespace {
// What identifies a move on a board: squares and promotion piece.
int Key(Move m) { return int(m & SquareBits) | (PromotionIndex(m) << 16); }
// The table keeps only the squares (low word bits 0-5 and 10-15).
uint32_t StoredSquares(Move m) { return uint32_t(m) & SquareBits; }
// Rook and bishop promotions are left to the root; no node generates them.
bool NodeGenerates(Move m) { return !HasPromotionMark(m) || PromotionIndex(m) == 1 || PromotionIndex(m) == 5; }


std::vector<Move> Legal(const Position& p) {
  MoveList list;
  GenerateLegalMoves(p, list);
  return std::vector<Move>(list.begin(), list.end());
}

// Every move a picker hands out, in order.
template <Color C> std::vector<Move> Drain(MovePicker<C> picker) {
  std::vector<Move> out;
  for (Move m; (m = picker.Next()) != 0 && out.size() < 600;) out.push_back(m);
  return out;
}

// Each move the node generates appears exactly once; nothing appears twice
// (illegal pseudo-moves, which the node drops when it makes them, may appear).
::testing::AssertionResult CoversOnce(const std::vector<Move>& got, const std::vector<Move>& legal, bool capturesOnly) {
  std::map<int, int> seen;
  for (Move m : got)
    if (++seen[Key(m)] > 1) return ::testing::AssertionFailure() << MoveToText(m) << " twice";
  for (Move m : legal) {
    if (!NodeGenerates(m) || (capturesOnly && !IsCapture(m) && !HasPromotionMark(m))) continue;
    if (!seen.count(Key(m))) return ::testing::AssertionFailure() << MoveToText(m) << " missing";
  }
  return ::testing::AssertionSuccess();
}

template <Color C> void CheckPickers(SearchContext& s, const std::string& fen) {
  const Position& p = *s.position;
  const std::vector<Move> legal = Legal(p);
  const bool inCheck = InCheck<C>(p);
  auto pick = [&](Move hash) {
    return Drain(inCheck ? MovePicker<C>::ForEvasions(s, hash, s.stack[2], 0)
                         : MovePicker<C>(s, hash, s.stack[2], 0, HistoryKind::Normal, QuietMoves::All));
  };
  EXPECT_TRUE(CoversOnce(pick(0), legal, false)) << fen;
  // A hash move, as the table gives it back, comes first and only once.
  for (Move h : legal) {
    const Move hash = CompleteStoredMove<C>(p, StoredSquares(h), 0);
    const std::vector<Move> got = pick(hash);
    EXPECT_TRUE(!got.empty() && SameMove(got[0], hash)) << fen << " hash " << MoveToText(hash);
    EXPECT_TRUE(CoversOnce(got, legal, false)) << fen << " hash " << MoveToText(hash);
  }
  if (inCheck) return;
  for (bool checks : {false, true}) {
    const std::vector<Move> got = Drain(MovePicker<C>::ForQuiescence(s, 0, ~Bitboard(0), checks ? QuietMoves::ChecksOnly : QuietMoves::None));
    EXPECT_TRUE(CoversOnce(got, legal, true)) << fen << " quiescence";
    for (Move m : got) EXPECT_TRUE(checks || IsCapture(m) || HasPromotionMark(m)) << fen << " " << MoveToText(m);
  }
}
}  // namespace

TEST(HashMove, CompletionAgreesWithTheLegalMovesOnEveryReferencePosition) {
  int positions = 0;
  for (const PerftFile& file : PerftFiles) {
    Chess960Scope mode(file.chess960);
    for (const PerftCase& c : LoadPerftCases(file.name)) {
      const Position p = FromFen(c.fen);
      const bool white = p.sideToMove == White;
      auto complete = [&](uint32_t low) { return white ? CompleteStoredMove<White>(p, low, 0) : CompleteStoredMove<Black>(p, low, 0); };
      auto playable = [&](Move m) { return white ? IsPlayable<White>(p, m) : IsPlayable<Black>(p, m); };
      std::set<uint32_t> legalSquares;
      for (Move m : Legal(p)) {
        legalSquares.insert(StoredSquares(m));
        EXPECT_TRUE(playable(m)) << c.fen << " " << MoveToText(m);
        const Move stored = complete(StoredSquares(m));
        ASSERT_NE(stored, 0u) << c.fen << " " << MoveToText(m);
        EXPECT_TRUE(playable(stored)) << c.fen << " " << MoveToText(stored);
        // Same man, victim and flags; a promotion comes back as a queen.
        EXPECT_EQ(LowWord(stored), LowWord(m)) << c.fen << " " << MoveToText(m);
        EXPECT_EQ(IsEnPassant(stored), IsEnPassant(m)) << c.fen << " " << MoveToText(m);
        EXPECT_EQ(PromotionIndex(stored), HasPromotionMark(m) ? 5 : 0) << c.fen << " " << MoveToText(m);
        EXPECT_TRUE(HasPromotionMark(m) || SameMove(stored, m)) << c.fen << " " << MoveToText(m);
      }
      // Any other pair of squares (an entry of another position) is refused.
      for (uint32_t from = 0; from < 64; ++from)
        for (uint32_t to = 0; to < 64; ++to) {
          const uint32_t low = to | (from << 10);
          if (legalSquares.count(low)) continue;
          const Move stored = complete(low);
          EXPECT_FALSE(stored && playable(stored)) << c.fen << " " << MoveToText(stored);
        }
      ++positions;
    }
  }
  EXPECT_GE(positions, 80);
}

TEST(HashMove, CompletionOfSpecialMoves) {
  // e5d6 with the en-passant square is the capture; without it a plain pawn
  // move onto an empty square, which the legality check refuses.
  Position ep = FromFen("4k3/8/8/3pP3/8/8/8/R3K3 w Q d6");
  Move m = CompleteStoredMove<White>(ep, D6 | (E5 << 10), 0);
  EXPECT_TRUE(IsEnPassant(m) && IsCapture(m));
  Position noEp = FromFen("4k3/8/8/3pP3/8/8/8/R3K3 w Q -");
  m = CompleteStoredMove<White>(noEp, D6 | (E5 << 10), 0);
  ASSERT_NE(m, 0u);
  EXPECT_FALSE(IsEnPassant(m) || IsPlayable<White>(noEp, m));
  // Castling only with the right; a stored promotion index is kept.
  EXPECT_TRUE(IsCastling<White>(CompleteStoredMove<White>(ep, C1 | (E1 << 10), 0)));
  EXPECT_EQ(CompleteStoredMove<White>(FromFen("4k3/8/8/8/8/8/8/R3K3 w - -"), C1 | (E1 << 10), 0), 0u);
  Position promo = FromFen("4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(PromotionIndex(CompleteStoredMove<White>(promo, B8 | (B7 << 10), PromoKnightHigh)), 1);
  // Onto a king or an own man, or from an enemy man or an empty square: nothing.
  for (uint32_t low : {E8 | (A1 << 10), A1 | (E1 << 10), E1 | (E8 << 10), E3 | (E2 << 10)})
    EXPECT_EQ(CompleteStoredMove<White>(ep, low, 0), 0u) << std::hex << low;
}

TEST(MovePicker, EveryStageHandsOutEachMoveOnce) {
  auto s = std::make_unique<SearchContext>();
  int positions = 0;
  for (const PerftFile& file : PerftFiles) {
    Chess960Scope mode(file.chess960);
    for (const PerftCase& c : LoadPerftCases(file.name)) {
      Position p = FromFen(c.fen);
      s->position = &p;
      if (p.sideToMove == White) CheckPickers<White>(*s, c.fen);
      else CheckPickers<Black>(*s, c.fen);
      ++positions;
    }
  }
  EXPECT_GE(positions, 80);
}

namespace {
// Hand-made exchanges whose outcome is clear. The exchange test does not see
// pins: a pinned defender still recaptures in it.
struct ExchangeCase {
  const char* fen;
  const char* move;
  bool loses;          // the picker defers it behind the quiet moves
  const char* why;
};

const ExchangeCase ExchangeCases[] = {
    {"4k3/8/8/3p4/8/4N3/8/4K3 w - -", "e3d5", false, "undefended pawn"},
    {"4k3/8/2p5/3p4/8/4N3/8/4K3 w - -", "e3d5", true, "pawn guarded by a pawn"},
    {"4k3/8/2p5/3n4/4P3/8/8/4K3 w - -", "e4d5", false, "the pawn takes a guarded knight"},
    {"4k3/8/8/3p4/5n2/8/8/3RK3 w - -", "d1d5", true, "rook takes a pawn a knight guards"},
    {"3rk3/8/3p4/8/8/8/3R4/4K3 w - -", "d2d6", true, "rook against a guarding rook"},
    {"3rk3/8/3p4/8/8/8/3R4/3RK3 w - -", "d2d6", false, "the rook behind recaptures through the first"},
    {"3rk3/3r4/3p4/8/8/8/3R4/3RK3 w - -", "d2d6", true, "two rooks against two"},
    {"3qk3/8/3p4/8/8/8/3R4/3RK3 w - -", "d2d6", false, "the queen cannot take back a guarded rook"},
    {"4k3/8/3K2n1/4p3/8/3N4/8/8 w - -", "d3e5", false, "the king takes back last"},
    {"4r1k1/8/3K2n1/4p3/8/3N4/8/8 w - -", "d3e5", true, "the king may not take back a guarded man"},
    {"4k3/4n3/8/3p4/5N2/8/8/4R1K1 w - -", "f4d5", true, "a pinned knight still counts"},
    {"6k1/8/8/8/5q2/4P3/8/6K1 b - -", "f4e3", false, "Black: queen takes an undefended pawn"},
    {"6k1/8/8/8/5q2/4P3/3P4/6K1 b - -", "f4e3", true, "Black: queen takes a guarded pawn"},
    {"6k1/8/3b4/8/4p3/5N2/8/6K1 b - -", "e4f3", false, "Black: pawn takes a knight"},
    {"r5k1/4P3/8/8/8/8/8/4K3 w - -", "e7e8q", false, "promotions are never deferred"},
};

template <Color C> bool LosesByTest(const Position& p, Move m, Bitboard occupancy) {
  const int32_t risk = ExchangeValue(MoverClass(m)) - ExchangeValue(VictimClass(m));
  return !(ExchangeTest<C>(p, ToSquare(m), risk, occupancy, p.pieces[Opponent(C)]) & 1);
}
}  // namespace

TEST(Exchange, CasesWithAClearOutcome) {
  auto s = std::make_unique<SearchContext>();
  for (const ExchangeCase& c : ExchangeCases) {
    Position p = FromFen(c.fen);
    const Move m = FindLegalMove(p, c.move);
    ASSERT_NE(m, 0u) << c.fen << " " << c.move;
    s->position = &p;
    const bool white = p.sideToMove == White;
    // The picker's verdict: a deferred capture comes after the first quiet move.
    const std::vector<Move> order = white ? Drain(MovePicker<White>(*s, 0, s->stack[2], 0, HistoryKind::Normal, QuietMoves::All))
                                          : Drain(MovePicker<Black>(*s, 0, s->stack[2], 0, HistoryKind::Normal, QuietMoves::All));
    size_t at = order.size(), firstQuiet = order.size();
    for (size_t i = 0; i < order.size(); ++i) {
      if (SameMove(order[i], m)) at = i;
      if (firstQuiet == order.size() && !IsCapture(order[i]) && !HasPromotionMark(order[i])) firstQuiet = i;
    }
    ASSERT_LT(firstQuiet, order.size()) << c.why;
    ASSERT_LT(at, order.size()) << c.why;
    EXPECT_EQ(at > firstQuiet, c.loses) << c.why;
    if (HasPromotionMark(m)) continue;
    // The exchange test itself, with the man's risk as the picker and the
    // quiescence search give it; whether the target square counts as
    // occupied must not matter.
    const Bitboard occ = p.occupied ^ SquareBit(FromSquare(m));
    for (Bitboard o : {occ, occ | SquareBit(ToSquare(m))})
      EXPECT_EQ(white ? LosesByTest<White>(p, m, o) : LosesByTest<Black>(p, m, o), c.loses) << c.why;
  }
}
