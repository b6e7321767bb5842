#include "tools/fuzz/command_generator.h"

#include <algorithm>
#include <cctype>
#include "board/make_move.h"
#include "common/leading_number.h"
#include "board/movegen.h"
#include "board/notation.h"

namespace fuzz {

namespace {
const std::vector<std::string> LegalFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/5pk1/6p1/8/3R4/6P1/5PK1/2r5 w - - 0 1",          // rook ending with pawns
    "4k3/3r1p2/8/8/8/8/3R1P2/4K3 b - - 0 1",            // rook ending with pawns
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",            // mate in one
    "8/8/8/4k3/8/8/2K5/1Q6 w - - 0 1",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",                   // stalemate
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",   // mated
    "k7/8/8/8/8/8/1r6/K7 w - - 0 1",                    // one legal move
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",  // en passant
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",          // promotions
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",             // castling
    "4k3/8/8/8/8/8/4r3/4K3 w - - 0 1",                  // in check
    "4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - - 0 1",
    "2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - - 0 1",
    "8/8/8/8/8/8/k7/K7 w - - 0 1",                      // bare kings
    "8/8/3k4/8/8/3K4/8/2B1N3 w - - 99 80",
};

// Readable as FEN but not a position the engine can search.
const std::vector<std::string> InconsistentFens = {
    "8/8/8/8/8/8/8/8 w - - 0 1",                        // no kings
    "4k3/8/8/8/8/8/8/4K2K w - - 0 1",                   // two white kings
    "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",                  // side not to move in check
    "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",                   // pawn on the last rank
    "4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1",                 // castling rights without rooks
    "QQQQkQQQ/QQQQQQQQ/8/8/8/8/8/4K3 w - - 0 1",        // impossible material
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1",
    "k7/8/8/8/8/8/8/7K b KQ - 0 1",
    "ppppkppp/pppppppp/8/8/8/8/PPPPPPPP/PPPPKPPP w - - 0 1",
    "K7/8/8/8/8/8/8/k6q b - - 0 1",                     // black to move, white in check
};

// Not readable as FEN.
const std::vector<std::string> BadFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
    "xyz",
    "",
    "8/8/8/8/8/8/8/8",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
    "9/9/9/9/9/9/9/9 w - - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves",
    "//////// w - -",
    "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk/8/8/8/8/8/8/8 w - - 0 1",
};

const std::vector<std::string> ExtremeNumbers = {
    "2147483647", "-2147483648", "2147483648", "-2147483649", "9999999999999999999999", "-9999999999999999999999",
    "0", "-1", "4294967296", "9223372036854775807", "-9223372036854775808", "18446744073709551616", "abc", "",
    "12abc", "0x7fffffff", "+5", "1e9", "nan", "inf", "-0", "10,5", "3.5", " ",
};

