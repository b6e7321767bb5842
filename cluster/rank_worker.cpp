#include "cluster/rank_worker.h"

#include "cluster/local_engine.h"
#include "platform/platform.h"

namespace cluster {

int RunRankWorker(RankLink& link, const ClusterOptions& options) {
  LocalEngine engine;
  bool usable = engine.Start(options.enginePath);
  if (usable) {
    engine.Send("setoption name Slave Info value true");   // its lines reach rank 0 in slave mode too
    for (const std::string& o : options.engineOptions) engine.Send(SetOptionLine(o));
  }
  link.Send(0, Tag::Control, usable ? "ready " + std::to_string(engine.Pid()) : "gone");
  for (;;) {
    bool busy = false;
    int from = 0;
    Tag tag;
    std::string text;
    while (link.Poll(from, tag, text)) {
      busy = true;
      if (tag == Tag::ForEngine && usable) {
        engine.Send(text);
      } else if (tag == Tag::Control && text == "quit") {
        engine.Quit();
        link.Send(0, Tag::Control, "bye");
        return 0;
      }
    }
    std::string line;
    while (usable && engine.Poll(line, 0)) {
      link.Send(0, Tag::FromEngine, line);
      busy = true;
    }
    if (usable && !engine.Alive()) {
      usable = engine.Restart();
      link.Send(0, Tag::Control, usable ? "restarted " + std::to_string(engine.Pid()) : "gone");
    }
    if (!busy) {
      if (usable && engine.Poll(line, 1)) link.Send(0, Tag::FromEngine, line);
      else if (!usable) platform::SleepMs(1);
    }
  }
}

}  // namespace cluster
