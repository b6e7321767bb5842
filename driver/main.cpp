// Program entry: checks the processor, prepares the engine (start-up) and
// then runs the command loop until "quit" or the end of input. Given "bench"
// (and a depth) as its arguments it runs the benchmark and ends, as tuning
// and testing frameworks expect.
#include <cstring>
#include <string>
#include "driver/engine.h"
#include "driver/search_driver.h"
#include "driver/startup.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Without the population-count instruction the engine cannot run at all.
  if (!platform::CpuHasPopcount()) return 0;
  if (argc >= 2 && std::strcmp(argv[1], "bench") == 0) {
    StartUp(1, argv, true);   // a stand-alone engine of one process, whatever follows
    Input.SetFd(platform::IdleInputDescriptor());   // no front end: nothing to read
    HandleBench(std::string("bench ") + (argc >= 3 ? argv[2] : ""));
    Quit();
  }
  StartUp(argc, argv);
  for (;;) ProcessCommandLine();
}