enum class OptionKind { Spin, Check, Combo, Button, Text };
struct OptionInfo {
  const char* name;
  OptionKind kind;
  int lo, hi;
  std::vector<std::string> vars;
};
const std::vector<OptionInfo> Options = {
    {"UCI_Query", OptionKind::Button, 0, 0, {}},
    {"Hash", OptionKind::Spin, 2, 64, {}},
    {"Log", OptionKind::Check, 0, 0, {}},
    {"xLog", OptionKind::Check, 0, 0, {}},
    {"Max CPUs", OptionKind::Spin, 1, 2048, {}},
    {"CPU Usage", OptionKind::Spin, 1, 100, {}},
    {"NalimovPath", OptionKind::Text, 0, 0, {}},
    {"NalimovCache", OptionKind::Spin, 1, 256, {}},
    {"NalimovUsage", OptionKind::Combo, 0, 0, {"Frequently", "Normally", "Rarely", "Never"}},
    {"Main Process Priority", OptionKind::Combo, 0, 0, {"Normal", "BelowNormal", "Low", "Inherit"}},
    {"Child Process Priority", OptionKind::Combo, 0, 0, {"Normal", "BelowNormal", "Low"}},
    {"Use Large Pages", OptionKind::Check, 0, 0, {}},
    {"Always Score Main Move", OptionKind::Check, 0, 0, {}},
    {"Display Upperbounds", OptionKind::Check, 0, 0, {}},
    {"Preserve Analysis", OptionKind::Check, 0, 0, {}},
    {"Clear Hash", OptionKind::Button, 0, 0, {}},
    {"Hash File", OptionKind::Text, 0, 0, {}},
    {"Save Hash", OptionKind::Button, 0, 0, {}},
    {"Load Hash", OptionKind::Button, 0, 0, {}},
    {"Ponder", OptionKind::Check, 0, 0, {}},
    {"MultiPV", OptionKind::Spin, 1, 256, {}},
    {"MultiPV_cp", OptionKind::Spin, 0, 20000, {}},
    {"TC Buffer", OptionKind::Spin, 0, 120, {}},
    {"TC Normal Move Time", OptionKind::Spin, 1, 10000, {}},
    {"TC Max Move Time", OptionKind::Spin, 1, 10000, {}},
    {"TC Hard Buffer msec", OptionKind::Spin, 0, 10000, {}},
    {"TC Hard Move Time msec", OptionKind::Spin, 0, 1000, {}},
    {"TC Hard Move Depth", OptionKind::Spin, 1, 20, {}},
    {"White Pawn cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black Pawn cp", OptionKind::Spin, -1000, 1000, {}},
    {"White Knight cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black Knight cp", OptionKind::Spin, -1000, 1000, {}},
    {"White King Bishop cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black King Bishop cp", OptionKind::Spin, -1000, 1000, {}},
    {"White Queen Bishop cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black Queen Bishop cp", OptionKind::Spin, -1000, 1000, {}},
    {"White Rook cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black Rook cp", OptionKind::Spin, -1000, 1000, {}},
    {"White Queen cp", OptionKind::Spin, -1000, 1000, {}},
    {"Black Queen cp", OptionKind::Spin, -1000, 1000, {}},
    {"Rook Endgame Scaling", OptionKind::Spin, 0, 1000, {}},
    {"UCI_LimitStrength", OptionKind::Check, 0, 0, {}},
    {"UCI_Elo", OptionKind::Spin, 1200, 2400, {}},
    {"UCI_EngineAbout", OptionKind::Text, 0, 0, {}},
    {"kvx5_randomizer_threshold", OptionKind::Spin, 1, 512, {}},
    {"kvx5_randomizer_mode", OptionKind::Check, 0, 0, {}},
    {"kvx5_randomizer_reset", OptionKind::Button, 0, 0, {}},
};

bool StartsNoCase(const std::string& s, size_t at, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (at + i >= s.size() || std::tolower(static_cast<unsigned char>(s[at + i])) != prefix[i]) return false;
  return true;
}

}  // namespace

std::string MakeSafe(const std::string& line) {
  if (!StartsNoCase(line, 0, "setoption name") || line.size() <= 15) return line;
  // The option text starts after "setoption name" and one more character.
  if (StartsNoCase(line, 15, "hash value")) {
    const long long request = LeadingNumber(line, 15 + 11);
    long long megabytes = 1;
    while (megabytes <= request / 2) megabytes *= 2;
    // Up to 64 MB: the engine holds larger requests to its largest table,
    // gigabytes that a new game would spend seconds clearing.
    if (megabytes > 64) return "setoption name Hash value 16";
    return line;
  }
  if (StartsNoCase(line, 15, "hash file value")) {
    std::string safe = line;
    std::replace(safe.begin() + 15, safe.end(), '/', '_');
    return safe;
  }
  return line;
}

bool CommandGenerator::Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
int CommandGenerator::Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

std::string CommandGenerator::Extreme() {
  // The int limits and just beyond them are where arithmetic breaks.
  return Chance(0.5) ? ExtremeNumbers[size_t(Int(0, 5))] : Pick(ExtremeNumbers);
}

std::string CommandGenerator::Number(int lo, int hi) {
  if (Chance(0.12)) return Extreme();
  if (Chance(0.08)) return std::to_string(Chance(0.5) ? lo : hi) ;
  if (Chance(0.04)) return std::to_string(Chance(0.5) ? (long long)lo - 1 : (long long)hi + 1);
  return std::to_string(Int(lo, hi));
}

int CommandGenerator::SessionLength() {
  // Some sessions first set a few options to extreme values, then play on with them.
  // One at a time, so that the fault of one option does not hide those of the others.
  extremeOptionsLeft_ = Chance(0.3) ? 1 : 0;
  // Some sessions play a work-sharing controller for most of their length.
  controllerSession_ = Chance(0.4);
  groupSet_ = false;
  runSearches_ = 0;
  return Chance(0.2) ? Int(2, 12) : Int(10, 120);
}

