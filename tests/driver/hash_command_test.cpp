// "probe" and "write" against the table.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "board/castling_setup.h"
#include "board/position.h"
#include "common/output.h"
#include "driver/engine.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "tests/support/captured_output.h"
#include "tests/support/hash_probe.h"

namespace {
const std::string Fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";


class HashCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateHashTable(1));
    CapturedLines.clear();
    SetStdoutWriter(CaptureLine);
  }
  void TearDown() override {
    SetStdoutWriter(nullptr);
    Chess960Mode = false;
  }
  static PositionKey KeyOfFen(const std::string& fen) {
    Position p;
    EXPECT_TRUE(SetPositionFromFen(p, fen.c_str()));
    return ComputeKey(p, p.sideToMove);
  }
  // Sends one line and returns what it printed.
  static std::vector<std::string> Run(const std::string& line) {
    CapturedLines.clear();
    DispatchCommand(line);
    return CapturedLines;
  }
};
}  // namespace

TEST_F(HashCommandTest, WriteKeepsTheStoredMoveAndLeavesTheGamePositionAlone) {
  ResetToStartPosition();
  const std::string gameFen = PositionToFen(Engine.position);
  const PositionKey key = KeyOfFen(Fen);
  StoreLower(key, Move(C4) | (Move(F1) << 10), 30, 40);
  StoreUpper(key, Move(C3) | (Move(B1) << 10), 10, 0);
  EXPECT_EQ(Run("probe fen " + Fen), std::vector<std::string>{"info probe position fen " + Fen + " move f1c4 depth 12 lb 40"});
  EXPECT_TRUE(Run("write -250 fen " + Fen).empty());
  // One exact copy with the deeper entry's move; the other copy is emptied.
  EXPECT_EQ(Run("PROBE fen " + Fen + "\r"),
            std::vector<std::string>{"info probe position fen " + Fen + " move f1c4 depth 25 ex -250"});
  int copies = 0;
  for (int i = 0; i < 4; ++i) copies += EntryMatches(BucketOf(key)[i], key) && EntryDepth(BucketOf(key)[i]) > 0;
  EXPECT_EQ(copies, 1);
  EXPECT_EQ(PositionToFen(Engine.position), gameFen);
}

// A castling is stored by its squares; it is written as the variant writes it.
TEST_F(HashCommandTest, ProbedCastlingIsWrittenAsTheVariantWritesIt) {
  const std::string castlingFen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  StoreLower(KeyOfFen(castlingFen), Move(G1) | (Move(E1) << 10), 30, 40);
  const std::string reply = "info probe position fen " + castlingFen + " move ";
  EXPECT_EQ(Run("probe fen " + castlingFen), std::vector<std::string>{reply + "e1g1 depth 12 lb 40"});
  Chess960Mode = true;
  EXPECT_EQ(Run("probe fen " + castlingFen), std::vector<std::string>{reply + "e1h1 depth 12 lb 40"});
}

TEST_F(HashCommandTest, PositionsWithMovesAndBadInput) {
  // The key is that of the position reached, however it is written.
  Run("write 17 startpos moves g1f3");
  EXPECT_EQ(Run("probe fen rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1"),
            std::vector<std::string>{
                "info probe position fen rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1 move a1a1 depth 25 ex 17"});
  EXPECT_EQ(Run("probe startpos"), std::vector<std::string>{"info string Probed position not found."});
  // Nothing is written for a position that cannot be read completely, nor without a score.
  EXPECT_EQ(Run("write 5 fen not a fen"), std::vector<std::string>{"info string Invalid FEN string."});
  EXPECT_EQ(Run("write 5 startpos moves e2e4 e2e5").size(), 1u);
  Run("write startpos");
  Run("write 5");
  EXPECT_EQ(Run("probe startpos"), std::vector<std::string>{"info string Probed position not found."});
  EXPECT_EQ(Run("probe startpos moves e2e4"), std::vector<std::string>{"info string Probed position not found."});
}

TEST_F(HashCommandTest, WrittenScoresAreClampedToTheField) {
  Run("write 99999 fen " + Fen);
  EXPECT_EQ(Run("probe fen " + Fen).at(0), "info probe position fen " + Fen + " move a1a1 depth 25 ex 8193");
  EXPECT_EQ(EntryScore(*DeepestSlot(KeyOfFen(Fen))), ClampedEntryScore);
  Run("write -99999999999999999999 fen " + Fen);
  EXPECT_EQ(Run("probe fen " + Fen).at(0), "info probe position fen " + Fen + " move a1a1 depth 25 ex -8190");
  Run("write 8160 fen " + Fen);
  EXPECT_EQ(Run("probe fen " + Fen).at(0), "info probe position fen " + Fen + " move a1a1 depth 25 ex 8160");
}
