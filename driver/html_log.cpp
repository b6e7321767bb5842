// The HTML log: a page per session with the system, a board diagram per
// search and one line per result of the search (depth, score, time and the
// variation in figurine notation). Pieces are the Unicode chess symbols,
// written as character references so that the page reads the same whatever
// encoding a browser assumes, and drawn by the fonts every desktop has.
#include <cinttypes>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include "board/log_notation.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "common/bitops.h"
#include "common/output.h"
#include "driver/engine.h"
#include "driver/logs.h"
#include "platform/platform.h"
#include "platform/system_info.h"

namespace {
struct HtmlLogState {
  std::FILE* file = nullptr;
  std::string pendingLine;       // a result line younger than 200 ms
  std::string pendingFailLow;
  Move failLowMove = 0;
  int failLowDepth = 0;
  int deepestShown = 0;          // plies; a deeper line writes its depth
  int deepestBeforePending = 0;  // restored when the pending line is dropped
};
HtmlLogState Html;

constexpr uint64_t LastingLineMs = 200;


void WriteText(const std::string& text) { std::fputs(text.c_str(), Html.file); }


int PliesShown(const RootMove& rm) { return PliesOfDepthUnits(rm.depth); }

std::string DepthCell(int plies, bool show) {
  return show ? FormatText("<font style=\"width:35px\">%d</font>", plies)
              : "<font style=\"width:35px\"></font>";
}

std::string ScoreCell(int whiteScore) {
  if (whiteScore >= -MaxOrdinaryScore && whiteScore <= MaxOrdinaryScore) {
    const int a = std::abs(whiteScore);
    return FormatText("<font style=\"width:76px\">%s%d.%02d</font>", whiteScore < 0 ? "-" : "+", a / 100,
                      a % 100);
  }
  // Moves to mate as in the protocol's "mate" score: 8159 (mate with the next move) is #1.
  const int moves = whiteScore > 0 ? (MateScore - whiteScore) / 2 + 1 : (-MateScore - whiteScore) / 2;
  return FormatText("<font style=\"width:76px\">#%d</font>", moves);
}

std::string TimeCell(uint64_t ms) {
  const uint64_t t = ms / 1000;
  std::string text = "<font style=\"width:76px\">";
  if (t >= 3600)
    text += FormatText("%d:%02d:%02d", int(t / 3600), int(t / 60 % 60), int(t % 60));
  else
    text += FormatText("%d:%02d", int(t / 60), int(t % 60));
  return text + "</font>";
}

// Full-move number of the root: the moves since the position's FEN, counted
// so that the side to move comes out right whoever moved first.
int RootMoveNumber(const Position& root) {
  int plies = Engine.gamePlies;
  if ((plies & 1) != (root.sideToMove == Black)) ++plies;
  return plies / 2 + 1;
}

void WritePending(std::string& line) {
  if (line.empty()) return;
  WriteText(line);
  line.clear();
}

// The chess symbols by colour and piece (pawn, knight, bishop, rook, queen,
// king): White's outlined, Black's filled. The black pawn alone also has an
// emoji form; the text-style selector after it keeps it a plain glyph.
constexpr const char* PieceSymbol[2][6] = {
    {"&#9817;", "&#9816;", "&#9815;", "&#9814;", "&#9813;", "&#9812;"},
    {"&#9823;&#65038;", "&#9822;", "&#9821;", "&#9820;", "&#9819;", "&#9818;"}};

// The notation's piece letters ("i".."n" White's pawn to king, "I".."N"
// Black's) as symbols; every other character stays as it is.
std::string Figurines(const std::string& text) {
  static constexpr std::string_view order = "ikjlmn";   // pawn, knight, bishop, rook, queen, king
  std::string out;
  for (const char c : text) {
    const size_t piece = order.find(char(std::tolower(static_cast<unsigned char>(c))));
    if (piece == std::string_view::npos) out += c;
    else out += PieceSymbol[std::isupper(static_cast<unsigned char>(c)) ? Black : White][piece];
  }
  return out;
}

// Surplus men of one side as symbols: queens, rooks, bishops, knights, pawns.
std::string MaterialSurplus(const Position& p, Color side) {
  static const int types[5] = {QueenType, RookType, BishopType, KnightType, PawnType};
  static const int symbols[5] = {4, 3, 2, 1, 0};
  std::string text;
  for (int i = 0; i < 5; ++i) {
    const int surplus = PopCount(p.Pieces(side, types[i])) - PopCount(p.Pieces(Opponent(side), types[i]));
    for (int k = 0; k < surplus; ++k) text += PieceSymbol[side][symbols[i]];
  }
  return text;
}
}  // namespace