std::string CommandGenerator::RandomBytes(size_t length) {
  std::string s;
  for (size_t i = 0; i < length; ++i) {
    char c = char(Int(0, 255));
    if (c == '\n') c = ' ';
    s += c;
  }
  return s;
}

std::string CommandGenerator::Fen() {
  const int r = Int(0, 99);
  if (r < 60) return Pick(LegalFens);
  if (r < 78) return Pick(InconsistentFens);
  if (r < 86) return Pick(BadFens);
  // A legal FEN with a few characters changed.
  std::string fen = Pick(LegalFens);
  static const std::string alphabet = "pPnNbBrRqQkK12345678/ -wbKQkqa3";
  const int changes = Int(1, 3);
  for (int i = 0; i < changes && !fen.empty(); ++i) {
    const size_t at = size_t(Int(0, int(fen.size()) - 1));
    const int op = Int(0, 2);
    if (op == 0) fen[at] = alphabet[size_t(Int(0, int(alphabet.size()) - 1))];
    else if (op == 1) fen.erase(at, 1);
    else fen.insert(at, 1, alphabet[size_t(Int(0, int(alphabet.size()) - 1))]);
  }
  return fen;
}

// `count` random legal moves from `from`; with `cycle`, knights shuffle back
// and forth so that the line can grow as long as wanted.
std::string CommandGenerator::RandomMoves(const Position& from, int count, bool cycle) {
  std::string text;
  if (cycle) {
    static const char* const Shuffle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < count; ++i) text.append(" ").append(Shuffle[i % 4]);
    return text;
  }
  Position p = from;
  for (int i = 0; i < count; ++i) {
    if (!CheckPositionConsistency(p)) break;
    MoveList list;
    GenerateLegalMoves(p, list);
    if (list.size == 0) break;
    const Move m = list.moves[Int(0, list.size - 1)];
    text.append(" ").append(MoveToText(m));
    MakeRootMove(p, m);
    RebuildDerivedState(p);
  }
  return text;
}

// A move text for "play", "searchmoves" and the like: mostly legal here.
std::string CommandGenerator::SomeMoveText(const ProtocolModel& model) {
  const GameState& g = model.Game();
  if (g.Legal() && Chance(0.8)) {
    MoveList list;
    GenerateLegalMoves(g.position, list);
    if (list.size > 0) return MoveToText(list.moves[Int(0, list.size - 1)]);
  }
  static const std::vector<std::string> odd = {"e2e5", "a1a1", "zz99", "e7e8x", "0000", "e1g1", "E2E4", "e2",
                                               "h7h8q", "a2a1n", "e2e4e2e4", "null", "-", "e8c8"};
  return Pick(odd);
}

std::string CommandGenerator::PositionLine(const ProtocolModel& model) {
  std::string line = Chance(0.05) ? (Chance(0.5) ? "POSITION" : "Position") : "position";
  Position start;
  const bool fromStart = Chance(0.45);
  if (fromStart) {
    line += " startpos";
    SetPositionFromFen(start, StartFen);
  } else {
    const std::string fen = Fen();
    line += " fen " + fen;
    if (!SetPositionFromFen(start, fen.c_str())) SetPositionFromFen(start, StartFen);
  }
  (void)model;
  if (Chance(0.7)) {
    line += " moves";
    const int r = Int(0, 99);
    if (r < 85) {
      line += RandomMoves(start, Int(0, 40), false);
    } else if (r < 97) {
      line += RandomMoves(start, Int(100, 1500), true);
    } else {
      // Long enough to be cut by the engine's line cap, or just below it.
      line += RandomMoves(start, Chance(0.5) ? 200000 : 260000, true);
    }
    if (Chance(0.15)) {
      static const std::vector<std::string> odd = {" 0000", " e2e5", " zz", " a1a1", " moves e2e4", " E2E4",
                                                   " e7e8", " 0000 0000", "\te2e4"};
      line += Pick(odd);
    }
  }
  return line;
}

