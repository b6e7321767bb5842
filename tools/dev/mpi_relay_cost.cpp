// What one message costs rank 0 of tolvo-cluster: every other rank sends it
// 20,000 lines the size of a "posting" line; rank 0 probes and receives each
// one the way the cluster's link does and relays it to every other rank, as
// it does with postings. Prints the time per message handled at rank 0.
//
//   make build      # builds build/tolvo_relay_cost when Open MPI is there
//   mpirun --oversubscribe -np 3 build/tolvo_relay_cost                      # shared memory
//   mpirun --oversubscribe --mca btl tcp,self -np 3 build/tolvo_relay_cost   # TCP
#include <mpi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int LinesPerRank = 20000;
constexpr int LineTag = 1, RelayTag = 2, DoneTag = 3;

void Lead(int ranks) {
  std::vector<char> buffer(256);
  long taken = 0, relayed = 0;
  const auto start = std::chrono::steady_clock::now();
  while (taken < long(LinesPerRank) * (ranks - 1)) {
    int waiting = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, LineTag, MPI_COMM_WORLD, &waiting, &status);
    if (!waiting) continue;
    int length = 0;
    MPI_Get_count(&status, MPI_CHAR, &length);
    MPI_Recv(buffer.data(), length, MPI_CHAR, status.MPI_SOURCE, LineTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    ++taken;
    for (int to = 1; to < ranks; ++to)
      if (to != status.MPI_SOURCE) {
        MPI_Send(buffer.data(), length, MPI_CHAR, to, RelayTag, MPI_COMM_WORLD);
        ++relayed;
      }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (int to = 1; to < ranks; ++to) MPI_Send(buffer.data(), 1, MPI_CHAR, to, DoneTag, MPI_COMM_WORLD);
  std::printf("%d ranks: rank 0 took %ld lines and relayed %ld in %.3f s: %.2f us per message\n", ranks, taken,
              relayed, seconds, 1e6 * seconds / double(taken + relayed));
}

void Follow() {
  const std::string line = "posting 24 57 9f3c2a41d07be655 e2e4";
  std::vector<char> buffer(256);
  bool done = false;
  for (int sent = 0; !done;) {
    if (sent < LinesPerRank) {
      MPI_Send(line.data(), int(line.size()), MPI_CHAR, 0, LineTag, MPI_COMM_WORLD);
      ++sent;
    }
    for (int waiting = 1; waiting && !done;) {
      MPI_Status status;
      MPI_Iprobe(0, MPI_ANY_TAG, MPI_COMM_WORLD, &waiting, &status);
      if (!waiting) break;
      int length = 0;
      MPI_Get_count(&status, MPI_CHAR, &length);
      MPI_Recv(buffer.data(), length, MPI_CHAR, 0, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
      done = status.MPI_TAG == DoneTag;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  MPI_Barrier(MPI_COMM_WORLD);
  if (ranks < 2) std::printf("needs two ranks at least\n");
  else if (rank == 0) Lead(ranks);
  else Follow();
  MPI_Finalize();
  return 0;
}
