#include "tbgen/usage.h"

namespace tbgen {

const char* UsageText() {
  return R"(tolvo-tbgen: Nalimov endgame tablebases for the Tolvo engine

Generating
  tolvo-tbgen [-o DIR] [--threads N] [--verify] [--compress] ENDGAME...
  tolvo-tbgen [-o DIR] [--threads N] [--verify] [--compress] --all N

  ENDGAME is a table name as the format lists it: "k", White's men in the
  order q r b n p, "k", Black's men (kqkr, krpkr, kbnkn). The stronger side
  comes first: kqkr holds White K+Q against K+R and, with colours exchanged,
  Black K+Q against K+R. Named endgames are always generated; the tables they
  lead into by captures and promotions are generated first when DIR does not
  have them yet. --all N generates every table of up to N men that DIR does
  not have, smaller ones first (run it again to resume).

  -o DIR        output directory (default: the current one); created if needed
  --threads N   threads for the passes (default: every processor)
  --verify      re-read each written table and check every position against
                its moves (captures and promotions read from the smaller tables)
  --verify-only check the named tables that DIR already holds, generate nothing
                (with --compress, then also write their compressed form)
  --compress    also write each file block-compressed (<name>.nbw.emd ...),
                checked by decoding every block again
  -q, --quiet   no progress line on standard error
  -h, --help    this text

  Each table is written as <name>.nbw (White to move) and <name>.nbb (Black
  to move; symmetric tables such as krkr have only .nbw), one signed byte per
  entry. Files appear under their final names only when complete: an
  interrupted run or a full disk leaves no partial file. A table that does
  not fit in the available memory is refused with the amount it needs.

Where to put the files
  The engine looks in /usr/local/share/tolvo/tb and /usr/share/tolvo/tb, or
  in the directories given to its NalimovPath option (separated by ";"):
    sudo tolvo-tbgen -o /usr/local/share/tolvo/tb --all 4
  or, for example,  setoption name NalimovPath value /home/me/tb

Sizes and times (2 cores)
  All 3- and 4-man tables: 35 tables, 137 MB, about a minute.
  5-man tables: 30 to 600 MB each; krpkr with its smaller tables present
  takes minutes and needs about 1.7 GB of memory.

Looking positions up
  tolvo-tbgen --index ["FEN" ...]
      the file and entry that hold each position, like "kqkr.nbb 1437397"
      (colours exchanged and en passant as the engine reads them)
  tolvo-tbgen --probe DIR ["FEN" ...]
      what DIR's files hold: "mate in N", "mated in N", "draw" or "unknown"
  Without a FEN both read FENs from standard input, one per line, and answer
  one line each. Any material up to six men.
)";
}

}  // namespace tbgen
