// What a node teaches the move ordering: a quiet move that cut off becomes
// a killer and a counter move and gains history; the quiet moves tried
// before it lose history; an evasion that worked is remembered.
#pragma once
#include "search/ply_record.h"
#include "search/search.h"

// Move word without ordering bits: squares, classes, flags.
inline Move PlainMove(Move m) { return m & ~((Move(1) << 63) | (Move(1) << 39)); }
inline uint16_t ShortMove(Move m) { return uint16_t(m & 0xFDFF); }   // bits 0-15, bit 9 cleared

template <Color C>
void GoodQuietMove(SearchContext& s, PlyRecord& r, Move m, Move previous, int depth, HistoryKind kind);
template <Color C> void BadQuietMove(SearchContext& s, Move m, int depth, HistoryKind kind);
// A quiet evasion that refuted the previous move is tried early next time.
template <Color C> void GoodEvasion(SearchContext& s, Move m, Move previous);
