// Program entry: checks the processor, prepares the engine (start-up) and
// then runs the command loop until "quit" or the end of input.
#include "driver/engine.h"
#include "driver/startup.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Without the population-count instruction the engine cannot run at all.
  if (!platform::CpuHasPopcount()) return 0;
  StartUp(argc, argv);
  for (;;) ProcessCommandLine();
}
