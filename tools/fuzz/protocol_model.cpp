#include "tools/fuzz/protocol_model.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "common/bitops.h"
#include "common/leading_number.h"

namespace fuzz {

namespace {
// Case-insensitive prefix test at the start of the line, as the engine's dispatch makes it.
bool HasPrefix(const std::string& line, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (line.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != prefix[i]) return false;
  return true;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::string> Split(const std::string& s, const char* separators) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < s.size()) {
    i = s.find_first_not_of(separators, i);
    if (i == std::string::npos) break;
    size_t end = s.find_first_of(separators, i);
    if (end == std::string::npos) end = s.size();
    tokens.push_back(s.substr(i, end - i));
    i = end;
  }
  return tokens;
}

std::string FirstWord(const std::string& line) {
  const std::vector<std::string> words = Split(line, " \t\r");
  return words.empty() ? std::string() : words[0];
}

int32_t ReadInt32(const std::string& token) {
  const long long v = std::strtoll(token.c_str(), nullptr, 10);
  return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Shortened copy of a line for messages.
std::string Shown(const std::string& line) {
  std::string s;
  for (char c : line.substr(0, 160)) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 32 && u < 127) {
      s += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      s += hex;
    }
  }
  if (line.size() > 160) s += "... (" + std::to_string(line.size()) + " bytes)";
  return s;
}

// The legal move of `p` whose text is exactly `text` (the engine prints moves canonically).
Move ExactMove(const Position& p, const std::string& text) {
  const Move m = FindLegalMove(p, text.c_str());
  return m && MoveToText(m) == text ? m : 0;
}

void PlayOn(Position& p, Move m) {
  MakeRootMove(p, m);
  RebuildDerivedState(p);
}

bool HasLegalMove(const Position& p) {
  MoveList list;
  GenerateLegalMoves(p, list);
  return list.size > 0;
}

int LegalMoveCount(const Position& p) {
  MoveList list;
  GenerateLegalMoves(p, list);
  return list.size;
}

bool InList(const std::vector<Move>& moves, Move m) {
  for (Move x : moves)
    if (SameMove(x, m)) return true;
  return false;
}

int Material(const Position& p) {
  auto both = [&](int type) { return PopCount(p.Pieces(White, type) | p.Pieces(Black, type)); };
  return 9 * both(QueenType) + 5 * both(RookType) + 3 * (both(KnightType) + both(BishopType));
}

// The one-line answer of a "goe" search: move, nodes, depth, score, material.
bool LooksLikeGoeAnswer(const std::string& line) {
  const std::vector<std::string> t = Split(line, " ");
  if (t.size() != 5 || !AllDigits(t[1])) return false;
  const std::string& m = t[0];
  return m == "0000" || ((m.size() == 4 || m.size() == 5) && m[0] >= 'a' && m[0] <= 'h' && m[1] >= '1' && m[1] <= '8');
}

// Boards the move generator can walk without leaving its tables: one king a
// side, no pawn on the first or last rank, no more men than a game can have.
// (Boards that fail the consistency check in other ways, say with the side
// not to move in check, are still looked at by the engine's "position".)
bool SafeForMoveGeneration(const Position& p) {
  if (PopCount(p.pieces[WhiteKing]) != 1 || PopCount(p.pieces[BlackKing]) != 1) return false;
  if ((p.pieces[WhitePawn] | p.pieces[BlackPawn]) & (RankBits(0) | RankBits(7))) return false;
  for (Color c : {White, Black})
    if (PopCount(p.ColorPieces(c)) > 16 || PopCount(p.Pieces(c, PawnType)) > 8) return false;
  return true;
}

// "J depth score nodes move...": a controlled search's result line.
bool LooksLikeResultLine(const std::string& line) {
  const std::vector<std::string> t = Split(line, " ");
  if (t.size() < 5) return false;
  for (size_t i = 0; i < 4; ++i)
    if (!AllDigits(t[i][0] == '-' ? t[i].substr(1) : t[i])) return false;
  return true;
}

bool MoveShaped(const std::string& s) {
  return (s.size() == 4 || s.size() == 5) && s[0] >= 'a' && s[0] <= 'h' && s[1] >= '1' && s[1] <= '8' &&
         s[2] >= 'a' && s[2] <= 'h' && s[3] >= '1' && s[3] <= '8' && (s.size() == 4 || std::strchr("qrbn", s[4]));
}

// Can only the clock end a search of this position? Not when iterative
// deepening may run out of depth first: a mate or a draw that the first plies
// settle (a mate in one, bare material, the fifty-move count at its end).
bool OnlyTheClockEndsSearchOf(const Position& p) {
  if (p.st.fifty >= 90) return false;
  if (PopCount(p.pieces[WhitePawn] | p.pieces[BlackPawn]) == 0 && Material(p) < 10) return false;
  MoveList list;
  GenerateLegalMoves(p, list);
  for (int i = 0; i < list.size; ++i) {
    Position after = p;
    PlayOn(after, list.moves[i]);
    if (!HasLegalMove(after)) return false;   // mate or stalemate in one
  }
  return true;
}

// The engine's two fixed positions of "tt", searched after the current one.
const char* const TestSearchFens[2] = {"4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - - 0 1",
                                       "2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - - 0 1"};
}  // namespace

GoLine ReadGo(const std::string& line, const Position* legalFrom, Color side) {
  GoLine go;
  const std::vector<std::string> tokens = Split(line, " \t\r\n");
  go.silent = !tokens.empty() && tokens[0] == "goe";
  const bool white = side == White;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    auto next = [&]() -> std::string { return i + 1 < tokens.size() ? tokens[++i] : std::string(); };
    if (t == (white ? "winc" : "binc")) {
      go.ownInc = ReadInt32(next());
      go.bounded = go.clock = true;
    } else if (t == (white ? "wtime" : "btime")) {
      go.ownTime = ReadInt32(next());
      go.bounded = go.clock = true;
    } else if (t == "depth" || t == "nodes" || t == "movetime" || t == "iternodes") {
      next();
      go.bounded = go.limited = true;
    } else if (t == "mate") {
      next();
      go.limited = true;
    } else if (t == "movestogo") {
      go.movesToGo = ReadInt32(next());
    } else if (t == "id") {
      go.idGiven = true;
      go.id = ReadInt32(next());
    } else if (t == "minscore" || t == "contempt" || t == "date") {
      next();
    } else if (t == "infinite" || t == "ponder") {
      go.pending = true;
      go.pendingWord = t;
    } else if (t == "playmode") {
    } else if (t == "slave") {
      // Held to 0..256 as the engine holds it: a negative count is an ordinary search.
      go.slave = std::clamp(ReadInt32(next()), 0, 256);
      go.slaveGiven = true;
    } else if (go.searchMoves.size() < 256 && legalFrom) {
      if (const Move m = FindLegalMove(*legalFrom, t.c_str())) go.searchMoves.push_back(m);
    }
  }
  return go;
}