std::string CommandGenerator::GoLine(const ProtocolModel& model) {
  std::string line = "go";
  const int head = Int(0, 99);
  if (head < 6) line = "goe";
  else if (head < 8) line = Chance(0.5) ? "GO" : "Go";
  // Most front ends play on a clock: both clocks, maybe increments and moves to go,
  // often little time left.
  if (Chance(0.35)) {
    auto clock = [&]() { return Chance(0.15) ? Extreme() : std::to_string(Chance(0.45) ? Int(1, 300) : Int(300, 5000)); };
    line += " wtime " + clock() + " btime " + clock();
    if (Chance(0.4)) line += " winc " + Number(0, 100) + " binc " + Number(0, 100);
    // One move to the time control is common and the hardest case for the budget.
    if (Chance(0.3)) line += " movestogo " + (Chance(0.25) ? std::string("1") : Number(1, 40));
    if (Chance(0.15)) line += " ponder";
    return line;
  }
  const bool pending = Chance(0.2);
  std::vector<std::string> parts;
  bool bound = false;
  const int limits = Int(0, 3);
  for (int i = 0; i < limits; ++i) {
    switch (Int(0, 14)) {
      case 0: case 1: case 2:
        parts.push_back("depth " + (Chance(0.1) ? std::to_string(Int(1, 3)) + ",5" : Number(1, Chance(0.8) ? 3 : 4)));
        bound = true;
        break;
      case 3: case 4:
        parts.push_back("nodes " + Number(1, 10000));
        bound = true;
        break;
      case 5: case 6:
        parts.push_back("movetime " + Number(1, 50));
        bound = true;
        break;
      case 7: {
        std::string clock = "wtime " + Number(1, 3000) + " btime " + Number(1, 3000);
        if (Chance(0.5)) clock += " winc " + Number(0, 100) + " binc " + Number(0, 100);
        if (Chance(0.4)) clock += " movestogo " + Number(1, 40);
        parts.push_back(clock);
        bound = true;
        break;
      }
      case 8: parts.push_back("mate " + Number(1, 5)); break;
      case 9: parts.push_back("minscore " + Number(-300, 300)); break;
      case 10: parts.push_back("iternodes " + Number(1, 20000)); break;
      case 11: parts.push_back(Chance(0.5) ? "contempt " + Number(-100, 100) : "date " + Number(0, 3)); break;
      case 12: parts.push_back(Chance(0.5) ? "id " + Number(0, 100) : "playmode"); break;
      case 13: {
        std::string moves = "searchmoves";
        const int n = Int(1, 4);
        for (int k = 0; k < n; ++k) {
          moves += ' ';
          moves += SomeMoveText(model);
        }
        parts.push_back(moves);
        break;
      }
      case 14:
        if (Chance(0.3)) parts.push_back("slave " + Number(0, 3));
        break;
    }
  }
  if (pending) parts.push_back(Chance(0.55) ? "ponder" : "infinite");
  // Searches end by themselves within a moment, except those the fuzzer stops.
  if (!bound && !pending && Chance(0.95)) parts.push_back("depth " + std::to_string(Int(1, 3)));
  if (Chance(0.1)) std::shuffle(parts.begin(), parts.end(), rng_);
  for (const std::string& part : parts) line += " " + part;
  return line;
}

std::string CommandGenerator::SetOptionLine(bool extreme) {
  const OptionInfo& o = Pick(Options);
  if (extreme) {
    if (o.kind != OptionKind::Spin) return SetOptionLine(true);
    std::string line = std::string("setoption name ") + o.name + " value " + Extreme();
    // Some values act only behind a switch: turn it on too.
    const std::string name = o.name;
    if (name == "kvx5_randomizer_threshold") line = "setoption name kvx5_randomizer_mode value true\n" + line;
    if (name == "UCI_Elo") line = "setoption name UCI_LimitStrength value true\n" + line;
    return line;
  }
  std::string name = o.name;
  if (Chance(0.1)) std::transform(name.begin(), name.end(), name.begin(), [](char c) { return char(std::tolower(c)); });
  if (Chance(0.03)) std::transform(name.begin(), name.end(), name.begin(), [](char c) { return char(std::toupper(c)); });
  std::string line = "setoption name " + name;
  if (Chance(0.04)) return line;                   // no value at all
  if (Chance(0.03)) return line + " value";        // an empty one
  switch (o.kind) {
    case OptionKind::Spin:
      return line + " value " + Number(o.lo, o.hi);
    case OptionKind::Check:
      if (Chance(0.1)) return line + " value " + (Chance(0.5) ? "TRUE" : Extreme());
      return line + " value " + (Chance(0.5) ? "true" : "false");
    case OptionKind::Combo:
      if (Chance(0.15)) return line + " value " + (Chance(0.5) ? "Sometimes" : Extreme());
      return line + " value " + Pick(o.vars);
    case OptionKind::Button:
      return Chance(0.1) ? line + " value " + Extreme() : line;
    case OptionKind::Text: {
      static const std::vector<std::string> texts = {"fuzz.thf", "hash file.thf", "", "x", "tb;other",
                                                     "<empty>", "a\tb", "very long name " + std::string(300, 'n')};
      return line + " value " + Pick(texts);
    }
  }
  return line;
}

