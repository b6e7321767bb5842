// Self-play games for the evaluation tuner: the engine plays itself inside
// one process at a small node count (no pipes, no referee), and every quiet
// position of every game is written with the game's result as
// "FEN;result" lines (1, 0.5, 0 from White's view), the tuner's format.
//
// A game starts from a random line of the openings file followed by a few
// uniformly random legal moves, so that no two games are alike; a start the
// first search already calls lost for one side is thrown away. It ends by
// the rules (mate, stalemate, repetition, fifty moves, bare kings and
// minors) or by adjudication: one side's score beyond AdjudicateWinCp for
// AdjudicateWinPlies plies in a row, or a score near zero for
// AdjudicateDrawPlies plies after AdjudicateDrawFromPly.
//
// A position is quiet when the side to move is not in check and a plain
// capture search (stand pat, captures and promotions) finds nothing better
// than the static evaluation: what the evaluation sees is all there is.
//
// Usage: tolvo-selfplay --openings EPD --out FILE [--games N] [--nodes N]
//                       [--seed N] [--random-plies N]
// Lines are appended, game by game, so an interrupted run keeps its games.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/search_driver.h"
#include "driver/startup.h"
#include "eval/evaluate.h"
#include "platform/platform.h"

namespace {
constexpr int AdjudicateWinCp = 1000;
constexpr int AdjudicateWinPlies = 6;
constexpr int AdjudicateDrawCp = 15;
constexpr int AdjudicateDrawPlies = 12;
constexpr int AdjudicateDrawFromPly = 80;
constexpr int MaxGamePlies = 400;
constexpr int UnbalancedStartCp = 300;   // a start scored beyond this is not played

int SideSign(const Position& p) { return p.sideToMove == White ? 1 : -1; }

int StaticValue(const Position& p) {
  EvalInfo ei{};
  ei.sideSign = SideSign(p);
  return ei.sideSign * int(EvaluateUncached(p, ei));
}

// Alpha-beta over captures and promotions only, side to move's view.
int CaptureSearch(Position& p, int alpha, int beta, int height) {
  const int standPat = StaticValue(p);
  if (standPat >= beta || height >= 12) return standPat;
  if (standPat > alpha) alpha = standPat;
  MoveList moves;
  GenerateLegalMoves(p, moves);
  for (Move m : moves) {
    if (!IsCapture(m) && !HasPromotionMark(m)) continue;
    UndoRecord undo;
    MakeMoveOfSideToMove(p, undo, m);
    const int value = -CaptureSearch(p, -beta, -alpha, height + 1);
    UnmakeLastMove(p, undo, m);
    if (value >= beta) return value;
    if (value > alpha) alpha = value;
  }
  return alpha;
}

bool IsQuiet(Position& p) {
  if (InCheck(p)) return false;
  const int standPat = StaticValue(p);
  return CaptureSearch(p, standPat - 1, standPat + 1, 0) <= standPat;
}

// Bare kings, or a single knight or bishop beside them.
bool MatingMaterialGone(const Position& p) {
  const int men = __builtin_popcountll(p.occupied);
  if (men == 2) return true;
  if (men != 3) return false;
  const Bitboard minors = p.pieces[WhiteKnight] | p.pieces[BlackKnight] | p.pieces[WhiteBishop] |
                         p.pieces[BlackBishop];
  return __builtin_popcountll(minors) == 1;
}

struct Searched {
  Move move;
  int score;   // side to move's view, centipawns
};

Searched SearchMove(const std::string& positionLine, uint64_t nodes) {
  HandlePositionCommand(positionLine);
  GoRequest request = ReadGoLine("go nodes " + std::to_string(nodes));
  request.alone = true;
  Output.silentMode = true;
  StartSearch(request);
  Output.silentMode = false;
  return {Search.rootMoves[0].move, Search.rootMoves[0].score};
}

std::vector<std::string> ReadOpenings(const std::string& path) {
  std::vector<std::string> fens;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    // An EPD line: the four FEN fields, then operations; the tuner needs a full FEN.
    std::vector<std::string> fields;
    size_t at = 0;
    while (fields.size() < 4 && at < line.size()) {
      const size_t end = line.find(' ', at);
      fields.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    if (fields.size() == 4) fens.push_back(fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " 0 1");
  }
  return fens;
}
}  // namespace

