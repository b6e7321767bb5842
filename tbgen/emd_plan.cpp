#include "tbgen/emd_plan.h"
#include <algorithm>
#include <cmath>
#include <vector>
#include "tbgen/emd_block_parser.h"
#include "tbgen/emd_code_builder.h"

namespace emd {
namespace {

constexpr uint32_t SampleBlocks = 32;
constexpr int CostRounds = 2;
constexpr size_t RankedDistances = 2 * DistanceCount;
// Guessed costs before any code exists, and for symbols that a code still
// being settled lacks.
constexpr uint32_t GuessedMatchCost = 7;
constexpr uint32_t MissingSymbolCost = MaxBlockCodeLength + 2;

// Literals cost what their share of the sample says, matches a guess.
SymbolCosts GuessedCosts(const TableView& table, const std::vector<uint32_t>& sample) {
  uint64_t counts[LiteralCount] = {}, total = 0;
  for (uint32_t block : sample) {
    const uint8_t* bytes = table.Block(block);
    for (uint32_t i = 0, n = table.Length(block); i < n; ++i) ++counts[bytes[i]];
    total += table.Length(block);
  }
  SymbolCosts costs;
  for (int s = 0; s < LiteralCount; ++s) {
    const double bits = counts[s] ? -std::log2(double(counts[s]) / double(total)) : MaxBlockCodeLength;
    costs.bits[s] = uint32_t(std::clamp(std::lround(bits), 1L, long(MaxBlockCodeLength)));
  }
  for (int s = LiteralCount; s < SymbolCount; ++s) costs.bits[s] = GuessedMatchCost;
  return costs;
}

SymbolCosts CostsOfCode(const uint8_t* lengths) {
  SymbolCosts costs;
  for (int s = 0; s < SymbolCount; ++s) costs.bits[s] = lengths[s] ? lengths[s] : MissingSymbolCost;
  return costs;
}

// What one parse of some blocks gave: symbol counts, extra bits, and the
// bytes each distance slot covered.
struct ParseCounts {
  std::vector<uint64_t> symbols = std::vector<uint64_t>(SymbolCount, 0);
  uint64_t extraBits = 0;
  uint64_t covered[DistanceCount] = {};
};

ParseCounts ParseBlocks(const TableView& table, const std::vector<uint32_t>& blocks,
                        const Distances& distances, const SymbolCosts& costs) {
  BlockParser parser(distances.data());
  ParseCounts counts;
  std::vector<Token> tokens;
  for (uint32_t block : blocks) {
    tokens.clear();
    parser.Parse(table.Block(block), table.Length(block), costs, tokens);
    for (const Token& token : tokens) {
      ++counts.symbols[TokenSymbol(token)];
      if (token.length) {
        counts.extraBits += uint64_t(EncodeMatchLength(token.length).extraBits);
        counts.covered[token.slot] += token.length;
      }
    }
  }
  return counts;
}

// A code fitted to a parse, and how many bits the parse takes with it.
uint64_t FitCode(const ParseCounts& counts, uint8_t* lengths) {
  BuildCodeLengths(counts.symbols.data(), SymbolCount, MaxBlockCodeLength, lengths);
  uint64_t bits = counts.extraBits;
  for (int s = 0; s < SymbolCount; ++s) bits += counts.symbols[s] * lengths[s];
  return bits;
}

struct Trial {
  Distances distances;
  SymbolCosts costs;
  ParseCounts counts;
  uint64_t bits;
};

// Parses the sample with the trial's costs and refits them.
void Evaluate(const TableView& table, const std::vector<uint32_t>& sample, Trial& trial) {
  uint8_t lengths[SymbolCount];
  trial.counts = ParseBlocks(table, sample, trial.distances, trial.costs);
  trial.bits = FitCode(trial.counts, lengths);
  trial.costs = CostsOfCode(lengths);
}

}  // namespace

FilePlan PlanFile(const TableView& table) {
  std::vector<uint32_t> sample, everyBlock(table.blocks);
  const uint32_t sampled = std::min(table.blocks, SampleBlocks);
  for (uint32_t i = 0; i < sampled; ++i) sample.push_back(uint32_t(uint64_t(i) * table.blocks / sampled));
  for (uint32_t b = 0; b < table.blocks; ++b) everyBlock[b] = b;

  const std::vector<uint32_t> ranked =
      RankDistances(table.data, table.bytes, table.blockSize, RankedDistances);
  Trial best;
  std::copy(ranked.begin(), ranked.begin() + DistanceCount, best.distances.begin());
  best.costs = GuessedCosts(table, sample);
  for (int round = 0; round < CostRounds; ++round) Evaluate(table, sample, best);

  // Each further candidate in place of the slot that covers least; a new
  // distance starts from the costs of the slot it takes over.
  for (size_t c = DistanceCount; c < ranked.size(); ++c) {
    Trial trial = best;
    const int weakest =
        int(std::min_element(best.counts.covered, best.counts.covered + DistanceCount) - best.counts.covered);
    trial.distances[weakest] = ranked[c];
    Evaluate(table, sample, trial);
    if (trial.bits < best.bits) best = trial;
  }

  FilePlan plan;
  plan.distances = best.distances;
  FitCode(ParseBlocks(table, everyBlock, plan.distances, best.costs), plan.lengths);
  return plan;
}

}  // namespace emd
