#include <gtest/gtest.h>
#include "board/position.h"

int main(int argc, char** argv) {
  InitBoard();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
