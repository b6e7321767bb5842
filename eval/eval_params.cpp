#include "eval/eval_params.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>
#include "eval/material.h"
#include "eval/pawns.h"
#include "eval/placement.h"

#ifdef TOLVO_TUNING
EvalParams Params = BuiltInEvalParams;

void SetEvalParams(const EvalParams& params) {
  Params = params;
  InitPieceSquareTables();
  InitImbalanceTable();
  InitShelterTable();
  ClearPawnCache();
}
#endif

const EvalParamRow EvalParamRows[] = {
#define TOLVO_PARAM_ROW(name, count, fixed)                                   \
  {#name, count, fixed, [](EvalParams& p) -> int* { return p.name; },          \
   [](const EvalParams& p) -> const int* { return p.name; }},
    TOLVO_EVAL_PARAMS(TOLVO_PARAM_ROW)
#undef TOLVO_PARAM_ROW
};
const int EvalParamRowCount = int(sizeof EvalParamRows / sizeof EvalParamRows[0]);

std::string FormatEvalParams(const EvalParams& params) {
  std::string out;
  for (const EvalParamRow& row : EvalParamRows) {
    out += row.name;
    for (int i = 0; i < row.count; ++i) {
      out += ' ';
      out += std::to_string(row.constField(params)[i]);
    }
    out += "\n";
  }
  return out;
}

bool ParseEvalParams(const std::string& text, EvalParams& params, std::string& error) {
  // Packed lanes hold 16 bits; keep every weight well inside them.
  constexpr long Limit = 16000;
  EvalParams read = params;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::string where = "line " + std::to_string(number) + ": ";
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string name;
    if (!(words >> name)) continue;
    const EvalParamRow* row = nullptr;
    for (const EvalParamRow& r : EvalParamRows)
      if (name == r.name) row = &r;
    if (!row) return error = where + "unknown parameter '" + name + "'", false;
    std::vector<int> values;
    for (std::string word; words >> word;) {
      char* end = nullptr;
      errno = 0;
      const long v = std::strtol(word.c_str(), &end, 10);
      if (*end || errno || word.empty()) return error = where + "'" + word + "' is not an integer", false;
      if (v < -Limit || v > Limit) return error = where + "value " + word + " out of range", false;
      values.push_back(int(v));
    }
    const int count = int(values.size());
    if (count != row->count)
      return error = where + name + " needs " + std::to_string(row->count) + " values", false;
    for (int i = 0; i < count; ++i) {
      if ((row->fixedMask >> i & 1) && values[i] != row->constField(DefaultEvalParams)[i])
        return error = where + name + " entry " + std::to_string(i) + " is fixed at " +
                       std::to_string(row->constField(DefaultEvalParams)[i]), false;
      row->field(read)[i] = values[i];
    }
  }
  if (!EvalParamsUsable(read, error)) return false;
  params = read;
  return true;
}

bool EvalParamsUsable(const EvalParams& params, std::string& error) {
  if (params.pawnGainPieces[0] < 1) return error = "pawnGainPieces must be at least 1", false;
  for (int share : params.kingRankSharePercent)
    if (share < 0 || share > 100) return error = "kingRankSharePercent entries lie in 0..100", false;
  return true;
}

std::string EvalParamsSource(const EvalParams& params, const std::string& comment) {
  std::string out;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) {
    out += "// ";
    out += line;
    out += '\n';
  }
  for (const EvalParamRow& row : EvalParamRows) {
    out += std::string(".") + row.name + " = {";
    for (int i = 0; i < row.count; ++i) {
      if (i) out += ", ";
      out += std::to_string(row.constField(params)[i]);
    }
    out += "},\n";
  }
  return out;
}