void ControllerStats::Add(const ControllerStats& o) {
  searches += o.searches;
  lines += o.lines;
  linesRead += o.linesRead;
  takings += o.takings;
  takingsOwed += o.takingsOwed;
  results += o.results;
  postings += o.postings;
  childChecks += o.childChecks;
}

GameState::GameState() { SetPositionFromFen(position, StartFen); }

bool GameState::Legal() const { return known && CheckPositionConsistency(position); }

void ApplyPosition(GameState& g, std::string line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n' || line.back() == '\t'))
    line.pop_back();
  g.known = true;
  g.plies = 0;
  Position& p = g.position;
  SetPositionFromFen(p, StartFen);
  const size_t movesAt = line.find("moves");
  const std::string head = line.substr(0, movesAt);
  const size_t fenAt = head.find("fen");
  if (fenAt != std::string::npos && !SetPositionFromFen(p, head.c_str() + fenAt + 3)) return;
  if (movesAt == std::string::npos) return;
  for (const std::string& token : Split(line.substr(movesAt + 5), " \t")) {
    Move m = NullRootMove;
    if (token != "0000") {
      // The engine looks moves up on whatever board it has; on one that is
      // not legal the outcome is its own affair.
      if (!SafeForMoveGeneration(p)) {
        g.known = false;
        return;
      }
      m = FindLegalMove(p, token.c_str());
      if (!m) return;
    }
    PlayOn(p, m);
    ++g.plies;
  }
}

void ApplyPlay(GameState& g, const std::string& line) {
  if (!g.known) return;
  const size_t start = line.find_first_not_of(" \t\r", 4);
  std::string text = start == std::string::npos ? std::string() : line.substr(start);
  const size_t end = text.find_first_of(" \t\r\n");
  if (end != std::string::npos) text.resize(end);
  if (text.empty() || !CheckPositionConsistency(g.position)) return;
  const Move m = FindLegalMove(g.position, text.c_str());
  if (!m) return;
  PlayOn(g.position, m);
  ++g.plies;
}

ProtocolModel::ProtocolModel(const Timeouts& timeouts) : timeouts_(timeouts) {}

void ProtocolModel::Fail(const std::string& signature, const std::string& detail) {
  faults_.push_back({signature, detail});
}

// --- Input ------------------------------------------------------------------

void ProtocolModel::OnInput(const std::string& bytes, uint64_t now) {
  size_t start = 0;
  for (;;) {
    const size_t nl = bytes.find('\n', start);
    const size_t end = nl == std::string::npos ? bytes.size() : nl;
    if (!dropping_) {
      partial_.append(bytes, start, end - start);
      // Past the cap by more than one read of the engine, the line is surely cut;
      // just past it, whether it is cut depends on how the engine's reads fall.
      if (partial_.size() > EngineLineCap + 65536) {
        partial_.resize(EngineLineCap);
        dropping_ = true;
      }
    }
    if (nl == std::string::npos) return;
    if (!dropping_ && partial_.size() > EngineLineCap) desynced_ = true;
    std::string line;
    line.swap(partial_);
    dropping_ = false;
    Dispatch(line, now);
    start = nl + 1;
  }
}

void ProtocolModel::OnInputEnd(uint64_t now) {
  if (inputEnded_) return;
  inputEnded_ = true;
  if (!partial_.empty()) {
    std::string line;
    line.swap(partial_);
    Dispatch(line, now);
  }
}

Guard ProtocolModel::NextGuard() const {
  if (desynced_) return Guard::Unknown;
  const Work* active = nullptr;
  for (const Work& w : work_) {
    if (w.stopped) continue;
    if (active) return Guard::Unknown;
    active = &w;
  }
  if (!active) return Guard::Accepted;
  return active->pending && !active->released ? Guard::Refused : Guard::Unknown;
}

bool ProtocolModel::FiniteWorkRunning() const {
  for (const Work& w : work_)
    if (!w.stopped && !(w.pending && !w.released)) return true;
  return false;
}

bool ProtocolModel::PendingUnreleased() const {
  for (const Work& w : work_)
    if (w.pending && !w.released) return true;
  return false;
}

bool ProtocolModel::GoeAnswerOutstanding() const {
  for (const Work& w : work_)
    if (w.kind == Kind::SilentSearch) return true;
  return false;
}

bool ProtocolModel::GoeSearchRunning() const {
  for (const Work& w : work_)
    if (w.kind == Kind::SilentSearch && !w.stopped) return true;
  return false;
}

ProtocolModel::Work* ProtocolModel::NewestSearch() {
  for (auto it = work_.rbegin(); it != work_.rend(); ++it)
    if (it->control) return &*it;
  return nullptr;
}

ProtocolModel::Work* ProtocolModel::WorkOf(const RootControl* control) {
  for (Work& w : work_)
    if (control && w.control.get() == control) return &w;
  return nullptr;
}

int ProtocolModel::MultiPvNow() const {
  // After the newest search: what it and the lines sent since leave.
  for (auto it = work_.rbegin(); it != work_.rend(); ++it)
    if (it->control) return it->control->MultiPvAfter();
  return multiPv_;
}

bool ProtocolModel::ActiveSearch(SearchView& view) const {
  if (desynced_) return false;
  for (auto it = work_.rbegin(); it != work_.rend(); ++it) {
    if (!it->control) continue;
    view.pending = it->pending && !it->released;
    view.stopped = it->stopped;
    view.slave = it->control->Slave();
    view.position = it->positionKnown && it->legal ? it->position : nullptr;
    view.candidates = it->control->Known() ? it->control->Candidates() : std::vector<Move>{};
    return true;
  }
  return false;
}

