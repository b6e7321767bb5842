#include <gtest/gtest.h>
#include "board/position.h"
#include "eval/evaluate.h"
#include "group/process_group.h"

int main(int argc, char** argv) {
  InitBoard();
  InitEvaluation();
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // A test that made a hash table or started a group (a hash file's load
  // restarts it) leaves no shared-memory name behind.
  LeaveProcessGroup();
  return result;
}
