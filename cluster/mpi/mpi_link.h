// The ranks of the MPI job as the cluster's link: MPI_COMM_WORLD, one
// message per line, its tag the line's kind.
#pragma once
#include "cluster/rank_link.h"

namespace cluster {

class MpiLink final : public RankLink {
 public:
  MpiLink(int* argc, char*** argv);
  ~MpiLink() override;
  MpiLink(const MpiLink&) = delete;
  MpiLink& operator=(const MpiLink&) = delete;
  int Rank() const override { return rank_; }
  int Size() const override { return size_; }
  void Send(int to, Tag tag, const std::string& text) override;
  bool Poll(int& from, Tag& tag, std::string& text) override;

 private:
  int rank_ = 0, size_ = 1;
};

}  // namespace cluster
