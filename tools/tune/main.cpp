// The evaluation tuner: fits the weights of the parameter table to game
// results over quiet positions. The error is the mean squared difference
// between each position's result (1, 0.5, 0 from White's view) and
// 1 / (1 + 10^(-K * eval / 400)) of its static evaluation. K is fitted first,
// with the starting weights, and then held; the free entries of the table
// (those not marked fixed) are moved one at a time by a step, kept when
// the error falls, in passes with a halving step, until nothing improves or
// the time is up.
//
// Usage: tolvo-tune --data FILE [--holdout FILE] [--limit N] [--threads N] [--seconds S]
//                   [--start PARAMS] [--out PARAMS] [--source FILE.inc] [--note TEXT]
// The data files hold "FEN;result" lines (tolvo-selfplay and
// tools/tune/tune_data.py make them). The held-out file, positions of games
// the fit never sees, is only measured: its error before and after says
// whether the fitted weights generalise.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "board/position.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/material.h"

namespace {
// A position without its move history (what the evaluation reads).
struct Sample {
  PieceWord board[64];
  Bitboard pieces[14];
  uint32_t kingSquare[2];
  Bitboard occupied;
  StateBlock st;
  Color sideToMove;
  float result;
};

// Positions with their current evaluations: the fitted set, and a held-out
// set that only measures whether the fit carries over to games it has not seen.
struct DataSet {
  std::vector<Sample> samples;
  std::vector<int> scores;
};
DataSet training, heldOut;
Position scratch;

// The fields the evaluation reads, copied between a Position and a Sample
// (either way: the names are the same).
template <class From, class To> void CopyEvaluatedFields(const From& from, To& to) {
  std::memcpy(to.board, from.board, sizeof to.board);
  std::memcpy(to.pieces, from.pieces, sizeof to.pieces);
  to.kingSquare[0] = from.kingSquare[0];
  to.kingSquare[1] = from.kingSquare[1];
  to.occupied = from.occupied;
  to.st = from.st;
  to.sideToMove = from.sideToMove;
}

void Load(const Sample& s, Position& into) { CopyEvaluatedFields(s, into); }

// Runs work(begin, end, scratch) over [0, n) in equal shares on `threadCount`
// threads, each with its own scratch position (the evaluation's pawn cache is
// per thread in the tuning build).
int threadCount = 2;
template <class Work> void InShares(size_t n, const Work& work) {
  const size_t share = (n + size_t(threadCount) - 1) / size_t(threadCount);
  std::vector<std::thread> threads;
  for (int t = 1; t < threadCount; ++t)
    threads.emplace_back([&, t] {
      Position local;
      work(std::min(n, t * share), std::min(n, (t + 1) * share), local);
    });
  work(0, std::min(n, share), scratch);
  for (std::thread& thread : threads) thread.join();
}

bool ReadData(const std::string& path, size_t limit, std::vector<Sample>& samples) {
  std::ifstream in(path);
  if (!in) return false;
  const int noAdjustment[12] = {};
  BuildAdjustmentTable(noAdjustment, White, false);   // the search's piece values with the options at 0
  std::string line;
  while (samples.size() < limit && std::getline(in, line)) {
    const size_t semi = line.find(';');
    if (semi == std::string::npos) continue;
    Position& p = scratch;
    if (!SetPositionFromFen(p, line.substr(0, semi).c_str()) || !CheckPositionConsistency(p)) continue;
    p.st.materialDelta = ComputeMaterialDelta(p);
    Sample s;
    CopyEvaluatedFields(p, s);
    s.result = std::strtof(line.c_str() + semi + 1, nullptr);
    samples.push_back(s);
  }
  return true;
}

// After a change to the placement profiles every piece-square sum is stale.
void RefreshPieceSquareSums(std::vector<Sample>& samples) {
  InShares(samples.size(), [&](size_t begin, size_t end, Position& into) {
    for (size_t i = begin; i < end; ++i) {
      Load(samples[i], into);
      samples[i].st.pstSum = ComputePstSum(into);
    }
  });
}

void EvaluateAll(DataSet& set) {
  set.scores.resize(set.samples.size());
  InShares(set.samples.size(), [&](size_t begin, size_t end, Position& into) {
    for (size_t i = begin; i < end; ++i) {
      Load(set.samples[i], into);
      EvalInfo ei{};
      ei.sideSign = into.sideToMove == White ? 1 : -1;
      set.scores[i] = EvaluateUncached(into, ei);
    }
  });
}

double Error(const DataSet& set, double k) {
  double sum = 0;
  for (size_t i = 0; i < set.samples.size(); ++i) {
    const double predicted = 1.0 / (1.0 + std::pow(10.0, -k * set.scores[i] / 400.0));
    sum += (set.samples[i].result - predicted) * (set.samples[i].result - predicted);
  }
  return sum / double(set.samples.size());
}

double Error(DataSet& set, const EvalParams& params, double k, bool placementChanged) {
  SetEvalParams(params);
  if (placementChanged) RefreshPieceSquareSums(set.samples);
  EvaluateAll(set);
  return Error(set, k);
}

// Golden-section search for the K of least error over the current scores.
double FitK(const DataSet& set) {
  double a = 0.1, b = 3.0;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int i = 0; i < 40; ++i) {
    const double c = b - g * (b - a), d = a + g * (b - a);
    if (Error(set, c) < Error(set, d)) b = d; else a = c;
  }
  return (a + b) / 2;
}

