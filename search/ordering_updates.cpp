#include "search/ordering_updates.h"

template <Color C>
void GoodQuietMove(SearchContext& s, PlyRecord& r, Move m, Move previous, int depth, HistoryKind kind) {
  const uint16_t shortMove = ShortMove(m);
  if (previous) {
    uint16_t* counter = s.ordering.counterMoves[C][previous & 511];
    if (counter[0] != shortMove) {
      counter[1] = counter[0];
      counter[0] = shortMove;
    }
  }
  if (!SameMove(r.killers[0], m)) {
    r.killers[1] = r.killers[0];
    r.killers[0] = PlainMove(m) & 0xFFFFFFFF0001FFFFULL;   // squares, mover, Chess960 castling bit, high word
  }
  uint16_t& h = HistoryOf(s.ordering, C, kind, m);
  h = uint16_t(h + ((MaxHistory - h) * HistoryWeight(depth)) / HistoryWeightScale);
}

template <Color C> void BadQuietMove(SearchContext& s, Move m, int depth, HistoryKind kind) {
  uint16_t& h = HistoryOf(s.ordering, C, kind, m);
  h = uint16_t(h - (h * HistoryWeight(depth)) / HistoryWeightScale);
}

template <Color C> void GoodEvasion(SearchContext& s, Move m, Move previous) {
  uint16_t* slot = s.ordering.evasions[C][previous & 511];
  if (slot[0] != ShortMove(m)) {
    slot[1] = slot[0];
    slot[0] = ShortMove(m);
  }
}

template void GoodQuietMove<White>(SearchContext&, PlyRecord&, Move, Move, int, HistoryKind);
template void GoodQuietMove<Black>(SearchContext&, PlyRecord&, Move, Move, int, HistoryKind);
template void BadQuietMove<White>(SearchContext&, Move, int, HistoryKind);
template void BadQuietMove<Black>(SearchContext&, Move, int, HistoryKind);
template void GoodEvasion<White>(SearchContext&, Move, Move);
template void GoodEvasion<Black>(SearchContext&, Move, Move);
