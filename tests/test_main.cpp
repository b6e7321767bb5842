#include <gtest/gtest.h>
#include "board/position.h"
#include "eval/evaluate.h"

int main(int argc, char** argv) {
  InitBoard();
  InitEvaluation();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
