// A rank other than 0: it starts its engine with the cluster's engine
// options, passes rank 0's lines to it and its lines to rank 0, and starts
// the engine again (with its setup) when it dies.
#pragma once
#include "cluster/cluster_options.h"
#include "cluster/rank_link.h"

namespace cluster {

int RunRankWorker(RankLink& link, const ClusterOptions& options);

}  // namespace cluster
