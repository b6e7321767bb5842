#include "common/words.h"

#include <gtest/gtest.h>

// Front ends send blanks, tabs and Windows line ends; none may make a word.
TEST(Words, BlanksTabsAndLineEndsSeparateWithoutEmptyWords) {
  EXPECT_TRUE(SplitWords("").empty());
  EXPECT_TRUE(SplitWords(" \t\r\n").empty());
  EXPECT_EQ(SplitWords("go"), (std::vector<std::string>{"go"}));
  EXPECT_EQ(SplitWords("  go\twtime  1000 \r\n"), (std::vector<std::string>{"go", "wtime", "1000"}));
  EXPECT_EQ(SplitWords("bestmove e2e4 ponder e7e5\r"),
            (std::vector<std::string>{"bestmove", "e2e4", "ponder", "e7e5"}));
}