// The first step of a row: small integers move by one, percentages by five,
// tenths by ten, the rest by 16 internal units (1/64 pawn).
int FirstStep(const std::string& name) {
  if (name == "knightPawnPivot" || name == "pawnGainPieces") return 1;
  if (name.find("Percent") != std::string::npos) return 5;
  if (name == "passedEnemyKing" || name == "passedOwnKing") return 10;
  return 16;
}

// The profile rows come first in the table, up to the imbalance model.
bool IsPlacementRow(int row) {
  for (int r = 0; r < EvalParamRowCount; ++r)
    if (std::strcmp(EvalParamRows[r].name, "bishopPairPerPawn") == 0) return row < r;
  return true;
}

std::string Today() {
  char text[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(text, sizeof text, "%Y-%m-%d", std::gmtime(&now));
  return text;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return bool(out);
}
}  // namespace

int main(int argc, char** argv) {
  std::string data, holdout, start, out, source, note;
  size_t limit = size_t(-1);
  double seconds = 1800;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--data") data = value;
    else if (flag == "--holdout") holdout = value;
    else if (flag == "--threads") threadCount = std::max(1, std::atoi(value.c_str()));
    else if (flag == "--limit") limit = std::strtoull(value.c_str(), nullptr, 10);
    else if (flag == "--seconds") seconds = std::atof(value.c_str());
    else if (flag == "--start") start = value;
    else if (flag == "--out") out = value;
    else if (flag == "--source") source = value;
    else if (flag == "--note") note = value;
    else return std::fprintf(stderr, "unknown flag %s\n", flag.c_str()), 2;
  }
  if (data.empty()) return std::fprintf(stderr, "usage: tolvo-tune --data FILE [--holdout FILE] [--limit N] "
                                                "[--threads N] [--seconds S] [--start PARAMS] [--out PARAMS] [--source FILE.inc] [--note TEXT]\n"), 2;
  InitBoard();
  InitEvaluation();
  EvalParams params = Params;
  if (!start.empty()) {
    std::ifstream in(start);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!in || !ParseEvalParams(text.str(), params, error))
      return std::fprintf(stderr, "%s: %s\n", start.c_str(), in ? error.c_str() : "cannot read"), 1;
  }
  SetEvalParams(params);
  if (!ReadData(data, limit, training.samples) || training.samples.empty())
    return std::fprintf(stderr, "no positions in %s\n", data.c_str()), 1;
  if (!holdout.empty() && (!ReadData(holdout, size_t(-1), heldOut.samples) || heldOut.samples.empty()))
    return std::fprintf(stderr, "no positions in %s\n", holdout.c_str()), 1;
  RefreshPieceSquareSums(training.samples);
  EvaluateAll(training);
  const double k = FitK(training);
  const double before = Error(training, k);
  const double heldOutBefore = holdout.empty() ? 0 : Error(heldOut, params, k, true);
  std::printf("%zu positions, K = %.4f, error %.6f\n", training.samples.size(), k, before);
  if (!holdout.empty()) std::printf("%zu held-out positions, error %.6f\n", heldOut.samples.size(), heldOutBefore);
  std::fflush(stdout);

  const auto begin = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(); };
  double best = before;
  int passes = 0;
  bool timeUp = false;
  std::vector<int> lastDirection(size_t(EvalParamRowCount) * 32, +1);   // by row and entry (rows hold up to 32)
  for (int divisor = 1; divisor <= 4 && !timeUp; divisor *= 2) {
    for (bool improved = true; improved && !timeUp;) {
      improved = false;
      ++passes;
      for (int r = 0; r < EvalParamRowCount && !timeUp; ++r) {
        const EvalParamRow& row = EvalParamRows[r];
        const int step = std::max(1, FirstStep(row.name) / divisor);
        for (int i = 0; i < row.count && !timeUp; ++i) {
          if (row.fixedMask >> i & 1) continue;
          // The direction that last helped this entry goes first; a step that
          // helps is repeated while it keeps helping (an entry far from its
          // best value gets there in one pass rather than one step a pass).
          int& preferred = lastDirection[r * 32 + i];
          for (int direction : {preferred, -preferred}) {
            bool helped = false;
            for (;;) {
              EvalParams trial = params;
              row.field(trial)[i] += direction * step;
              std::string why;
              if (!EvalParamsUsable(trial, why)) break;
              const double e = Error(training, trial, k, IsPlacementRow(r));
              if (e >= best) break;
              best = e;
              params = trial;
              improved = helped = true;
              preferred = direction;
              if (elapsed() > seconds) break;
            }
            if (helped) break;
          }
          timeUp = elapsed() > seconds;
        }
      }
      std::printf("pass %d (step /%d): error %.6f after %.0f s\n", passes, divisor, best, elapsed());
      std::fflush(stdout);
      // The weights so far, so that a run cut short still leaves its best table.
      if (!out.empty()) WriteFile(out, "# tolvo-tune, after pass " + std::to_string(passes) + "\n" + FormatEvalParams(params));
    }
  }
  // Leave the tables as the final weights hold them (the last trial may have been refused).
  const double after = Error(training, params, k, true);
  std::printf("error %.6f -> %.6f%s\n", before, after, timeUp ? " (time limit)" : "");
  const double heldOutAfter = holdout.empty() ? 0 : Error(heldOut, params, k, true);
  if (!holdout.empty()) std::printf("held-out error %.6f -> %.6f\n", heldOutBefore, heldOutAfter);

  std::ostringstream how;
  how << "Generated by tolvo-tune on " << Today() << " (tools/tune): a logistic fit of the static evaluation\n"
      << "to game results, local search over the free entries of the table, starting from "
      << (start.empty() ? "the built-in values" : start) << ".\n"
      << training.samples.size() << " quiet positions from " << data << (note.empty() ? "" : " (" + note + ")") << ";\n"
      << "K = " << k << ", mean squared error " << before << " before, " << after << " after, " << passes
      << " passes" << (timeUp ? ", stopped by the time limit" : "") << ".\n";
  if (!holdout.empty())
    how << "Held out: " << heldOut.samples.size() << " positions of other games (" << holdout << "), error "
        << heldOutBefore << " before, " << heldOutAfter << " after.\n";
  if (!out.empty() && !WriteFile(out, "# " + how.str().substr(0, how.str().find('\n')) + "\n" + FormatEvalParams(params)))
    return std::fprintf(stderr, "cannot write %s\n", out.c_str()), 1;
  if (!source.empty() && !WriteFile(source, EvalParamsSource(params, how.str())))
    return std::fprintf(stderr, "cannot write %s\n", source.c_str()), 1;
  return 0;
}
