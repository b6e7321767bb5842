// Piece codes, piece classes and the per-square piece words.
#pragma once
#include "common/types.h"

// Piece codes: colour in bit 0 (0 = White), colourless type in code & 14.
constexpr int NoPiece = 0,
  WhitePawn = 2, BlackPawn = 3,
  WhiteKnight = 4, BlackKnight = 5,
  WhiteBishop = 6, BlackBishop = 7,
  WhiteRook = 8, BlackRook = 9,
  WhiteQueen = 10, BlackQueen = 11,
  WhiteKing = 12, BlackKing = 13;
constexpr int PawnType = 2, KnightType = 4, BishopType = 6, RookType = 8, QueenType = 10, KingType = 12;

constexpr int MakePiece(Color c, int type) { return type | int(c); }
constexpr Color ColorOf(int code) { return Color(code & 1); }
constexpr int TypeOf(int code) { return code & 14; }

// Piece classes as carried inside moves and piece words.
enum PieceClass : int { NoClass = 0, KnightClass = 1, BishopClass = 2, PawnClass = 3,
                        KingClass = 4, QueenClass = 5, RookClass = 6 };

// The fixed board word of every piece. Low word: bits 0-3 code, 4-5 colour mask,
// 6-8 class, bit 17 always set, 21-26 one-hot class flag, 27-29 class again.
// High word: one victim-ordering bit per class (VictimOrderingBits of a move).
constexpr PieceWord WhitePawnWord = 0x101980001C0280D2ULL;
constexpr PieceWord WhiteKnightWord = 0x106980000A1F8054ULL;
constexpr PieceWord WhiteBishopWord = 0x11298000111F8096ULL;
constexpr PieceWord WhiteRookWord = 0x1A298000309B8198ULL;
constexpr PieceWord WhiteQueenWord = 0x322980002847815AULL;
constexpr PieceWord WhiteKingWord = 0x10018000202F811CULL;
constexpr PieceWord BlackWordDelta = 0x11;

// Indexed by piece code; entries 0, 1, 14 and 15 are empty.
constexpr PieceWord PieceWords[16] = {
  0, 0,
  WhitePawnWord, WhitePawnWord + BlackWordDelta,
  WhiteKnightWord, WhiteKnightWord + BlackWordDelta,
  WhiteBishopWord, WhiteBishopWord + BlackWordDelta,
  WhiteRookWord, WhiteRookWord + BlackWordDelta,
  WhiteQueenWord, WhiteQueenWord + BlackWordDelta,
  WhiteKingWord, WhiteKingWord + BlackWordDelta,
  0, 0
};

constexpr int CodeOfWord(PieceWord w) { return int(w & 15); }
constexpr int ClassOfWord(PieceWord w) { return int((w >> 6) & 7); }

// Piece code -> class, and class -> colourless type.
constexpr int ClassOfCode[16] = {0, 0, 3, 3, 1, 1, 2, 2, 6, 6, 5, 5, 4, 4, 0, 0};
constexpr int TypeOfClass[8] = {0, KnightType, BishopType, PawnType, KingType, QueenType, RookType, 0};

// FEN letter of each code, and the code of a FEN letter (0 for anything else).
constexpr char PieceLetters[17] = "..PpNnBbRrQqKk..";
int CodeOfFenLetter(char c);
