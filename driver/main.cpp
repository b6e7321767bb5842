// Program entry: checks the processor, sets up the tables and the start
// position, then runs the command loop until "quit" or the end of input.
#include "board/position.h"
#include "common/output.h"
#include "driver/engine.h"
#include "platform/platform.h"
#include "search/hash_table.h"

int main(int argc, char** argv) {
  (void)argc;
  if (!platform::CpuHasPopcount()) return 0;
  platform::SetOwnEntry(argv[0]);
  platform::IgnoreBrokenPipes();
  platform::SetStdoutFailureHandler([] { Quit(); });
  InitBoard();
  AllocateHashTable(32);
  NewSearchGeneration(0);
  Engine.inputIsPipe = !platform::StdinIsConsole();
  ResetToStartPosition();
  for (;;) ProcessCommandLine();
}
