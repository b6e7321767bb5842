// Program entry: checks the processor, sets up the tables and the start
// position, then runs the command loop until "quit" or the end of input.
#include "board/position.h"
#include "common/output.h"
#include "driver/engine.h"
#include "eval/evaluate.h"
#include "eval/tables.h"
#include "platform/platform.h"
#include "search/hash_table.h"

int main(int argc, char** argv) {
  (void)argc;
  if (!platform::CpuHasPopcount()) return 0;
  platform::SetOwnEntry(argv[0]);
  platform::IgnoreBrokenPipes();
  platform::SetStdoutFailureHandler([] { Quit(); });
  InitBoard();
  InitEvaluation();
  // The stored king-attack table must equal the one computed here and now.
  CheckKingAttackTable([](int index, int32_t stored, int32_t computed) { Send("%d %d %d", index, stored, computed); });
  AllocateHashTable(32);
  Engine.inputIsPipe = !platform::StdinIsConsole();
  ResetToStartPosition();
  NewGameReset();
  for (;;) ProcessCommandLine();
}
