// The search on positions whose answer is known: mates with their exact
// distance, draws by repetition and by the fifty-move rule below the root,
// stalemate, several principal variations in order.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "common/output.h"
#include "platform/platform.h"
#include "driver/engine.h"
#include "driver/options.h"
#include "driver/search_driver.h"
#include "group/exchange_area.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "search/search.h"
#include "tests/support/captured_output.h"
#include "tests/support/test_data.h"

namespace {
std::vector<std::string>& lines = CapturedLines;

// Searches the position given as "position" text (with its fifty-move
// counter set when one is given) with the "go" line, in a new game unless
// the table is to be kept, and returns the best root record.
RootMove RunSearch(const std::string& position, const std::string& go, uint32_t fifty = 0, bool newGame = true) {
  Input.SetFd(platform::IdleInputDescriptor());   // nothing arrives while searching
  lines.clear();
  SetStdoutWriter(CaptureLine);
  if (newGame) {
    AllocateHashTable(16);
    NewGameReset();
  }
  ReadPositionText(Engine.position, position);
  if (fifty) Engine.position.st.fifty = Engine.position.st.historyCount = fifty;
  StartSearch(ReadGoLine(go));
  SetStdoutWriter(nullptr);
  return Search.rootMoves[0];
}

std::string BestMoveLine() {
  for (const std::string& l : lines)
    if (l.rfind("bestmove", 0) == 0) return l;
  return "";
}
}  // namespace

// Positions whose best move is known, with the score where it is exact:
// mates with their distance, the side mated or stalemated without a move.
TEST(SearchResults, KnownAnswers) {
  constexpr int AnyScore = -1 << 30;
  const struct {
    const char* position;
    int depth;
    const char* best;
    int score;
  } cases[] = {
      {"fen r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 4, "h5f7", MateScore - 1},
      // A queen sacrifice; the defender sees its mate coming.
      {"fen 2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1", 6, "g3g6", MateScore - 3},
      {"fen k7/8/1K6/8/8/8/8/7R b - - 0 1", 4, "a8b8", -(MateScore - 2)},
      {"fen k7/8/1Q6/8/8/8/8/7K b - - 0 1", 5, "0000", 0},                  // stalemate
      {"fen k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", 5, "0000", AnyScore},          // mated
      {"fen r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - - 0 1", 9, "h6h7", AnyScore},
      {"fen r4q1k/p2bR1rp/2p2Q1N/5p2/5p2/2P5/PP3PPP/R5K1 w - - 0 1", 9, "e7f7", AnyScore},
      {"fen 5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1", 9, "e3g3", AnyScore},
      {"fen rnbqkb1r/pppp1ppp/8/4P3/6n1/7P/PPPNPPP1/R1BQKBNR b KQkq - 0 1", 9, "g4e3", AnyScore},
      {"fen 3q1rk1/p4pp1/2pb3p/3p4/6Pr/1PNQ4/P1PB1PP1/4RRK1 b - - 0 1", 9, "d6h2", AnyScore},
      // Captures with check onto a defended square (the exchange test calls
      // them losing), from tests/data/sacrifices.epd.
      {"fen 4nr2/3k1Nbp/p2P2p1/4p3/1P6/7P/1B2PP2/4K1R1 w - - 0 1", 9, "f7e5", AnyScore},
      {"fen rn2kb1r/p2p1ppp/1p3n2/2p5/8/PP2PPqP/4K3/RNBQ1B1b b kq - 0 1", 9, "h1f3", AnyScore},
  };
  for (const auto& c : cases) {
    const RootMove r = RunSearch(c.position, "go depth " + std::to_string(c.depth));
    EXPECT_EQ(BestMoveLine().substr(0, 13), std::string("bestmove ") + c.best) << c.position;
    EXPECT_TRUE(c.score == AnyScore || r.score == c.score) << c.position << ": score " << r.score;
  }
}

// Chess960: the king takes its rook on b1... a1 and the rook, landing on d1, mates.
TEST(SearchResults, Chess960CastlingThatMates) {
  Chess960Scope mode(true);
  const RootMove r = RunSearch("fen 3k4/2p1p3/B7/7B/8/8/8/RK6 w A - 0 1", "go depth 4");
  EXPECT_EQ(BestMoveLine().substr(0, 13), "bestmove b1a1");
  EXPECT_EQ(r.score, MateScore - 1);
}

TEST(SearchResults, RepetitionBelowTheRootIsADraw) {
  // Black is a rook up, but going back to g8 repeats the position of four plies before.
  const std::string game = "fen 4k1nr/8/8/8/8/8/8/4K1N1 w - - 0 1 moves g1f3 g8f6 f3g1";
  RootMove back = RunSearch(game, "go depth 4 f6g8");
  EXPECT_EQ(back.score, 0);
  RootMove other = RunSearch(game, "go depth 4 h8h1");
  EXPECT_GT(other.score, 300);
}

TEST(SearchResults, FiftyMoveRuleBeatsMate) {
  // Rh8 mates, but it is the hundredth quiet ply; what the table learnt of
  // the mate before does not change that. Two root moves: a single one is
  // answered after 50 ms, which a slow (sanitized, loaded) machine may reach
  // before the first iteration ends.
  const std::string position = "fen k7/8/1K6/8/8/8/8/7R w - - 0 1";
  EXPECT_EQ(RunSearch(position, "go depth 2").score, MateScore - 1);
  EXPECT_EQ(RunSearch(position, "go depth 4 searchmoves h1h8 h1g1", 99, false).score, 0);
}

TEST(SearchResults, SeveralVariationsInOrder) {
  Search.settings.multiPv = 3;
  RunSearch("startpos", "go depth 5");
  Search.settings.multiPv = 1;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Search.rootMoves[i].depth, DepthUnitsOfPlies(5)) << i;
    EXPECT_FALSE(Search.rootMoves[i].pv.empty());
  }
  EXPECT_GE(Search.rootMoves[0].score, Search.rootMoves[1].score);
  EXPECT_GE(Search.rootMoves[1].score, Search.rootMoves[2].score);
  int multipvLines = 0;
  for (const std::string& l : lines) multipvLines += l.find(" multipv 3 depth 5 ") != std::string::npos;
  EXPECT_GE(multipvLines, 1);
}