std::string CommandGenerator::LongLine() {
  const size_t length = Chance(0.7) ? size_t(Int(1000, 300000)) : size_t(Int(1200000, 3000000));
  switch (Int(0, 4)) {
    case 0: return RandomBytes(length);
    case 1: return "go" + std::string(length, ' ') + "depth 1";
    case 2: {
      std::string s = "setoption name NalimovPath value ";
      s.append(length, 'p');
      return s;
    }
    case 3: {
      std::string s = "go depth 1 searchmoves";
      while (s.size() < length) s += " e2e4 d2d4";
      return s;
    }
    default: return std::string(length, 'x');
  }
}

std::string CommandGenerator::Mutate(const std::string& line) {
  std::string s = line;
  switch (Int(0, 9)) {
    case 0:   // the keyword in capitals (the engine ignores their case)
      for (size_t i = 0; i < s.size() && s[i] != ' '; ++i) s[i] = char(std::toupper(static_cast<unsigned char>(s[i])));
      break;
    case 1: s += "\r"; break;
    case 2: s = " " + s; break;
    case 3:
      if (!s.empty()) {
        const int c = Int(1, 255);
        s.insert(size_t(Int(0, int(s.size()))), 1, char(c == '\n' ? 1 : c));
      }
      break;
    case 4:
      if (!s.empty()) s.resize(size_t(Int(0, int(s.size()) - 1)));
      break;
    case 5: {
      const size_t blank = s.rfind(' ');
      if (blank != std::string::npos) s = s.substr(0, blank + 1) + Extreme();
      break;
    }
    case 6: {
      const size_t blank = s.find(' ');
      if (blank != std::string::npos) s = s.substr(0, blank) + s.substr(blank) + s.substr(blank);
      break;
    }
    case 7: s += " " + RandomBytes(size_t(Int(1, 20))); break;
    case 8: {
      const size_t blank = s.find(' ');
      if (blank != std::string::npos) s.insert(blank, "\t");
      break;
    }
    default: s += "\r";   // CR LF line end
  }
  return s;
}

Step CommandGenerator::Command(const ProtocolModel& model) {
  Step step;
  std::string line;
  bool guarded = false;   // the engine accepts it only when no search runs
  const int r = Int(0, 999);
  if (r < 150) {
    line = PositionLine(model);
    guarded = true;
  } else if (r < 280) {
    line = GoLine(model);
    guarded = true;
  } else if (r < 330) {
    line = Chance(0.9) ? "stop" : "STOP";
  } else if (r < 360) {
    line = "ponderhit";
  } else if (r < 450) {
    line = "isready";
    step.awaitReady = Chance(0.85);
  } else if (r < 600) {
    line = SetOptionLine();
  } else if (r < 640) {
    static const std::vector<std::string> words = {"uci", "uci", "uci3", "kvx5", "hqz5", "UCI"};
    line = Pick(words);
  } else if (r < 700) {
    static const std::vector<std::string> words = {"d", "eval", "d", "eval", "d\r"};
    line = Pick(words);
    guarded = true;
  } else if (r < 735) {
    line = "perft " + (Chance(0.97) ? std::to_string(Int(1, 4)) : Chance(0.5) ? "5" : Extreme());
    guarded = true;
  } else if (r < 745) {
    line = Chance(0.95) ? "bench " + std::to_string(Int(1, 2)) : Chance(0.5) ? "bench" : "bench " + Extreme();
    guarded = true;
  } else if (r < 755) {
    line = Chance(0.8) ? "tt " + std::to_string(Int(1, 3)) : Chance(0.2) ? "tt" : "tt " + Extreme();
    guarded = true;
  } else if (r < 780) {
    line = "ucinewgame";
    guarded = true;
  } else if (r < 820) {
    line = "play " + SomeMoveText(model);
    guarded = true;
  } else if (r < 850) {
    const std::string where = Chance(0.5) ? "startpos" : "fen " + Fen();
    const std::string moves = Chance(0.5) ? " moves " + SomeMoveText(model) : "";
    line = Chance(0.5) ? "probe " + where + moves : "write " + Number(-9000, 9000) + " " + where + moves;
  } else if (r < 870) {
    static const std::vector<std::string> words = {"slave mode 1", "slave mode 0", "slave mode x", "deny",
                                                   "posted 1 e2e4", "take e2e4", "deny 3", "slave mode " };
    line = Pick(words);
    if (line == "slave mode ") line += Extreme();
    // Or a controller's run of searches, now and then also outside its sessions.
    if (Chance(controllerSession_ ? 0.8 : 0.3)) {
      runSearches_ = Int(1, 4);
      return ControllerStep(model);
    }
  } else if (r < 930) {
    const int k = Int(0, 7);
    if (k == 0) line = RandomBytes(size_t(Int(0, 200)));
    else if (k == 1) line = "";
    else if (k == 2) line = std::string(size_t(Int(1, 10)), ' ');
    else if (k == 3) line = Chance(0.5) ? "\r" : "\t";
    else if (k == 4) line = Chance(0.5) ? "go" : "po";
    else if (k == 5) line = LongLine();
    else if (k == 6) line = "quitting is not an option";   // quits: the prefix is enough
    else line = "isreadyx";
    if (k == 6 && Chance(0.9)) line = "isready";
  } else {
    step.before = Step::Before::Sleep;
    step.sleepMs = Chance(0.7) ? Int(1, 40) : Int(40, 300);
    line = "isready";
    step.awaitReady = true;
  }
  if (Chance(0.08) && line.size() < 5000) line = Mutate(line);
  line = MakeSafe(line);
  // Guarded commands wait until the engine is surely idle, except now and then
  // (the engine must cope; the fuzzer stops predicting its answers after that).
  if (guarded && model.FiniteWorkRunning() && Chance(0.97)) step.before = Step::Before::Settle;
  // Waiting for a readyok held behind a count that may never end would wait
  // for ever: such a count is stopped first (the settle sends the stop).
  if (step.awaitReady && (model.LongCountRunning() || (model.Desynced() && model.CountRunning())))
    step.before = Step::Before::Settle;
  step.bytes = line + "\n";
  return step;
}

