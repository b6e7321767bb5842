// tolvo-cluster: one search across the ranks of an MPI job. Rank 0 is the
// UCI engine of the front end; every rank drives one Tolvo engine.
#include <cstdio>
#include <string>
#include <vector>
#include "board/position.h"
#include "cluster/cluster_options.h"
#include "cluster/controller.h"
#include "cluster/mpi/mpi_link.h"
#include "cluster/rank_worker.h"
#include "platform/platform.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::IgnoreBrokenPipes();
  cluster::MpiLink link(&argc, &argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  const cluster::ClusterOptions options = cluster::ReadClusterOptions(args, platform::OwnProgramPath());
  if (!options.valid) {
    if (link.Rank() == 0) std::fprintf(stderr, "tolvo-cluster: %s\n", options.error.c_str());
    return 2;
  }
  if (link.Rank() != 0) return cluster::RunRankWorker(link, options);
  InitBoard();
  cluster::Controller controller(link, options);
  return controller.Run();
}
