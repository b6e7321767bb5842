#include "cluster/mpi/mpi_link.h"

#include <mpi.h>
#include <vector>

namespace cluster {

MpiLink::MpiLink(int* argc, char*** argv) {
  int provided = 0;
  MPI_Init_thread(argc, argv, MPI_THREAD_SINGLE, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiLink::~MpiLink() { MPI_Finalize(); }

void MpiLink::Send(int to, Tag tag, const std::string& text) {
  MPI_Send(text.data(), int(text.size()), MPI_CHAR, to, int(tag), MPI_COMM_WORLD);
}

bool MpiLink::Poll(int& from, Tag& tag, std::string& text) {
  int waiting = 0;
  MPI_Status status;
  MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &waiting, &status);
  if (!waiting) return false;
  int length = 0;
  MPI_Get_count(&status, MPI_CHAR, &length);
  std::vector<char> buffer(size_t(length) + 1);
  MPI_Recv(buffer.data(), length, MPI_CHAR, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  from = status.MPI_SOURCE;
  tag = Tag(status.MPI_TAG);
  text.assign(buffer.data(), size_t(length));
  return true;
}

}  // namespace cluster