Step CommandGenerator::Next(const ProtocolModel& model) {
  if (model.Desynced() && Chance(0.2)) {
    Step settle;
    settle.before = Step::Before::Settle;
    settle.bytes = "isready\n";
    settle.awaitReady = true;
    return settle;
  }
  if (extremeOptionsLeft_ > 0) {
    --extremeOptionsLeft_;
    Step step;
    for (std::string rest = SetOptionLine(true); !rest.empty();) {
      const size_t nl = rest.find('\n');
      step.bytes += MakeSafe(rest.substr(0, nl)) + "\n";
      rest = nl == std::string::npos ? "" : rest.substr(nl + 1);
    }
    return step;
  }
  // A search that waits for the front end gets its "stop" or "ponderhit" soon.
  if (model.PendingUnreleased() && Chance(0.35)) {
    Step step;
    // Sometimes long enough for the search to end by itself first.
    if (Chance(0.7)) {
      step.before = Step::Before::Sleep;
      step.sleepMs = Chance(0.7) ? Int(0, 30) : Int(30, 250);
    }
    step.bytes = Chance(0.6) ? "stop\n" : "ponderhit\n";
    return step;
  }
  if (controllerSession_ && !groupSet_) {
    // The engine and one child process searching along on a shared table.
    groupSet_ = true;
    Step step;
    step.bytes = "setoption name Max CPUs value 2\n";
    return step;
  }
  // Controller sessions start runs often; a run goes on while its search runs.
  if (controllerSession_ && runSearches_ == 0 && Chance(0.12)) runSearches_ = Int(1, 4);
  ProtocolModel::SearchView search;
  if (runSearches_ > 0 || (model.ActiveSearch(search) && search.slave > 0 && !search.stopped && Chance(0.7)))
    return ControllerStep(model);
  return Command(model);
}

// A move for "deny" or "take": mostly a root move the search may still hold,
// sometimes another legal move there, a spelling the engine also reads, or none.
std::string CommandGenerator::ControllerMoveText(const ProtocolModel::SearchView& search) {
  const int r = Int(0, 99);
  if (r < 78 && !search.candidates.empty()) return MoveToText(Pick(search.candidates));
  if (r < 88 && search.position) {
    MoveList list;
    GenerateLegalMoves(*search.position, list);
    if (list.size > 0) return MoveToText(list.moves[Int(0, list.size - 1)]);
  }
  if (r < 93 && !search.candidates.empty()) {
    std::string upper = MoveToText(Pick(search.candidates));
    upper[0] = char(std::toupper(static_cast<unsigned char>(upper[0])));
    return upper + (Chance(0.5) ? " x" : "");
  }
  static const std::vector<std::string> odd = {"", "0000", "a1a1", "e2e4q", "zz", "e7e8", "h7h8n", "e2e4e2e4", "-"};
  return Pick(odd);
}

