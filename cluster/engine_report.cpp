#include "cluster/engine_report.h"

#include <sstream>
#include <vector>

namespace cluster {

std::optional<EngineReport> ReadInfoLine(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word != "info") return std::nullopt;
  EngineReport r;
  bool depth = false, score = false;
  while (in >> word) {
    if (word == "depth") {
      depth = static_cast<bool>(in >> r.depth);
    } else if (word == "score") {
      std::string kind;
      int value = 0;
      if (!(in >> kind >> value)) return std::nullopt;
      if (kind == "cp") r.order = value;
      else if (kind == "mate") r.order = value > 0 ? MateOrder - value : -MateOrder - value;
      else return std::nullopt;
      r.scoreText = kind + " " + std::to_string(value);
      score = true;
    } else if (word == "lowerbound" || word == "upperbound") {
      r.bound = true;
    } else if (word == "nodes") {
      in >> r.nodes;
    } else if (word == "time") {
      in >> r.timeMs;
    } else if (word == "pv") {
      std::getline(in, r.pv);
      const size_t start = r.pv.find_first_not_of(' ');
      r.pv = start == std::string::npos ? "" : r.pv.substr(start);
      while (!r.pv.empty() && (r.pv.back() == ' ' || r.pv.back() == '\r')) r.pv.pop_back();
      break;
    } else if (word == "string") {
      return std::nullopt;
    }
  }
  if (!depth || !score || r.pv.empty()) return std::nullopt;
  return r;
}

uint64_t NodesOfInfoLine(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  uint64_t nodes = 0;
  while (in >> word) {
    if (word == "string" || word == "pv") return nodes;
    if (word == "nodes") in >> nodes;
  }
  return nodes;
}

namespace {
std::string MoveAt(const std::string& pv, int index) {
  std::istringstream in(pv);
  std::string move;
  for (int i = 0; i <= index; ++i)
    if (!(in >> move)) return "";
  return move;
}
}  // namespace

std::string FirstMove(const std::string& pv) { return MoveAt(pv, 0); }
std::string SecondMove(const std::string& pv) { return MoveAt(pv, 1); }

}  // namespace cluster