bool HtmlLogOpen() { return Html.file != nullptr; }

std::string HtmlTitleSuffix(const std::string& commandLine) {
  std::string buffer = " ";
  bool afterFullStop = false;   // an extension or a dotted directory: ignored up to the next separator
  for (size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (c == '\\' || c == '/') {
      buffer.assign(1, ' ');
      afterFullStop = false;
    } else if (afterFullStop || c == ' ') {
      continue;
    } else if (c == '.') {
      afterFullStop = true;
    } else if (WordTolvoAt(commandLine, i)) {
      buffer.assign(1, ' ');
      i += 4;
    } else {
      buffer += c;
    }
  }
  return buffer == " " ? "" : buffer;
}

std::string HtmlVariationText(const Position& root, const std::string& pv, int firstMoveNumber) {
  Position p = root;
  std::string text;
  int number = firstMoveNumber;
  bool first = true;
  size_t i = 0;
  while (i < pv.size() && p.st.historyCount + 1 < HistorySize) {
    const size_t start = pv.find_first_not_of(' ', i);
    if (start == std::string::npos) break;
    size_t end = pv.find(' ', start);
    if (end == std::string::npos) end = pv.size();
    i = end;
    const Move m = FindLegalMove(p, pv.substr(start, end - start).c_str());
    if (!m) break;
    const Color mover = p.sideToMove;
    UndoRecord undo;
    MakeMoveOfSideToMove(p, undo, m);
    if (mover == White || first) text += FormatText("<font style=\"width:40px\">%d.</font>", number);
    if (mover == Black && first) text += "<font style=\"width:66px\">...</font>";
    text += "<font style=\"width:66px\">" + Figurines(MoveToLogText(p, m, mover)) + "</font>";
    if (mover == Black) ++number;
    first = false;
  }
  return text;
}

void OpenHtmlLog() {
  if (Html.file) return;
  const std::string date = LogDateText();
  const std::string name =
      FirstFreeLogName([&](int i) { return FormatText("log.%s.%d.html", date.c_str(), i); });
  const std::string suffix = HtmlTitleSuffix(platform::CommandLine());
  Html = HtmlLogState{};
  Html.file = std::fopen(name.c_str(), "w");
  if (!Html.file) return;
  WriteText(FormatText("<HTML><HEAD><TITLE>Tolvo%s, %s</TITLE>\n", suffix.c_str(),
                       platform::LocalTimeText().c_str()));
  WriteText("</HEAD>\n");
  WriteText("<BODY style=\"font-family:Chess Alpha 2;font-size:18px\">\n");
  WriteText("<BODY>\n");
  WriteText(FormatText(
      "<font style=\"font-family:Times New Roman;font-size:14px\">The pieces of this log are the Unicode "
      "chess symbols, which the common desktop fonts draw. If they show as empty boxes, install such a "
      "font, for example DejaVu Sans (Debian's package fonts-dejavu-core), from "
      "<a href=\"%s\">%s</a>",
      ChessFontAddress, ChessFontAddress));
  WriteText("</font><br><br>\n");
  const platform::CpuDescription cpu = platform::ReadCpuDescription();
  const std::string mhz = cpu.mhz > 0 ? FormatText("%d MHz", cpu.mhz) : "";
  uint64_t total = 0, available = 0;
  platform::ReadMemoryStatus(total, available);
  WriteText(FormatText(
      "<font style=\"font-family:Times New Roman;font-size:18px\">%d processors, %s, %s, %s, %" PRId64
      " mb RAM</font><br><br>\n",
      platform::ProcessorCount(), platform::ArchitectureText().c_str(), cpu.modelName.c_str(), mhz.c_str(),
      int64_t(total / 1024 / 1024)));
  // The result cells are fixed-width "font" elements; today's browsers give
  // an inline element no width, so the cells would run together without this.
  // The board's cells: squares of one size, light (.l) and dark (.d), and
  // the frame (.f) that carries the file letters. Its rows align at their tops,
  // so that the text beside a row does not open a gap in the board.
  WriteText(
      "<STYLE>font{display:inline-block}\n"
      "font[style=\"font-size:16px\"]{vertical-align:top}\n"
      "span.l,span.d,span.f{display:inline-block;width:26px;height:26px;line-height:26px;text-align:center;"
      "vertical-align:top;font-family:'DejaVu Sans',sans-serif;font-size:22px}\n"
      "span.l{background:#f0d9b5}span.d{background:#b58863}\n"
      "span.f{background:#6b4a2e;color:#f0d9b5;font-size:13px;width:14px}\n"
      "</STYLE>\n");
  std::fflush(Html.file);
}