bool ProtocolModel::GroupShouldBeIdle() const {
  return !desynced_ && work_.empty() && !optionSinceGo_ && !quitRead_ && !inputEnded_ && answers_ > 0;
}

void ProtocolModel::ForgetGamePositionIfGoePending() {
  // A "goe" answer still on its way plays its move on the game position before
  // the engine reads this line; which move that is, is not known yet.
  if (GoeAnswerOutstanding()) game_.known = false;
}

std::string ProtocolModel::OutputContext() const {
  if (goeSilent_) return "after the goe answer";
  for (const Work& w : work_)
    if (w.kind == Kind::Bench && !w.stopped) return "during bench";
  return "";
}

void ProtocolModel::Expect(const std::string& command, std::vector<std::string> markers, std::string fen) {
  // "go slave N" silences the engine until its answer; "d" and "eval" (like
  // perft) are only read once that search has ended, and its silence with it.
  bool slaveRunning = false;
  for (const Work& w : work_) slaveRunning |= w.kind == Kind::QuietSearch && !w.stopped;
  if (desynced_ || (slaveRunning && command != "d" && command != "eval")) return;
  if (goeSilent_ && GoeSearchRunning()) return;   // and so does a running "goe" search
  Expectation e;
  e.command = command;
  e.markers = std::move(markers);
  e.readyIndex = readySent_ + 1;
  e.context = OutputContext();
  e.fen = std::move(fen);
  expected_.push_back(std::move(e));
}

ProtocolModel::Work ProtocolModel::SearchWork(Kind kind, const std::string& command, const GameState& g) const {
  Work w;
  w.kind = kind;
  w.command = command;
  w.positionKnown = g.known && !GoeAnswerOutstanding();
  w.position = std::make_shared<Position>(g.position);
  w.legal = w.positionKnown && CheckPositionConsistency(g.position);
  return w;
}

void ProtocolModel::Dispatch(const std::string& line, uint64_t now) {
  if (quitRead_) return;   // the engine has gone
  ++linesRead_;
  if (HasPrefix(line, "quit")) {
    quitRead_ = true;
    return;
  }
  if (HasPrefix(line, "stop")) return Stop(now);
  if (HasPrefix(line, "ponderhit")) return PonderHit();
  const Guard guard = NextGuard();
  // A guarded command read while a search may or may not still run: from here
  // on the fuzzer cannot tell what the engine does with it.
  auto guarded = [&]() {
    if (guard == Guard::Unknown) {
      desynced_ = true;
      game_.known = false;
    }
    return guard == Guard::Accepted;
  };
  // (Refused during a search; either way nothing the fuzzer follows changes.)
  if (HasPrefix(line, "ucinewgame")) return;
  if (HasPrefix(line, "uci3")) return Expect("uci3", {"uci3ok"});
  if (HasPrefix(line, "kvx5")) return Expect("kvx5", {"kvx5ok"});
  if (HasPrefix(line, "hqz5")) return Expect("hqz5", {"hqz5ok"});
  if (HasPrefix(line, "probe ") || HasPrefix(line, "write ")) return;
  if (HasPrefix(line, "uci")) return Expect("uci", {"uciok"});
  if (HasPrefix(line, "isready")) {
    ++readySent_;
    // While perft or bench runs, "isready" waits in line behind it; behind a
    // count that may never end, its time starts with the "stop" that ends it.
    const int factor = CountRunning() ? Timeouts::countReadyFactor : 1;
    readyDeadlines_.push_back(LongCountRunning() ? NoDeadline : now + uint64_t(timeouts_.readyMs) * factor);
    ReadyMark mark;
    if (const Work* w = NewestSearch()) {
      mark.control = w->control;
      mark.lines = w->control->Sent();
      mark.finite = !w->stopped && !(w->pending && !w->released);
    }
    readyMarks_.push_back(std::move(mark));
    return;
  }
  if (HasPrefix(line, "slave mode")) return;
  if (HasPrefix(line, "position") && guarded()) {
    for (Work& w : work_)
      if (w.kind == Kind::SilentSearch) w.gameReplaced = true;
    return ApplyPosition(game_, line);
  }
  if (HasPrefix(line, "play") && guarded()) {
    ForgetGamePositionIfGoePending();
    const int plies = game_.plies;
    ApplyPlay(game_, line);
    // A move that is not legal here is refused aloud.
    if (game_.known && game_.plies == plies) Expect("play", {"info string Illegal or unreadable move"});
    return;
  }
  if (HasPrefix(line, "deny") || HasPrefix(line, "take")) return ControllerLine(line);
  if (HasPrefix(line, "posted")) return;
  if (HasPrefix(line, "tt") && guarded()) return AcceptTestSearches(line);
  if (HasPrefix(line, "go") && guarded()) return AcceptGo(line, now);
  if (HasPrefix(line, "setoption name")) {
    optionSinceGo_ = true;
    const std::string text = line.size() > 15 ? line.substr(15) : std::string();
    // Options are handled when read, also during a search.
    if (HasPrefix(text, "multipv value")) ControllerLine(line);
    // Rules that may end a clocked search by depth, or give it another budget.
    if (HasPrefix(text, "tc ") || HasPrefix(text, "uci_limitstrength")) timeRulesChanged_ = true;
    return;
  }
  const std::string word = FirstWord(line);
  if (word == "perft" || word == "d" || word == "eval" || word == "bench") {
    if (guarded()) return AcceptCount(word, line);
    if (desynced_ && (word == "perft" || word == "bench")) countSentDesynced_ = true;
  }
}

void ProtocolModel::ControllerLine(const std::string& line) {
  if (desynced_) return;
  Work* w = NewestSearch();
  if (HasPrefix(line, "setoption")) {
    const int value = std::clamp(LeadingNumber(line, 15 + 14), 1, 256);
    if (w) w->control->MultiPv(value);
    else multiPv_ = value;
    return;
  }
  // "deny" and "take" act only during a search: without one they are refused.
  if (!w) return;
  if (!w->stopped) ++stats_.lines;
  const size_t at = line.find_first_not_of(' ', 4);
  const std::string move = at == std::string::npos ? std::string() : line.substr(at);
  if (HasPrefix(line, "deny")) w->control->Deny(move);
  else w->control->Take(move);
}

