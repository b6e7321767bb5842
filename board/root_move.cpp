// Moves of the front end ("position ... moves", "play") and the key history.
#include <algorithm>
#include <cstring>
#include "board/make_move.h"

namespace {
// Keys kept when the history is trimmed. Any count of 100 or more keeps the
// fifty-move rule's verdict, and no repetition lies further back than that.
constexpr uint32_t KeptHistory = 320;
// Trim before this many keys so that a search path of any allowed depth fits.
constexpr uint32_t TrimThreshold = HistorySize - 320;
}  // namespace

void TrimHistory(Position& p) {
  StateBlock& st = p.st;
  if (st.historyCount <= TrimThreshold) return;
  if (st.fifty > KeptHistory) st.fifty = KeptHistory;
  uint32_t keep = std::min(st.fifty, st.historyCount);
  std::memmove(p.history, p.history + (st.historyCount - keep), keep * sizeof(uint64_t));
  st.historyCount = keep;
}

void MakeRootMove(Position& p, Move m) {
  TrimHistory(p);
  StateBlock& st = p.st;
  const Color us = p.sideToMove, them = Opponent(us);
  p.history[st.historyCount++] = st.key;
  if (st.epSquare) {
    st.key ^= Keys.enPassant[FileOf(st.epSquare)];
    st.epSquare = 0;
  }
  if (m == NullRootMove) {
    st.fifty = 0;
  } else {
    const Square from = FromSquare(m), to = ToSquare(m);
    uint32_t kept = st.castling & CastlingRightsMask[from] & CastlingRightsMask[to];
    if (uint32_t lost = st.castling ^ kept) {
      st.key ^= Keys.castling[lost];
      st.pawnKey ^= Keys.castling[lost];
      st.pstSum += uint64_t(CastlingLossDelta[lost]);
      st.castling = kept;
    }
    st.fifty++;
    const PieceWord moverWord = p.board[from];
    const int mover = CodeOfWord(moverWord);
    st.key ^= PieceSquareKey(mover, from) ^ PieceSquareKey(mover, to);
    p.board[from] = 0;
    const int captured = p.CodeAt(to);
    st.captured = uint32_t(captured);
    const bool castling = us == White ? IsCastling<White>(m) : IsCastling<Black>(m);
    if (captured) {
      st.key ^= PieceSquareKey(captured, to);
      st.fifty = 0;
    } else if (castling && TypeOf(mover) == KingType) {
      st.fifty = 0;
      const bool kingSide = (to & 4) != 0;
      const Square rookFrom = kingSide ? to + 1 : to - 2, rookTo = kingSide ? to - 1 : to + 1;
      p.board[rookTo] = p.board[rookFrom];
      p.board[rookFrom] = 0;
      st.key ^= CastlingRookKey[us][kingSide];
    }
    p.board[to] = moverWord;
    if (TypeOf(mover) == PawnType) {
      st.fifty = 0;
      const bool promotion = us == White ? IsPromotion<White>(m) : IsPromotion<Black>(m);
      if (IsEnPassant(m)) {
        const Square victim = to ^ 8;
        const int victimCode = p.CodeAt(victim);
        if (victimCode) st.key ^= PieceSquareKey(victimCode, victim);
        p.board[victim] = 0;
        st.captured = uint32_t(victimCode);
      } else if (promotion) {
        int promoted = PromotionCode[us][PromotionIndex(m)];
        if (TypeOf(promoted) < KnightType) promoted = QueenType + us;   // no piece named: a queen
        p.board[to] = PieceWords[promoted];
        st.key ^= PieceSquareKey(mover, to) ^ PieceSquareKey(promoted, to);
      } else if ((from ^ to) == 16 && (RankNeighbours[to] & p.pieces[WhitePawn + them])) {
        st.epSquare = uint32_t((from + to) / 2);
        st.key ^= Keys.enPassant[FileOf(st.epSquare)];
      }
    }
  }
  p.sideToMove = them;
  st.key ^= SideKey;
}