void CloseHtmlLog() {
  if (!Html.file) return;
  FlushHtmlLines();   // a line still waiting when the log closes mid-search
  WriteText("\n</BODY></HTML>\n");
  std::fclose(Html.file);
  Html.file = nullptr;
}

void CloseLogs() {
  CloseTextLog();
  CloseHtmlLog();
}

void WriteHtmlPvLine(const RootMove& rm, const Position& root) {
  if (!Html.file) return;
  const bool lasting = rm.time >= LastingLineMs;
  if (lasting) WritePending(Html.pendingLine);
  else if (!Html.pendingLine.empty())
    Html.deepestShown = Html.deepestBeforePending;  // its depth never showed
  Html.pendingLine.clear();
  // A fail-low line stays only when the move that failed low lost its place.
  if (!Html.pendingFailLow.empty() && !SameMove(rm.move, Html.failLowMove)) {
    if (Html.failLowDepth > Html.deepestShown) Html.deepestShown = Html.failLowDepth;
    WriteText(Html.pendingFailLow);
  }
  Html.pendingFailLow.clear();

  const int plies = PliesShown(rm);
  Html.deepestBeforePending = Html.deepestShown;
  const bool deeper = plies > Html.deepestShown;
  if (deeper) Html.deepestShown = plies;
  std::string line = DepthCell(plies, deeper);
  line += ScoreCell(root.sideToMove == White ? rm.score : -rm.score);
  line += TimeCell(rm.time);
  line += HtmlVariationText(root, rm.pv, RootMoveNumber(root)) + "<br>\n";
  if (lasting) {
    WriteText(line);
    std::fflush(Html.file);
  } else {
    Html.pendingLine = std::move(line);
  }
}

void WriteHtmlFailLowLine(const RootMove& rm, const Position& root) {
  if (!Html.file) return;
  const int plies = PliesShown(rm);
  Html.failLowMove = rm.move;
  Html.failLowDepth = plies;
  const int a = std::abs(rm.score);
  std::string line = DepthCell(plies, plies > Html.deepestShown);
  line +=
      FormatText("<font style=\"width:76px\">%s%d.%02d--</font>", rm.score < 0 ? "-" : "+", a / 100, a % 100);
  line += TimeCell(rm.time);
  line += HtmlVariationText(root, rm.pv, RootMoveNumber(root)) + "<br>\n";
  Html.pendingFailLow = std::move(line);
}

void FlushHtmlLines() {
  if (!Html.file) return;
  WritePending(Html.pendingLine);
  WritePending(Html.pendingFailLow);
  std::fflush(Html.file);
  Html.deepestShown = Html.deepestBeforePending = 0;   // the next search shows its depths anew
}

// The board: a row of cells per rank, each square a light or dark cell with
// the symbol of its man, framed left and right by a narrow frame cell; a frame
// row above and, below, one that carries the file letters. The surplus men of
// either side stand beside its back rank.
void WriteHtmlBoard(const Position& p) {
  if (!Html.file) return;
  static const int typeIndex[14] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
  const std::string open = "<font style=\"font-size:16px\">", close = "</font>";
  const std::string frame = "<span class=\"f\"></span>";
  WriteText(open + "<span class=\"f\" style=\"width:236px;height:8px\"></span>" + close + "<br>\n");
  for (int rank = 7; rank >= 0; --rank) {
    std::string row = open + "<span class=\"f\">" + char('1' + rank) + "</span>";
    for (int file = 0; file < 8; ++file) {
      const Square s = MakeSquare(file, rank);
      const int code = p.CodeAt(s);
      const bool isLight = (file + rank) % 2 == 1;
      row += isLight ? "<span class=\"l\">" : "<span class=\"d\">";
      if (code) row += PieceSymbol[ColorOf(code)][typeIndex[code]];
      row += "</span>";
    }
    row += frame + close;
    if (rank == 7) row += "&#160;" + MaterialSurplus(p, Black);
    if (rank == 0) row += "&#160;" + MaterialSurplus(p, White);
    WriteText(row + "<br>\n");
  }
  const std::string corner = "<span class=\"f\" style=\"height:18px\"></span>";
  std::string letters = open + corner;
  for (char c = 'a'; c <= 'h'; ++c)
    letters += std::string("<span class=\"f\" style=\"width:26px;height:18px;line-height:18px\">") + c + "</span>";
  WriteText(letters + corner + close + "<br><br>\n");
  std::fflush(Html.file);
}