void ProtocolModel::AcceptGo(const std::string& line, uint64_t) {
  ForgetGamePositionIfGoePending();
  const bool legal = game_.Legal();
  GoLine go = ReadGo(line, legal ? &game_.position : nullptr, game_.position.sideToMove);
  if (!game_.known) {
    // Which clock words take a value depends on the side to move.
    const GoLine other = ReadGo(line, nullptr, Opponent(game_.position.sideToMove));
    if (other.pending != go.pending || other.slave != go.slave || other.id != go.id) desynced_ = true;
  }
  goeSilent_ = go.silent;
  // "slave N" sets MultiPV to N (at least 1) for this search and the ones after it.
  const int multiPv = go.slaveGiven ? std::clamp(go.slave, 1, 256) : MultiPvNow();
  if (go.idGiven) searchId_ = go.id;
  // A goe answer goes out even under "slave" (it is a reply, not a report).
  const Kind kind = go.silent ? Kind::SilentSearch : go.slave != 0 ? Kind::QuietSearch : Kind::Search;
  Work w = SearchWork(kind, line, game_);
  w.pending = go.pending;
  w.searchMoves = std::move(go.searchMoves);
  w.searchId = searchId_;
  w.silenced = go.silent || go.slave != 0;
  std::vector<Move> roots;
  if (w.legal) {
    MoveList list;
    GenerateLegalMoves(*w.position, list);
    for (int i = 0; i < list.size; ++i)
      if (w.searchMoves.empty() || InList(w.searchMoves, list.moves[i])) roots.push_back(list.moves[i]);
  }
  w.control = std::make_shared<RootControl>();
  w.control->Start(w.legal ? &roots : nullptr, multiPv, go.slave);
  // Only a sound clock of the side to move ends it: no other limit, a budget
  // above the rules that fall back on a depth, default time rules, and a
  // position whose search cannot run out of depth first.
  w.clockEnds = w.legal && go.clock && !go.limited && !go.pending && !timeRulesChanged_ && go.ownTime >= 1000 &&
                go.ownTime <= 600000 && go.ownInc >= 0 && go.ownInc <= 10000 && go.movesToGo >= 0 &&
                OnlyTheClockEndsSearchOf(*w.position);
  optionSinceGo_ = false;
  work_.push_back(std::move(w));
}

void ProtocolModel::AcceptTestSearches(const std::string& line) {
  ForgetGamePositionIfGoePending();
  // The test searches end on a position of their own, whatever a goe answer still on its way does.
  for (Work& w : work_)
    if (w.kind == Kind::SilentSearch) w.gameReplaced = true;
  goeSilent_ = false;
  // The three searches share what the controller's lines may do to them.
  auto control = std::make_shared<RootControl>();
  control->Start(nullptr, MultiPvNow(), 0);
  optionSinceGo_ = false;
  work_.push_back(SearchWork(Kind::Search, line + " (1 of 3)", game_));
  for (int i = 0; i < 2; ++i) {
    game_.known = true;
    game_.plies = 0;
    SetPositionFromFen(game_.position, TestSearchFens[i]);
    work_.push_back(SearchWork(Kind::Search, line + (i == 0 ? " (2 of 3)" : " (3 of 3)"), game_));
  }
  for (size_t i = work_.size() - 3; i < work_.size(); ++i) {
    work_[i].control = control;
    work_[i].searchId = searchId_;
  }
}

void ProtocolModel::AcceptCount(const std::string& word, const std::string& line) {
  ForgetGamePositionIfGoePending();
  if (word == "d") {
    std::string fen;
    if (game_.known) {
      const Position& p = game_.position;
      char tail[64];
      std::snprintf(tail, sizeof tail, " %u %d", p.st.fifty, 1 + game_.plies / 2);
      fen = "Fen: " + PositionToFen(p) + tail;
    }
    return Expect("d", {"Key: "}, fen);
  }
  if (word == "eval") return Expect("eval", {"Total evaluation: ", "info string eval needs a legal position"});
  Work w = SearchWork(word == "perft" ? Kind::Perft : Kind::Bench, line, game_);
  if (word == "perft") {
    int depth = std::atoi(line.c_str() + line.find("perft") + 5);
    // Counts of one or two plies never look at the input: they answer before a later "isready".
    if (depth <= 2) w.readyIndex = readySent_ + 1;
  } else {
    // "bench" runs its searches with the settings of a plain "go".
    goeSilent_ = false;
  }
  w.context = OutputContext();
  work_.push_back(std::move(w));
}

void ProtocolModel::Stop(uint64_t now) {
  for (uint64_t& deadline : readyDeadlines_)
    if (deadline == NoDeadline) deadline = now + uint64_t(timeouts_.readyMs) * Timeouts::countReadyFactor;
  if (desynced_) return;
  for (auto it = work_.begin(); it != work_.end(); ++it) {
    if (it->stopped) continue;
    it->stopped = it->released = true;
    it->answerDeadline = now + uint64_t(timeouts_.stopMs);
    // The lines after a stop are read once the search has ended (the test
    // searches go on with the next of their three).
    const bool last = std::next(it) == work_.end() || std::next(it)->control != it->control;
    if (it->control && last) it->control->Close();
    return;
  }
}

void ProtocolModel::PonderHit() {
  if (desynced_) return;
  for (Work& w : work_) {
    if (w.stopped) continue;
    if (w.pending) w.released = true;
    return;
  }
}

// --- Output -----------------------------------------------------------------