int main(int argc, char** argv) {
  std::string openingsPath, outPath;
  int games = 100, randomPlies = 4;
  uint64_t nodes = 3000, seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--openings") openingsPath = value;
    else if (flag == "--out") outPath = value;
    else if (flag == "--games") games = std::atoi(value.c_str());
    else if (flag == "--nodes") nodes = std::strtoull(value.c_str(), nullptr, 10);
    else if (flag == "--seed") seed = std::strtoull(value.c_str(), nullptr, 10);
    else if (flag == "--random-plies") randomPlies = std::atoi(value.c_str());
    else return std::fprintf(stderr, "unknown flag %s\n", flag.c_str()), 2;
  }
  if (openingsPath.empty() || outPath.empty())
    return std::fprintf(stderr, "usage: tolvo-selfplay --openings EPD --out FILE [--games N] [--nodes N] "
                                "[--seed N] [--random-plies N]\n"), 2;
  const std::vector<std::string> openings = ReadOpenings(openingsPath);
  if (openings.empty()) return std::fprintf(stderr, "no openings in %s\n", openingsPath.c_str()), 1;
  std::FILE* out = std::fopen(outPath.c_str(), "a");
  if (!out) return std::fprintf(stderr, "cannot write %s\n", outPath.c_str()), 1;

  char program[] = "tolvo-selfplay";
  char* startArgs[] = {program, nullptr};
  StartUp(1, startArgs, true);
  Input.SetFd(platform::IdleInputDescriptor());
  DispatchCommand("setoption name Hash value 16");
  std::mt19937_64 rng(seed);
  int played = 0, thrownAway = 0;
  uint64_t positions = 0;
  int wins = 0, losses = 0, draws = 0;
  const uint64_t begin = platform::NowMs();

  while (played < games) {
    NewGameReset();
    Position game;
    const std::string& startFen = openings[rng() % openings.size()];
    SetPositionFromFen(game, startFen.c_str());
    std::string line = "position fen " + startFen + " moves";
    bool usable = true;
    for (int i = 0; i < randomPlies && usable; ++i) {
      MoveList moves;
      GenerateLegalMoves(game, moves);
      if (moves.size == 0) usable = false;
      else {
        const Move m = moves.moves[rng() % moves.size];
        line += ' ';
        line += MoveToText(m);
        MakeRootMove(game, m);
      }
    }
    if (!usable || std::abs(SearchMove(line, nodes).score) > UnbalancedStartCp) {
      ++thrownAway;
      continue;
    }

    std::vector<std::string> quiet;
    double result = 0.5;   // White's view
    int winStreak = 0, winSign = 0, drawStreak = 0;
    for (int ply = 0;; ++ply) {
      MoveList moves;
      GenerateLegalMoves(game, moves);
      if (moves.size == 0) {
        result = InCheck(game) ? (game.sideToMove == White ? 0.0 : 1.0) : 0.5;
        break;
      }
      if (IsRepetition(game) || game.st.fifty >= 100 || MatingMaterialGone(game) || ply >= MaxGamePlies) break;
      if (IsQuiet(game)) quiet.push_back(PositionToFen(game));
      const Searched s = SearchMove(line, nodes);
      const int whiteScore = SideSign(game) * s.score;
      const int sign = whiteScore >= AdjudicateWinCp ? 1 : whiteScore <= -AdjudicateWinCp ? -1 : 0;
      winStreak = sign != 0 && sign == winSign ? winStreak + 1 : sign != 0;
      winSign = sign;
      if (winStreak >= AdjudicateWinPlies) {
        result = winSign > 0 ? 1.0 : 0.0;
        break;
      }
      drawStreak = std::abs(whiteScore) <= AdjudicateDrawCp ? drawStreak + 1 : 0;
      if (ply >= AdjudicateDrawFromPly && drawStreak >= AdjudicateDrawPlies) break;
      const Move m = FindLegalMove(game, MoveToText(s.move).c_str());
      if (m == 0) return std::fprintf(stderr, "search returned no legal move in %s\n", line.c_str()), 1;
      line += ' ';
      line += MoveToText(m);
      MakeRootMove(game, m);
    }
    const char* label = result == 1.0 ? "1" : result == 0.0 ? "0" : "0.5";
    for (const std::string& fen : quiet) std::fprintf(out, "%s;%s\n", fen.c_str(), label);
    std::fflush(out);
    positions += quiet.size();
    (result == 1.0 ? wins : result == 0.0 ? losses : draws) += 1;
    if (++played % 100 == 0)
      std::fprintf(stderr, "%d games (+%d -%d =%d, %d starts thrown away), %llu positions, %.0f s\n", played, wins,
                   losses, draws, thrownAway, (unsigned long long)positions,
                   double(platform::NowMs() - begin) / 1000);
  }
  std::fclose(out);
  std::fprintf(stderr, "done: %d games, %llu positions\n", played, (unsigned long long)positions);
  return 0;
}
