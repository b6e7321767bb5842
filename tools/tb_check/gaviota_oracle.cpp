#include "tools/tb_check/gaviota_oracle.h"
#include <gtb-probe.h>

namespace tbcheck {

bool GaviotaOracle::Open(const std::string& dir) {
  paths_ = tbpaths_init();
  paths_ = tbpaths_add(paths_, dir.c_str());
  tb_init(0, tb_CP4, paths_);
  tbcache_init(32 * 1024 * 1024, 0);
  tbstats_reset();
  open_ = tb_is_initialized() && (tb_availability() & 1);
  return open_;
}

GaviotaOracle::~GaviotaOracle() {
  if (!paths_) return;
  tbcache_done();
  tb_done();
  paths_ = tbpaths_done(paths_);
}

nalimov::TableValue GaviotaOracle::Probe(const Men& men, Color stm, Square ep) const {
  if (!open_) return nalimov::TableValue::Unknown();
  static constexpr unsigned char Pieces[6] = {tb_PAWN, tb_KNIGHT, tb_BISHOP, tb_ROOK, tb_QUEEN, tb_KING};
  unsigned squares[2][7];
  unsigned char pieces[2][7];
  for (Color c : {White, Black}) {
    for (int i = 0; i < men.count[c]; ++i) {
      squares[c][i] = unsigned(men.square[c][i]);
      pieces[c][i] = Pieces[men.kind[c][i]];
    }
    squares[c][men.count[c]] = tb_NOSQUARE;
    pieces[c][men.count[c]] = tb_NOPIECE;
  }
  unsigned info = tb_UNKNOWN, plies = 0;
  const int ok = tb_probe_hard(stm == White ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE, ep < 0 ? unsigned(tb_NOSQUARE) : unsigned(ep),
                               tb_NOCASTLE, squares[White], squares[Black], pieces[White], pieces[Black], &info, &plies);
  if (!ok) return nalimov::TableValue::Unknown();
  if (info == tb_DRAW) return nalimov::TableValue::Draw();
  if (info != tb_WMATE && info != tb_BMATE) return nalimov::TableValue::Unknown();
  const bool stmWins = (info == tb_WMATE) == (stm == White);
  // A win takes an odd number of plies, a loss an even one; anything else is reported as it is.
  if (stmWins != (plies % 2 == 1)) return {stmWins ? nalimov::Outcome::Win : nalimov::Outcome::Loss, -int(plies)};
  return nalimov::TableValue::FromPlies(int(plies));
}

}  // namespace tbcheck