void ProtocolModel::OnOutput(const std::string& line, uint64_t) {
  if (HasFault()) return;
  if (line == "readyok") return OnReadyOk();
  if (desynced_) return;
  // Lines of commands read before the current work may still arrive: they
  // are recognised by their shape, not by what runs.
  if (MatchExpectation(line) || HasFault()) return;
  const Work* front = work_.empty() ? nullptr : &work_.front();
  if (front && front->kind == Kind::SilentSearch && LooksLikeGoeAnswer(line)) return OnGoeAnswer(line);
  if (StartsWith(line, "bestmove")) return OnBestMove(line);
  if (StartsWith(line, "info ") && !StartsWith(line, "info string") && !StartsWith(line, "info probe"))
    return OnSearchInfo(line);
  if (StartsWith(line, "taking ")) return OnTaking(line);
  if (StartsWith(line, "posting ")) return OnPosting(line);
  if (LooksLikeResultLine(line)) return OnResultLine(line);
  // Once the engine has read the go line of a search that reports nothing,
  // nothing but its answer and the controller's lines may come until then.
  if (front && front->silenced && front->goRead && StartsWith(line, "info string"))
    return Fail("protocol: info string during a search that reports nothing (" + FirstWord(front->command) + ")",
                "\"" + Shown(line) + "\" while \"" + Shown(front->command) + "\" runs");
  if (front && (front->kind == Kind::Perft || front->kind == Kind::Bench)) OnCountLine(line);
}

bool ProtocolModel::MatchExpectation(const std::string& line) {
  // An answer goes to the oldest command that can give it; commands read in a
  // silent spell come last, so that a missing answer is blamed on the silence.
  for (bool silentSpell : {false, true}) {
    for (Expectation& e : expected_) {
      if (e.fulfilled || e.context.empty() != !silentSpell) continue;
      if (e.command == "d" && StartsWith(line, "Fen: ")) {
        if (!e.fen.empty() && line != e.fen)
          Fail("position: \"d\" shows another position than the commands set up",
               "expected \"" + e.fen + "\"\n        got \"" + Shown(line) + "\"");
        return true;
      }
      for (const std::string& marker : e.markers) {
        if (!StartsWith(line, marker.c_str())) continue;
        e.fulfilled = true;
        return true;
      }
    }
  }
  return false;
}

void ProtocolModel::OnReadyOk() {
  ++readyReceived_;
  if (!readyDeadlines_.empty()) readyDeadlines_.pop_front();
  ReadyMark mark;
  if (!readyMarks_.empty()) {
    mark = std::move(readyMarks_.front());
    readyMarks_.pop_front();
  }
  if (readyReceived_ > readySent_) return Fail("protocol: readyok without isready", "");
  if (desynced_) return;
  // The search newest at the isready has not answered yet: the engine read
  // the isready, and every line before it, after the search's go line.
  if (Work* w = WorkOf(mark.control.get())) {
    w->goRead = true;
    // A search that could only end by itself was still running then (its
    // answer follows its end at once); one waiting for stop or ponderhit
    // may have ended already: a later line that only a running search
    // writes shows it had not.
    if (mark.finite) w->control->ReadAtLeast(mark.lines);
    else w->provable = std::max(w->provable, mark.lines);
  }
  for (const Expectation& e : expected_) {
    if (e.fulfilled || e.readyIndex > readyReceived_) continue;
    const std::string where = e.context.empty() ? "" : " " + e.context;
    return Fail("output: \"" + e.command + "\" printed nothing" + where,
                "no answer to \"" + e.command + "\" before the readyok of a later isready");
  }
  while (!expected_.empty() && (expected_.front().fulfilled || expected_.front().readyIndex <= readyReceived_))
    expected_.pop_front();
  for (const Work& w : work_) {
    if (w.readyIndex <= 0 || w.readyIndex > readyReceived_) continue;
    const std::string where = w.context.empty() ? "" : " " + w.context;
    return Fail("output: \"" + FirstWord(w.command) + "\" printed nothing" + where,
                "\"" + Shown(w.command) + "\" had not answered before the readyok of a later isready");
  }
}

bool ProtocolModel::PlayMoves(Position p, const std::vector<std::string>& moves, size_t from, std::string& bad) {
  for (size_t i = from; i < moves.size(); ++i) {
    if (!CheckPositionConsistency(p)) return true;   // (a move into a position the engine cannot judge)
    const Move m = ExactMove(p, moves[i]);
    if (!m) {
      bad = moves[i];
      return false;
    }
    PlayOn(p, m);
  }
  return true;
}

std::string ProtocolModel::NoAnswer(const Work& w) const {
  const std::vector<std::string> words = Split(w.command, " \t\r");
  std::string what = words.empty() ? "?" : words[0];
  if (w.control && w.pending) what += " ponder/infinite";
  if ((w.kind == Kind::Perft || w.kind == Kind::Bench) && !w.context.empty())
    return "output: \"" + what + "\" printed nothing " + w.context;
  const std::string where = w.context.empty() ? "" : ", " + w.context;
  const std::string board = w.positionKnown && !w.legal ? ", position failing the consistency check" : "";
  return "hang: no answer after stop (" + what + board + where + ")";
}

std::string ProtocolModel::WorkOwedText() const {
  std::string text;
  for (const Work& q : work_)
    text += "\n      [" + Shown(q.command.substr(0, 50)) + (q.stopped ? " stopped" : "") + (q.silenced ? " silenced" : "") +
            (q.pending ? " pending" : "") + (q.released ? " released" : "") + "]";
  return text;
}

bool ProtocolModel::Overtaken(const std::string& line) {
  // A stopped goe search or count that never answered, overtaken by the
  // report of a later search: its answer will not come any more.
  const Work& w = work_.front();
  if (w.kind == Kind::Search || w.kind == Kind::QuietSearch || !w.stopped || work_.size() < 2) return false;
  Fail(NoAnswer(w), "\"" + Shown(w.command) + "\" was stopped and gave no answer before \"" + Shown(line) +
                        "\" of a later search");
  return true;
}