// "posted depth score key move": a result for the table, mostly for the
// position searched or one a move or two further, sometimes for no position.
std::string CommandGenerator::PostedLine(const Position* root) {
  Position p;
  if (root) p = *root;
  else SetPositionFromFen(p, StartFen);
  const int plies = Int(0, 2);
  for (int i = 0; i < plies && CheckPositionConsistency(p); ++i) {
    MoveList list;
    GenerateLegalMoves(p, list);
    if (list.size == 0) break;
    MakeRootMove(p, list.moves[Int(0, list.size - 1)]);
    RebuildDerivedState(p);
  }
  std::string move = "e2e4";
  MoveList list;
  if (CheckPositionConsistency(p)) GenerateLegalMoves(p, list);
  if (list.size > 0 && Chance(0.8)) move = MoveToText(list.moves[Int(0, list.size - 1)]);
  else if (Chance(0.5)) move = Chance(0.5) ? "a1a1" : "0000";
  const uint64_t key = Chance(0.85) ? p.st.key : rng_();
  char text[160];
  std::snprintf(text, sizeof text, "posted %s %s %llx %s", Chance(0.9) ? std::to_string(Int(10, 70)).c_str() : Extreme().c_str(),
                Chance(0.9) ? std::to_string(Int(-600, 600)).c_str() : Extreme().c_str(), (unsigned long long)key,
                move.c_str());
  std::string line = text;
  if (Chance(0.05)) line = line.substr(0, line.rfind(' '));   // no move
  return line;
}

// "go ... slave N id J": a search that a controller shares out, ended by a
// depth, a node count, a move time or a clock, or waiting for stop/ponderhit.
std::string CommandGenerator::ControllerGoLine(const ProtocolModel& model) {
  std::vector<std::string> parts;
  const int r = Int(0, 99);
  auto clock = [&]() {
    std::string c = "wtime " + std::to_string(Int(1000, 20000)) + " btime " + std::to_string(Int(1000, 20000));
    if (Chance(0.4)) c += " winc " + std::to_string(Int(0, 300)) + " binc " + std::to_string(Int(0, 300));
    if (Chance(0.25)) c += " movestogo " + std::to_string(Int(1, 30));
    return c;
  };
  if (r < 24) parts.push_back("depth " + std::to_string(Chance(0.85) ? Int(2, 8) : Int(9, 11)));
  else if (r < 40) parts.push_back("movetime " + std::to_string(Int(20, 900)));
  else if (r < 50) parts.push_back("nodes " + std::to_string(Int(2000, 400000)));
  else if (r < 80) parts.push_back(clock());
  else if (r < 92) parts.push_back("infinite");
  else parts.push_back(Chance(0.6) ? clock() + " ponder" : "ponder");
  const int slave = Int(0, 99);
  if (slave < 45) parts.push_back("slave 1");
  else if (slave < 70) parts.push_back("slave 2");
  else if (slave < 83) parts.push_back("slave 3");
  else if (slave < 95) parts.push_back("slave 0");
  if (Chance(0.7)) parts.push_back("id " + (Chance(0.95) ? std::to_string(Int(0, 999)) : Extreme()));
  const GameState& g = model.Game();
  if (Chance(0.06) && g.Legal()) {
    MoveList list;
    GenerateLegalMoves(g.position, list);
    if (list.size > 1) {
      std::string moves = "searchmoves";
      const int n = Int(2, std::min(4, list.size));
      for (int i = 0; i < n; ++i) moves += " " + MoveToText(list.moves[Int(0, list.size - 1)]);
      parts.push_back(moves);
    }
  }
  if (Chance(0.3)) std::shuffle(parts.begin(), parts.end(), rng_);
  std::string line = Chance(0.12) ? "goe" : "go";
  for (const std::string& part : parts) line += " " + part;
  return line;
}

