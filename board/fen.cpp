// FEN: the lexical check, the parser and the writer.
#include <cstring>
#include "board/castling_setup.h"
#include "board/position.h"
#include "common/output.h"

namespace {
bool StartsWithMovesWord(const char* s) {
  return (s[0] | 32) == 'm' && (s[1] | 32) == 'o' && (s[2] | 32) == 'v' && (s[3] | 32) == 'e' &&
         (s[4] | 32) == 's';
}
// Chess960 mode's castling field: X-FEN letters (K and Q name the outermost
// rook on their side of the king) and Shredder-FEN file letters (the rook's
// file, upper case for White), in any order. A letter that names no rook of
// the king's first rank on that side is left out: no right can come of it.
void ReadChess960Rights(Position& p, const char* s) {
  for (; *s && *s != ' ' && *s != '\t'; ++s) {
    const char c = *s;
    const bool upper = c >= 'A' && c <= 'Z';
    const char letter = upper ? c : char(c - 'a' + 'A');
    if (letter < 'A' || letter > 'Q') continue;
    const Color colour = upper ? White : Black;
    const int rank = colour == White ? 0 : 7;
    const PieceWord king = PieceWords[WhiteKing + colour], rook = PieceWords[WhiteRook + colour];
    int kingFile = -1, rookFile = -1;
    for (int f = 0; f < 8; ++f)
      if (p.board[MakeSquare(f, rank)] == king) kingFile = f;
    if (kingFile < 0) continue;
    if (letter == 'K') {
      for (int f = 7; f > kingFile && rookFile < 0; --f)
        if (p.board[MakeSquare(f, rank)] == rook) rookFile = f;
    } else if (letter == 'Q') {
      for (int f = 0; f < kingFile && rookFile < 0; ++f)
        if (p.board[MakeSquare(f, rank)] == rook) rookFile = f;
    } else if (letter <= 'H' && p.board[MakeSquare(letter - 'A', rank)] == rook) {
      rookFile = letter - 'A';
    }
    if (rookFile < 0 || rookFile == kingFile) continue;
    const int bit = CastlingRightIndex(colour, rookFile > kingFile);
    if (p.st.castling & (1u << bit)) continue;   // the first letter for a right holds
    p.st.castling |= 1u << bit;
    p.castlingRook[bit] = uint8_t(MakeSquare(rookFile, rank));
    p.castlingKing[colour] = uint8_t(MakeSquare(kingFile, rank));
  }
}

bool FenCharacterAllowed(char c) {
  return std::strchr("pPnNbBrRqQkK0123456789/-wWacdefghACDEFGH \t\r\n", c) != nullptr && c != '\0';
}
}  // namespace

// Lexical check: allowed characters only, a side field of w/b, at least four
// fields and exactly seven slashes. Stops at the end or at the word "moves".
bool ValidateFen(const char* text) {
  int separators = 0, slashes = 0;
  bool bad = false, inField = false, seenField = false;
  for (const char* s = text; *s && !StartsWithMovesWord(s); ++s) {
    char c = *s;
    if (c == ' ') {
      if (inField && seenField) ++separators;
      inField = false;
      continue;
    }
    inField = seenField = true;
    if (c == '/') ++slashes;
    if (!FenCharacterAllowed(c)) bad = true;
    if (separators == 1 && !std::strchr("wbWB", c)) bad = true;
  }
  if (bad || separators < 3 || slashes != 7) {
    InfoString("Invalid FEN string.");
    return false;
  }
  return true;
}

bool SetPositionFromFen(Position& p, const char* text) {
  if (!ValidateFen(text)) return false;
  std::memset(&p, 0, sizeof p);
  p.sideToMove = White;
  const char* s = text;
  while (*s == ' ' || *s == '\t') ++s;
  // Board: ranks 8 to 1; digits skip files, any other character fills one
  // file with the piece of its letter (or leaves it empty).
  for (int rank = 7; rank >= 0; --rank) {
    int file = 0;
    while (file < 8 && *s) {
      char c = *s++;
      if (c >= '1' && c <= '8') {
        file += c - '0';
      } else {
        p.board[MakeSquare(file, rank)] = PieceWords[CodeOfFenLetter(c)];
        ++file;
      }
    }
    if (*s) ++s;   // the '/' or the blank after the rank
  }
  while (*s == ' ') ++s;
  if (*s == 'b') p.sideToMove = Black;
  if (*s) ++s;
  while (*s == ' ') ++s;
  SetStandardCastlingSquares(p);
  if (Chess960Mode) {
    ReadChess960Rights(p, s);
  } else {
    if (*s == '-') ++s;
    const char order[4] = {'K', 'Q', 'k', 'q'};
    for (int bit = 0; bit < 4; ++bit)
      if (*s == order[bit]) {
        p.st.castling |= 1u << bit;
        ++s;
      }
  }
  FinishCastlingSetup(p);
  // En-passant field: the field after the castling field.
  while (*s && *s != ' ') ++s;
  while (*s == ' ') ++s;
  if (s[0] >= 'a' && s[0] <= 'h' && s[1] >= '1' && s[1] <= '8') {
    Square ep = MakeSquare(s[0] - 'a', s[1] - '1');
    Color us = p.sideToMove, them = Opponent(us);
    Square behind = ep ^ 8;
    // Kept only where a pawn of the side to move can really capture there.
    bool usable = RankOf(ep) == (us == White ? 5 : 2) && p.board[ep] == 0 &&
                  p.board[behind] == PieceWords[PawnType + them];
    if (usable) {
      usable = false;
      for (int df : {-1, 1}) {
        int f = FileOf(behind) + df;
        if (f >= 0 && f < 8 && p.board[MakeSquare(f, RankOf(behind))] == PieceWords[PawnType + us])
          usable = true;
      }
    }
    if (usable) p.st.epSquare = uint32_t(ep);
  }
  RebuildDerivedState(p);
  return true;
}

std::string FenPlacement(const char* letters) {
  std::string field;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const char c = letters[MakeSquare(file, rank)];
      if (!c) {
        ++empty;
        continue;
      }
      if (empty) field += char('0' + empty);
      empty = 0;
      field += c;
    }
    if (empty) field += char('0' + empty);
    if (rank) field += '/';
  }
  return field;
}

std::string PositionToFen(const Position& p) {
  char letters[64];
  for (Square s = 0; s < 64; ++s) {
    const int code = p.CodeAt(s);
    letters[s] = code ? PieceLetters[code] : 0;
  }
  std::string fen = FenPlacement(letters);
  fen += p.sideToMove == White ? " w " : " b ";
  if (!p.st.castling) fen += '-';
  const char rights[5] = "KQkq";
  for (int bit = 0; bit < 4; ++bit) {
    if (!(p.st.castling & (1u << bit))) continue;
    // Chess960 mode writes Shredder-FEN: the rook's file.
    const char file = char((bit < 2 ? 'A' : 'a') + FileOf(p.castlingRook[bit]));
    fen += Chess960Mode ? file : rights[bit];
  }
  fen += ' ';
  if (p.st.epSquare) {
    fen += char('a' + FileOf(p.st.epSquare));
    fen += char('1' + RankOf(p.st.epSquare));
  } else {
    fen += '-';
  }
  return fen;
}