void ProtocolModel::OnBestMove(const std::string& line) {
  if (work_.empty()) return Fail("protocol: bestmove without a search", "\"" + Shown(line) + "\"");
  Work& w = work_.front();
  if (Overtaken(line)) return;
  if (w.kind != Kind::Search && w.kind != Kind::QuietSearch) {
    const char* what = w.kind == Kind::SilentSearch ? "a goe search" : "a count";
    return Fail(std::string("protocol: bestmove line from ") + what, "\"" + Shown(line) + "\" answering \"" +
                                                                           Shown(w.command) + "\"");
  }
  if (w.pending && !w.released) {
    const std::string mode = "go " + ReadGo(w.command, nullptr, White).pendingWord;
    return Fail("protocol: bestmove before stop/ponderhit (" + mode + ", " +
                    (w.legal ? "legal position" : w.positionKnown ? "position failing the consistency check"
                                                                  : "unknown position") +
                    ")",
                "\"" + Shown(line) + "\" answering \"" + Shown(w.command) + "\"");
  }
  const std::vector<std::string> t = Split(line, " ");
  const bool shape = t[0] == "bestmove" && (t.size() == 2 || (t.size() == 4 && t[2] == "ponder"));
  if (!shape) return Fail("protocol: malformed bestmove line", "\"" + Shown(line) + "\"");
  if (w.positionKnown) {
    const Position& p = *w.position;
    const bool noMove = !w.legal || !HasLegalMove(p);
    if (noMove) {
      if (t[1] != "0000" || t.size() != 2)
        return Fail("protocol: bestmove in a position without a legal move", "\"" + Shown(line) + "\" for \"" +
                                                                                  PositionToFen(p) + "\"");
    } else {
      const Move m = ExactMove(p, t[1]);
      if (!m)
        return Fail("protocol: illegal bestmove", "\"" + Shown(line) + "\" in \"" + PositionToFen(p) +
                                                      "\" answering \"" + Shown(w.command) + "\"");
      if (!w.searchMoves.empty() && !InList(w.searchMoves, m))
        return Fail("protocol: bestmove outside the searchmoves", "\"" + Shown(line) + "\" answering \"" +
                                                                      Shown(w.command) + "\"");
      std::string bad;
      if (t.size() == 4 && !PlayMoves(p, {t[1], t[3]}, 0, bad))
        return Fail("protocol: illegal ponder move", "\"" + Shown(line) + "\" in \"" + PositionToFen(p) + "\"");
      if (ControlledAnswerFault(w, m, line)) return;
    }
  }
  FinishSearch();
}

bool ProtocolModel::ControlledAnswerFault(const Work& w, Move m, const std::string& line) {
  const RootControl& c = *w.control;
  if (!c.MayHold(m)) {
    Fail("protocol: " + FirstWord(w.command) + " answers with a root move it no longer holds (denied or not taken)",
         "\"" + Shown(line) + "\" answering \"" + Shown(w.command) + "\"; the search may hold:" + c.Describe());
    return true;
  }
  // A controlled search that its own clock ended tells which move it takes first.
  if (w.clockEnds && !w.stopped && c.TakingOwed()) {
    Fail("protocol: a clocked slave search answered without \"taking\"",
         "\"" + Shown(line) + "\" answering \"" + Shown(w.command) + "\" in \"" + PositionToFen(*w.position) +
             "\"; MultiPV 1 and two root moves or more in every state:" + c.Describe());
    return true;
  }
  return false;
}

void ProtocolModel::FinishSearch() {
  const Work w = std::move(work_.front());
  work_.pop_front();
  ++answers_;
  lastAnswered_ = w.command;
  if (w.control && w.control->Slave() > 0) {
    ++stats_.searches;
    stats_.linesRead += uint64_t(w.control->SurelyRead());
  }
  // What MultiPV the search left, once it was the newest.
  if (w.control && !NewestSearch()) multiPv_ = w.control->MultiPvAfter();
}

void ProtocolModel::OnGoeAnswer(const std::string& line) {
  Work& w = work_.front();
  if (w.pending && !w.released)
    return Fail("protocol: goe ponder/infinite answered before stop/ponderhit",
                "\"" + Shown(line) + "\" answering \"" + Shown(w.command) + "\"");
  // "<move> <nodes> <depth> <score> <material>"; depth may carry ".5", score "00" means a draw.
  const std::vector<std::string> t = Split(line, " ");
  auto depthShape = [](const std::string& s) {
    const size_t dot = s.find('.');
    return dot == std::string::npos ? AllDigits(s) : AllDigits(s.substr(0, dot)) && s.substr(dot) == ".5";
  };
  auto scoreShape = [](const std::string& s) { return AllDigits(s[0] == '-' ? s.substr(1) : s); };
  if (t.size() != 5 || !AllDigits(t[1]) || !depthShape(t[2]) || !scoreShape(t[3]) || !AllDigits(t[4]))
    return Fail("protocol: malformed goe answer", "\"" + Shown(line) + "\" answering \"" + Shown(w.command) + "\"");
  if (w.positionKnown) {
    Position p = *w.position;
    const bool noMove = !w.legal || !HasLegalMove(p);
    if (noMove != (t[0] == "0000"))
      return Fail("protocol: illegal goe move", "\"" + Shown(line) + "\" in \"" + PositionToFen(p) + "\"");
    if (!noMove) {
      const Move m = ExactMove(p, t[0]);
      if (!m) return Fail("protocol: illegal goe move", "\"" + Shown(line) + "\" in \"" + PositionToFen(p) + "\"");
      if (!w.searchMoves.empty() && !InList(w.searchMoves, m))
        return Fail("protocol: goe move outside the searchmoves", "\"" + Shown(line) + "\"");
      if (ControlledAnswerFault(w, m, line)) return;
      PlayOn(p, m);
    }
    if (std::atoi(t[4].c_str()) != Material(p))
      return Fail("protocol: goe material count differs from the board",
                  "\"" + Shown(line) + "\" leaves \"" + PositionToFen(p) + "\"");
    // The engine plays the move on its game position.
    if (!noMove && !w.gameReplaced && game_.known) {
      game_.position = p;
      ++game_.plies;
    }
  } else if (!w.gameReplaced) {
    game_.known = false;
  }
  FinishSearch();
}

