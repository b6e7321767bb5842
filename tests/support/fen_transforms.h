// Positions transformed by the board's symmetries, for tests that expect the
// engine to treat both colours, and both wings, alike.
#pragma once
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>

inline char SwapCase(char c) { return std::isupper(c) ? char(std::tolower(c)) : char(std::toupper(c)); }

// Board mirrored top to bottom, colours and side to move exchanged.
inline std::string ColourFlipped(const std::string& fen) {
  std::istringstream in(fen);
  std::string board, side, castle, ep, flipped, rights;
  in >> board >> side >> castle >> ep;
  std::stringstream ranks(board);
  for (std::string rank; std::getline(ranks, rank, '/');) {
    std::transform(rank.begin(), rank.end(), rank.begin(), SwapCase);
    if (!flipped.empty()) rank.push_back('/');
    flipped.insert(0, rank);
  }
  for (char c : std::string("KQkq"))
    if (castle.find(SwapCase(c)) != std::string::npos) rights += c;
  if (ep != "-") ep[1] = char('1' + ('8' - ep[1]));
  return flipped + (side == "w" ? " b " : " w ") + (rights.empty() ? "-" : rights) + " " + ep;
}

// Board mirrored left to right (files a..h exchanged); no castling rights.
inline std::string WingMirrored(const std::string& fen) {
  std::istringstream in(fen);
  std::string board, side, castle, ep, mirrored;
  in >> board >> side >> castle >> ep;
  std::stringstream ranks(board);
  for (std::string rank; std::getline(ranks, rank, '/');) {
    if (!mirrored.empty()) mirrored.push_back('/');
    mirrored.append(rank.rbegin(), rank.rend());
  }
  if (ep != "-") ep[0] = char('a' + ('h' - ep[0]));
  return mirrored + " " + side + " - " + ep;
}

// A move in coordinate notation ("e2e4", "a7a8q") seen from the other side.
inline std::string ColourFlippedMove(std::string move) {
  if (move.size() >= 4) {
    move[1] = char('1' + ('8' - move[1]));
    move[3] = char('1' + ('8' - move[3]));
  }
  return move;
}
