#include <gtest/gtest.h>
#include "board/position.h"
#include "eval/evaluate.h"
#include "group/hash_memory.h"

int main(int argc, char** argv) {
  InitBoard();
  InitEvaluation();
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // A test that made a hash table leaves no shared-memory name behind.
  ReleaseHashTable();
  return result;
}