void ProtocolModel::OnSearchInfo(const std::string& line) {
  const std::vector<std::string> t = Split(line, " ");
  Work* w = work_.empty() ? nullptr : &work_.front();
  if (w && Overtaken(line)) return;
  if (!w || w->kind != Kind::Search) {
    const std::string during = !w ? "without a search"
                               : w->kind == Kind::SilentSearch ? "from a goe search"
                               : w->kind == Kind::QuietSearch  ? "from a go slave search"
                                                                : "during " + FirstWord(w->command);
    return Fail("protocol: search report " + during, "\"" + Shown(line) + "\"");
  }
  if (w->control) SearchWasRunning(*w);
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == "score" && (i + 2 >= t.size() || (t[i + 1] != "cp" && t[i + 1] != "mate")))
      return Fail("protocol: malformed score", "\"" + Shown(line) + "\"");
  }
  if (!w->positionKnown || !w->legal) return;
  const Position& p = *w->position;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == "pv") {
      std::string bad;
      if (!PlayMoves(p, t, i + 1, bad))
        return Fail("protocol: illegal move in a pv", "\"" + Shown(bad) + "\" in \"" + Shown(line) + "\" from \"" +
                                                          PositionToFen(p) + "\"");
      if (i + 1 < t.size() && !w->searchMoves.empty() && !InList(w->searchMoves, ExactMove(p, t[i + 1])))
        return Fail("protocol: pv outside the searchmoves", "\"" + Shown(line) + "\"");
      if (i + 1 < t.size() && w->control && !w->control->MayHold(ExactMove(p, t[i + 1])))
        return Fail("protocol: pv starts with a root move the search no longer holds (denied or not taken)",
                    "\"" + Shown(line) + "\" answering \"" + Shown(w->command) + "\"; the search may hold:" +
                        w->control->Describe());
      return;
    }
    if (t[i] == "currmove" && i + 1 < t.size() && !ExactMove(p, t[i + 1]))
      return Fail("protocol: illegal currmove", "\"" + Shown(line) + "\" from \"" + PositionToFen(p) + "\"");
  }
  if (t.size() > 1 && t[1] == "allmoves") {
    for (size_t i = 2; i < t.size(); ++i)
      if (!ExactMove(p, t[i]))
        return Fail("protocol: illegal move in allmoves", "\"" + Shown(line) + "\" from \"" + PositionToFen(p) + "\"");
  }
}

void ProtocolModel::SearchWasRunning(Work& w) {
  if (w.provable >= 0) w.control->ReadAtLeast(w.provable);
  w.provable = -1;
}

// The front work when it is a search that may write the controller's lines, else null after a fault.
ProtocolModel::Work* ProtocolModel::ControlledFront(const std::string& line, const char* what) {
  Work* w = work_.empty() ? nullptr : &work_.front();
  if (w && Overtaken(line)) return nullptr;
  if (!w || !w->control) {
    Fail(std::string("protocol: ") + what + " line without a search", "\"" + Shown(line) + "\"" +
         (w ? " during \"" + Shown(w->command) + "\"" : std::string()));
    return nullptr;
  }
  SearchWasRunning(*w);
  return w;
}

void ProtocolModel::OnTaking(const std::string& line) {
  Work* w = ControlledFront(line, "taking");
  if (!w) return;
  const std::vector<std::string> t = Split(line, " ");
  const std::string about = "\"" + Shown(line) + "\" during \"" + Shown(w->command) + "\"";
  if (t.size() != 3 || !AllDigits(t[1][0] == '-' ? t[1].substr(1) : t[1]) || !MoveShaped(t[2]))
    return Fail("protocol: malformed taking line", about);
  if (w->control->Slave() <= 0) return Fail("protocol: taking in a search without slave", about);
  if (w->pending && !w->released) return Fail("protocol: taking before stop/ponderhit in a ponder/infinite search", about);
  if (ReadInt32(t[1]) != w->searchId)
    return Fail("protocol: taking names another job than the search's id", about + " (id " + std::to_string(w->searchId) + ")");
  if (w->control->TakingSeen()) return Fail("protocol: taking written twice in one search", about);
  if (w->legal && !ExactMove(*w->position, t[2]))
    return Fail("protocol: taking names an illegal move", about + " in \"" + PositionToFen(*w->position) + "\"");
  ++stats_.takings;
  if (w->clockEnds && !w->stopped && w->control->TakingOwed()) ++stats_.takingsOwed;
  if (!w->control->Taking(t[2]))
    return Fail("protocol: taking a root move the search cannot take (denied, not taken, or MultiPV above 1)",
                about + "; the search may hold:" + w->control->Describe());
}

void ProtocolModel::OnPosting(const std::string& line) {
  Work* w = ControlledFront(line, "posting");
  if (!w) return;
  const std::string about = "\"" + Shown(line) + "\" during \"" + Shown(w->command) + "\"";
  ++stats_.postings;
  if (w->control->Slave() <= 0) return Fail("protocol: posting in a search without slave", about);
  // "posting depth score key move": deep exact results within the ordinary scores.
  const std::vector<std::string> t = Split(line, " ");
  auto hex = [](const std::string& s) {
    return !s.empty() && s.size() <= 16 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
  };
  const bool shape = t.size() == 5 && AllDigits(t[1]) && AllDigits(t[2][0] == '-' ? t[2].substr(1) : t[2]) &&
                     hex(t[3]) && MoveShaped(t[4]);
  if (!shape || std::atoi(t[1].c_str()) < 20 || std::abs(std::atoi(t[2].c_str())) > 499)
    return Fail("protocol: malformed posting line", about);
}

void ProtocolModel::OnResultLine(const std::string& line) {
  if (!work_.empty() && work_.front().kind == Kind::Bench) return;   // its searches run with the game's settings
  Work* w = ControlledFront(line, "result");
  if (!w) return;
  ++stats_.results;
  const std::vector<std::string> t = Split(line, " ");
  const std::string about = "\"" + Shown(line) + "\" during \"" + Shown(w->command) + "\"";
  if (ReadInt32(t[0]) != w->searchId)
    return Fail("protocol: result line names another job than the search's id",
                about + " (id " + std::to_string(w->searchId) + ")");
  if (!w->legal) return;
  const Position& p = *w->position;
  std::string bad;
  if (!PlayMoves(p, t, 4, bad))
    return Fail("protocol: illegal move in a result line", "\"" + Shown(bad) + "\" in " + about + " from \"" +
                                                               PositionToFen(p) + "\"");
  const Move first = ExactMove(p, t[4]);
  if (!w->control->MayHold(first))
    return Fail("protocol: result line starts with a root move the search no longer holds (denied or not taken)",
                about + "; the search may hold:" + w->control->Describe());
}