TEST(SearchResults, PublishesItsResultForTheGroup) {
  *Exchange = ExchangeArea{};
  RunSearch("startpos", "go depth 3");
  const ProcessSlot& slot = Exchange->root.slots[0];
  EXPECT_TRUE(SameMove(slot.bestMove, Search.rootMoves[0].move));
  EXPECT_EQ(slot.depth, DepthUnitsOfPlies(3));
  EXPECT_EQ(slot.currentMove, 0u);   // nothing is being searched any more
  EXPECT_TRUE(SameMove(Exchange->root.bestMove0, slot.bestMove));
  // Results shallower than depth 8 (internal) stay out of the header.
  *Exchange = ExchangeArea{};
  RunSearch("startpos", "go depth 0");
  EXPECT_EQ(Exchange->root.bestMove0, 0u);
}

// A mate at the root puts every window near the end of the score range:
// with several lines (the later ones may lie 20000 below the best) and with
// the randomizer (which shifts the windows of positions already played) the
// windows must still stay ordered and inside the mates (the node entry
// checks this where assertions are live).
TEST(SearchResults, WindowsNearTheMatesStayInsideThem) {
  const std::string mateInOne = "fen r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4";
  Search.settings.multiPv = 4;
  const RootMove lines4 = RunSearch(mateInOne, "go depth 5");
  Search.settings.multiPv = 1;
  EXPECT_EQ(lines4.score, MateScore - 1);
  EXPECT_GE(Search.rootMoves[0].score, Search.rootMoves[3].score);

  EnableRandomizer();
  std::fill_n(Search.settings.randomizerBitmap, size_t(1) << 22, uint8_t(0xFF));   // every position played
  const RootMove shifted = RunSearch(mateInOne, "go depth 5");
  DisableRandomizer();
  EXPECT_EQ(BestMoveLine().substr(0, 13), "bestmove h5f7");
  EXPECT_GE(shifted.score, MateScore - 1 - Search.settings.randomizerThreshold);
}