// One step of a controller's run: while its search runs, a line of the
// dialogue at a random moment; between searches, a few lines that prepare
// the next one, then its go line.
Step CommandGenerator::ControllerStep(const ProtocolModel& model) {
  Step step;
  ProtocolModel::SearchView search;
  if (model.ActiveSearch(search) && !search.stopped) {
    if (search.pending && Chance(0.25)) {
      step.before = Step::Before::Sleep;
      step.sleepMs = Chance(0.6) ? Int(0, 80) : Int(80, 600);
      step.bytes = Chance(0.6) ? "stop\n" : "ponderhit\n";
      return step;
    }
    if (!search.pending && Chance(0.2)) {
      // Let the search end on its own: a clocked one then owes its "taking".
      step.before = Step::Before::Answer;
      return step;
    }
    step.before = Step::Before::Sleep;
    step.sleepMs = Chance(0.6) ? Int(0, 60) : Int(60, 400);
    const int r = Int(0, 99);
    std::string line;
    if (r < 45) line = "deny " + ControllerMoveText(search);
    else if (r < 58) line = "take " + ControllerMoveText(search);
    else if (r < 76) line = PostedLine(search.position.get());
    else if (r < 82) line = "slave mode " + std::to_string(Int(0, 3));
    else if (r < 88) line = "setoption name MultiPV value " + std::to_string(Int(1, 4));
    else line = "isready";
    if (Chance(0.04)) line = Mutate(line);
    step.bytes = line + "\n";
    // An isready after the line shows when the engine has read it.
    if (line.rfind("isready", 0) != 0 && Chance(0.8)) step.bytes += "isready\n";
    step.awaitReady = Chance(0.3);
    return step;
  }
  if (runSearches_ <= 0) return Command(model);
  if (Chance(0.35)) {
    // Between searches: the dialect, a table entry, a move, a position.
    const int r = Int(0, 99);
    std::string line;
    if (r < 20) {
      line = "slave mode " + std::to_string(Int(0, 3));
    } else if (r < 45) {
      line = PostedLine(model.Game().Legal() ? &model.Game().position : nullptr);
    } else if (r < 70) {
      line = "play " + SomeMoveText(model);
    } else if (r < 85) {
      Position start;
      SetPositionFromFen(start, StartFen);
      line = "position startpos moves" + RandomMoves(start, Int(0, 24), false);
    } else {
      // Middlegames and endings, and a few positions with one or a handful of
      // moves, where denials empty the root table.
      static const std::vector<size_t> picks = {0, 1, 2, 3, 4, 5, 6, 16, 17, 0, 1, 16, 11, 15, 12, 13};
      const std::string fen = LegalFens[Pick(picks)];
      Position from;
      SetPositionFromFen(from, fen.c_str());
      line = "position fen " + fen + " moves" + RandomMoves(from, Int(0, 6), false);
    }
    step.bytes = line + "\n";
    if (model.WorkOutstanding()) step.before = Step::Before::Settle;
    return step;
  }
  --runSearches_;
  step.bytes = ControllerGoLine(model) + "\n";
  if (model.WorkOutstanding() && Chance(0.85)) step.before = Step::Before::Settle;
  step.checkChildCpu = Chance(0.4);
  return step;
}

Step CommandGenerator::End(const ProtocolModel& model) {
  Step step;
  if (Chance(0.4)) step.before = Step::Before::Settle;
  if (Chance(0.15)) {
    // The front end goes while a long command runs.
    static const std::vector<std::string> longCommands = {"perft 99\n", "perft 7\n", "bench 99\n", "bench\n",
                                                          "go infinite\n", "tt\n", "go depth 40\n", "goe\n"};
    step.before = Step::Before::Settle;
    step.bytes = Pick(longCommands);
    if (Chance(0.5)) step.bytes += Chance(0.8) ? "quit\n" : "QUIT\n";
    else step.endInput = true;
    return step;
  }
  const int r = Int(0, 99);
  if (r < 45) {
    static const std::vector<std::string> quits = {"quit\n", "quit\n", "quit\r\n", "QUIT\n", "quit now\n"};
    step.bytes = Pick(quits);
    // Now and then the line after the last command follows at once.
  } else if (r < 85) {
    step.endInput = true;
  } else if (r < 95) {
    // A last command without its line feed.
    const Step c = Command(model);
    step.bytes = c.bytes.substr(0, c.bytes.size() - 1);
    if (step.bytes.size() > 100) step.bytes.resize(100);
    step.endInput = true;
  } else {
    step.bytes = RandomBytes(size_t(Int(1, 64)));
    step.endInput = true;
  }
  return step;
}

}  // namespace fuzz