void ProtocolModel::OnCountLine(const std::string& line) {
  Work& w = work_.front();
  auto numberAfter = [&](const char* prefix) { return std::strtoull(line.c_str() + std::strlen(prefix), nullptr, 10); };
  if (w.kind == Kind::Perft) {
    const size_t colon = line.find(": ");
    if (colon >= 4 && colon <= 5 && line.find(' ') == colon + 1 && AllDigits(line.substr(colon + 2))) {
      ++w.moveLines;
      w.sum += std::strtoull(line.c_str() + colon + 2, nullptr, 10);
      if (w.positionKnown && w.legal && !ExactMove(*w.position, line.substr(0, colon)))
        Fail("perft: count line for an illegal move", "\"" + Shown(line) + "\" in \"" + PositionToFen(*w.position) + "\"");
      return;
    }
    if (StartsWith(line, "Nodes searched: ")) {
      if (numberAfter("Nodes searched: ") != w.sum)
        Fail("perft: the total differs from the sum of the moves", "\"" + Shown(line) + "\" after moves summing to " +
                                                                      std::to_string(w.sum));
      else if (w.positionKnown && w.legal && w.moveLines != LegalMoveCount(*w.position))
        Fail("perft: not one count line per legal move", std::to_string(w.moveLines) + " lines for " +
                                                             std::to_string(LegalMoveCount(*w.position)) + " moves");
      return;
    }
    if (line == "info string perft needs a legal position") {
      if (w.positionKnown && w.legal) Fail("perft: refused a legal position", "\"" + PositionToFen(*w.position) + "\"");
      else work_.pop_front();
      return;
    }
    if (line == "info string perft stopped") {
      if (!w.stopped) return Fail("perft: stopped without a stop", "");
      work_.pop_front();
      return;
    }
    if (StartsWith(line, "Nodes/second: ")) work_.pop_front();
    return;
  }
  // Bench: one count per position, then the total and the speed.
  const size_t of = line.find(" of ");
  if (StartsWith(line, "Position ") && of != std::string::npos && line.find(": ") != std::string::npos) {
    w.sum += std::strtoull(line.c_str() + line.find(": ") + 2, nullptr, 10);
    return;
  }
  if (StartsWith(line, "Nodes searched: ")) {
    if (numberAfter("Nodes searched: ") != w.sum)
      Fail("bench: the total differs from the sum of the positions", "\"" + Shown(line) + "\"");
    return;
  }
  if (StartsWith(line, "Nodes/second: ")) work_.pop_front();
}

void ProtocolModel::OnTick(uint64_t now) {
  if (HasFault()) return;
  if (!readyDeadlines_.empty() && now > readyDeadlines_.front()) {
    std::string running = "idle";
    for (const Work& w : work_)
      if (!w.stopped) {
        running = FirstWord(w.command);
        break;
      }
    if (desynced_) running = "unknown state";
    return Fail("hang: no readyok (" + running + ")",
                "no readyok within " + std::to_string(timeouts_.readyMs) + " ms of an isready (" +
                    std::to_string(timeouts_.readyMs * Timeouts::countReadyFactor) +
                    " ms behind a count); work owed:" + WorkOwedText());
  }
  // Once the model has lost track it no longer matches answers to searches,
  // so a deadline set before then says nothing.
  if (desynced_) return;
  for (const Work& w : work_) {
    if (!w.answerDeadline || now <= w.answerDeadline) continue;
    return Fail(NoAnswer(w), "\"" + Shown(w.command) + "\" still unanswered " + std::to_string(timeouts_.stopMs) +
                                 " ms after a stop; work owed:" + WorkOwedText());
  }
}

void ProtocolModel::OnExit() {
  if (HasFault() || desynced_) return;
  // End of input ends the engine at once, also in the middle of a count:
  // the count and the lines held until it finished go with it.
  if (!quitRead_ && CountRunning()) return;
  const char* how = quitRead_ ? "at quit" : "at end of input";
  for (const Expectation& e : expected_) {
    if (e.fulfilled) continue;
    if (!e.context.empty())
      return Fail("output: \"" + e.command + "\" printed nothing " + e.context, "the process ended without it");
    return Fail("output: \"" + e.command + "\" lost " + how, "the process ended without answering it");
  }
  for (const Work& w : work_) {
    if (w.kind != Kind::Perft && w.kind != Kind::Bench) continue;
    const std::string word = FirstWord(w.command);
    if (!w.context.empty()) return Fail("output: \"" + word + "\" printed nothing " + w.context, "");
    return Fail("output: \"" + word + "\" lost " + how,
                "\"" + Shown(w.command) + "\" was read before the end but never finished its output");
  }
}

bool ProtocolModel::CountRunning() const {
  // Once the model has lost track, a count sent since may still be running.
  if (desynced_ && countSentDesynced_) return true;
  for (const Work& w : work_)
    if (w.kind == Kind::Perft || w.kind == Kind::Bench) return true;
  return false;
}

bool ProtocolModel::LongCountRunning() const {
  for (const Work& w : work_) {
    if (w.stopped || (w.kind != Kind::Perft && w.kind != Kind::Bench)) continue;
    // Only the small depths the generator picks by default end quickly.
    const std::vector<std::string> words = Split(w.command, " \t\r");
    const int quickest = w.kind == Kind::Bench ? 2 : 4;
    const bool quick = words.size() == 2 && AllDigits(words[1]) && words[1].size() < 3 &&
                       std::atoi(words[1].c_str()) <= quickest;
    if (!quick) return true;
  }
  return false;
}

void ProtocolModel::ReportExitHang(int waitedMs) {
  if (HasFault()) return;
  // "quit" waits for a running count to print its result, and "perft 99" or
  // "bench 99" never does: the session ends the engine instead.
  if (quitRead_ && CountRunning()) return;
  std::string running = "idle";
  for (const Work& w : work_)
    if (!w.stopped || w.kind == Kind::Perft || w.kind == Kind::Bench) {
      running = FirstWord(w.command);
      break;
    }
  if (desynced_) running = "unknown state";
  Fail(std::string("hang: process does not end ") + (quitRead_ ? "after quit" : "at end of input") + " (" + running +
           ")",
       "still running " + std::to_string(waitedMs) + " ms later");
}

}  // namespace fuzz
