#include "cluster/controller.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include "board/castling_setup.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "cluster/root_deal.h"
#include "common/words.h"
#include "platform/platform.h"

namespace cluster {

namespace {
// How long the others may take to answer once the first engine's time is up.
constexpr uint64_t AnswerGraceMs = 150;
// How long the start waits for every rank, and "isready" for every engine.
constexpr uint64_t RankWaitMs = 20000;
constexpr uint64_t ReadyWaitMs = 10000;

bool Starts(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

// The position of a "position" line, with the moves it names played.
bool ReadPosition(const std::string& line, Position& p) {
  SetPositionFromFen(p, StartFen);
  const size_t movesAt = line.find(" moves ");
  const std::string head = line.substr(0, movesAt);
  const size_t fenAt = head.find(" fen ");
  if (fenAt != std::string::npos && !SetPositionFromFen(p, head.c_str() + fenAt + 5)) return false;
  if (movesAt == std::string::npos) return true;
  for (const std::string& text : SplitWords(line.substr(movesAt + 7))) {
    const Move m = FindLegalMove(p, text.c_str());
    if (!m) return false;
    MakeRootMove(p, m);
  }
  return true;
}

}  // namespace

Controller::Controller(RankLink& link, const ClusterOptions& options) : link_(link), options_(options) {}

void Controller::Out(const std::string& line) {
  const std::string data = line + "\n";
  platform::WriteStdout(data.data(), data.size());
}

void Controller::Log(const std::string& line) {
  if (options_.logPath.empty()) return;
  std::ofstream(options_.logPath, std::ios::app) << platform::NowMs() % 100000000 << " " << line << "\n";
}

void Controller::SendTo(int rank, const std::string& line) {
  if (rank == 0) engine_.Send(line);
  else link_.Send(rank, Tag::ForEngine, line);
}

void Controller::SendToAll(const std::string& line) {
  for (int r = 0; r < int(members_.size()); ++r)
    if (members_[size_t(r)].usable) SendTo(r, line);
}

bool Controller::PollRanks() {
  bool any = false;
  std::string line;
  while (engine_.Poll(line, 0)) {
    OnEngineLine(0, line);
    any = true;
  }
  if (!engine_.Alive() && members_[0].usable) {
    Log("rank 0: engine died");
    OnControl(0, engine_.Restart() ? "restarted " + std::to_string(engine_.Pid()) : "gone");
  }
  int from = 0;
  Tag tag;
  while (link_.Poll(from, tag, line)) {
    any = true;
    if (tag == Tag::FromEngine) OnEngineLine(from, line);
    else if (tag == Tag::Control) OnControl(from, line);
  }
  return any;
}

void Controller::OnControl(int rank, const std::string& word) {
  Member& m = members_[size_t(rank)];
  const std::string name = "rank " + std::to_string(rank) + ": ";
  if (Starts(word, "ready")) {
    m.usable = true;
    Log(name + "engine ready, pid" + word.substr(5));
  } else if (Starts(word, "restarted") || word == "gone") {
    // Its engine died. A restarted one has its setup back and joins the next
    // search; the moves it was searching go to another rank now.
    const bool restarted = Starts(word, "restarted");
    Log(name + "engine died, " + (restarted ? "restarted, pid" + word.substr(9) : "could not start it again"));
    const bool wasSearching = searching_ && m.searching;
    m.usable = restarted;
    m.lateAnswers = 0;
    m.searching = false;
    if (wasSearching) HandOverShare(rank);
  }
}

void Controller::HandOverShare(int deadRank) {
  search_.BankNodes(deadRank);
  std::vector<std::string> moves = members_[size_t(deadRank)].share;
  members_[size_t(deadRank)].share.clear();
  if (moves.empty() || ending_) return;
  // The searching rank with the fewest moves takes them over: it stops, and
  // starts again (its table keeps what it found) with both shares.
  int heir = -1;
  for (int r = 0; r < int(members_.size()); ++r) {
    const Member& m = members_[size_t(r)];
    if (r != deadRank && m.searching && !m.stopping &&
        (heir < 0 || m.share.size() < members_[size_t(heir)].share.size()))
      heir = r;
  }
  if (heir < 0) {
    // No other rank searches: the restarted engine takes its moves again.
    if (!members_[size_t(deadRank)].usable) return;
    heir = deadRank;
    members_[size_t(heir)].share = moves;
    members_[size_t(heir)].searching = true;
    SendTo(heir, GoLineFor(moves));
    Log("rank " + std::to_string(heir) + ": searches its moves again");
    return;
  }
  Member& h = members_[size_t(heir)];
  h.share.insert(h.share.end(), moves.begin(), moves.end());
  h.stopping = true;
  SendTo(heir, "stop");
  Log("rank " + std::to_string(heir) + ": takes over the moves of rank " + std::to_string(deadRank));
}

void Controller::OnEngineLine(int rank, const std::string& line) {
  Member& m = members_[size_t(rank)];
  if (m.lateAnswers > 0) {
    if (Starts(line, "bestmove")) --m.lateAnswers;
    return;
  }
  if (searching_ && (m.searching || m.stopping)) ++m.lines;
  if (line == "readyok") {
    m.readyAwaited = false;
    return CheckReady();
  }
  if (!searching_ || !(m.searching || m.stopping)) {
    // Outside a search only rank 0's engine speaks for the cluster.
    if (rank == 0 && !Starts(line, "bestmove") && line != "readyok" && !Starts(line, "info")) Out(line);
    else if (rank == 0 && Starts(line, "info string")) Out(line);
    return;
  }
  if (Starts(line, "info")) {
    if (const uint64_t nodes = NodesOfInfoLine(line)) search_.RecordNodes(rank, nodes);
    if (const auto report = ReadInfoLine(line); report && search_.Record(rank, *report)) {
      const uint64_t elapsed = std::max<uint64_t>(1, platform::NowMs() - startMs_);
      const uint64_t nodes = search_.Nodes();
      Out("info depth " + std::to_string(report->depth) + " score " + report->scoreText + " time " +
          std::to_string(elapsed) + " nodes " + std::to_string(nodes) + " nps " +
          std::to_string(nodes * 1000 / elapsed) + " pv " + report->pv);
      ++shownLines_;
    }
  } else if (Starts(line, "posting ")) {
    // A deep result of one engine goes into the others' tables.
    for (int r = 0; r < int(members_.size()); ++r)
      if (r != rank && members_[size_t(r)].searching) SendTo(r, "posted " + line.substr(8));
  } else if (Starts(line, "taking ")) {
    if (go_.Timed() && !go_.Ponder()) EndSearchSoon();
  } else if (Starts(line, "bestmove")) {
    if (m.stopping) {
      // Stopped to take over more moves: it starts again with the rest of the time.
      m.stopping = false;
      search_.BankNodes(rank);
      SendTo(rank, GoLineFor(m.share));
      return;
    }
    m.searching = false;
    m.bestMoveLine = line;
    Log("rank " + std::to_string(rank) + ": search " + std::to_string(job_) + ": nodes " +
        std::to_string(search_.NodesOf(rank)) + ", lines " + std::to_string(m.lines) + ", " + line);
    if (go_.Timed() && !go_.Ponder() && !go_.Infinite()) EndSearchSoon();
  }
}

std::vector<std::string> Controller::RootMoves(const std::vector<std::string>& restrict) const {
  std::vector<std::string> moves;
  if (!rootKnown_ || !CheckPositionConsistency(root_)) return moves;
  MoveList legal;
  GenerateLegalMoves(root_, legal);
  for (Move m : legal) {
    const std::string text = MoveToText(m);
    if (restrict.empty() || std::find(restrict.begin(), restrict.end(), text) != restrict.end())
      moves.push_back(text);
  }
  return moves;
}

// A rank's go line, with the time spent since the front end's clock started.
std::string Controller::GoLineFor(const std::vector<std::string>& share) const {
  return go_.LineFor(share, platform::NowMs() - clockStartMs_, ranksWithMoves_, job_);
}

// The front end's clock starts at "go", or at "ponderhit" for a ponder search;
// the time spent and the last-resort deadline count from there.
void Controller::StartClock(uint64_t nowMs) {
  clockStartMs_ = nowMs;
  const uint64_t lastResort = go_.LastResortMs();
  hardDeadline_ = lastResort ? nowMs + lastResort : 0;
}

void Controller::StartSearch(const std::string& goLine) {
  go_ = GoRequest(goLine, !rootKnown_ || root_.sideToMove == White);
  ++job_;
  startMs_ = platform::NowMs();
  StartClock(startMs_);
  ending_ = false;
  endDeadline_ = 0;
  shownLines_ = 0;
  search_.Begin(int(members_.size()));
  std::vector<int> ranks;
  for (int r = 0; r < int(members_.size()); ++r) {
    members_[size_t(r)].searching = members_[size_t(r)].stopping = false;
    members_[size_t(r)].share.clear();
    members_[size_t(r)].bestMoveLine.clear();
    members_[size_t(r)].lines = 0;
    if (members_[size_t(r)].usable) ranks.push_back(r);
  }
  const std::vector<std::string> moves = RootMoves(go_.SearchMoves());
  searching_ = true;
  if (moves.empty() || ranks.empty()) {
    // No move to share (mate, stalemate, or a position the engine refuses):
    // rank 0's engine answers as it would alone.
    members_[0].searching = true;
    members_[0].share.clear();
    SendTo(0, goLine);
    return;
  }
  const auto shares = DealRootMoves(moves, ranks.size());
  ranksWithMoves_ = int(std::count_if(shares.begin(), shares.end(), [](const auto& s) { return !s.empty(); }));
  for (size_t i = 0; i < ranks.size(); ++i) {
    if (shares[i].empty()) continue;
    Member& m = members_[size_t(ranks[i])];
    m.share = shares[i];
    m.searching = true;
    SendTo(ranks[i], GoLineFor(m.share));
    std::string list;
    for (const std::string& s : m.share) list += " " + s;
    Log("rank " + std::to_string(ranks[i]) + ": search " + std::to_string(job_) + ":" + list);
  }
}

void Controller::EndSearchSoon() {
  if (ending_) return;
  ending_ = true;
  endDeadline_ = platform::NowMs() + AnswerGraceMs;
  for (int r = 0; r < int(members_.size()); ++r)
    if (members_[size_t(r)].searching || members_[size_t(r)].stopping) SendTo(r, "stop");
}

void Controller::CheckSearchEnd() {
  if (!searching_) return;
  const uint64_t now = platform::NowMs();
  bool anySearching = false;
  for (const Member& m : members_) anySearching |= m.searching || m.stopping;
  if (!anySearching) return Answer();
  if (ending_ && now >= endDeadline_) {
    for (int r = 0; r < int(members_.size()); ++r)
      if (members_[size_t(r)].searching || members_[size_t(r)].stopping)
        Log("rank " + std::to_string(r) + ": no answer in time, left out of search " + std::to_string(job_));
    return Answer();
  }
  if (!go_.Ponder() && !go_.Infinite() && hardDeadline_ && now >= hardDeadline_) EndSearchSoon();
}

void Controller::CheckReady() {
  if (!readyOwed_) return;
  bool waiting = false;
  for (const Member& m : members_) waiting |= m.readyAwaited;
  if (waiting && platform::NowMs() < readyDeadline_) return;
  for (int r = 0; r < int(members_.size()); ++r)
    if (members_[size_t(r)].readyAwaited) {
      members_[size_t(r)].readyAwaited = false;
      Log("rank " + std::to_string(r) + ": no readyok in time");
    }
  for (; readyOwed_ > 0; --readyOwed_) Out("readyok");
}

void Controller::Answer() {
  searching_ = false;
  SharedSearch::Choice best = search_.Best();
  std::string move = best.move, ponder = best.ponder;
  // Without a line to go by, the first engine that answered decides.
  if (move.empty()) {
    for (const Member& m : members_) {
      const std::vector<std::string> w = SplitWords(m.bestMoveLine);
      if (w.size() >= 2 && w[1] != "0000" && w[1] != "(none)") {
        move = w[1];
        ponder = w.size() >= 4 ? w[3] : "";
        break;
      }
    }
  }
  if (rootKnown_ && (move.empty() || !FindLegalMove(root_, move.c_str()))) {
    MoveList legal;
    GenerateLegalMoves(root_, legal);
    move = legal.size ? MoveToText(legal.moves[0]) : "";
    ponder.clear();
  }
  for (Member& m : members_) {
    if (m.searching || m.stopping) ++m.lateAnswers;
    m.searching = m.stopping = false;
  }
  const uint64_t elapsed = std::max<uint64_t>(1, platform::NowMs() - startMs_);
  const uint64_t nodes = search_.Nodes();
  if (best.found)
    Out("info depth " + std::to_string(best.depth) + " score " + best.line.scoreText + " time " +
        std::to_string(elapsed) + " nodes " + std::to_string(nodes) + " nps " + std::to_string(nodes * 1000 / elapsed) +
        " pv " + best.line.pv);
  Log("search " + std::to_string(job_) + ": nodes " + std::to_string(nodes) + ", best " + move +
      (best.found ? " from rank " + std::to_string(best.rank) : std::string()));
  if (move.empty()) return Out("bestmove 0000");
  Out("bestmove " + move + (ponder.empty() ? "" : " ponder " + ponder));
}

void Controller::OnFrontEnd(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  const size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return;
  line = line.substr(start);
  if (line == "uci") {
    Out("id name Tolvo Cluster");
    if (!authorLine_.empty()) Out(authorLine_);
    for (const std::string& o : engine_.AnnouncedOptions()) Out(o);
    Out("uciok");
  } else if (line == "isready") {
    // Outside a search "readyok" waits until every engine has read (and
    // answered) what came before; during one it goes at once.
    if (readyOwed_ > 0) return void(++readyOwed_);
    if (searching_) return Out("readyok");
    readyOwed_ = 1;
    for (int r = 0; r < int(members_.size()); ++r) {
      members_[size_t(r)].readyAwaited = members_[size_t(r)].usable;
      if (members_[size_t(r)].usable) SendTo(r, "isready");
    }
    readyDeadline_ = platform::NowMs() + ReadyWaitMs;
    CheckReady();
  } else if (Starts(line, "setoption ")) {
    std::string lower = line;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("name uci_chess960 value true") != std::string::npos) Chess960Mode = true;
    if (lower.find("name uci_chess960 value false") != std::string::npos) Chess960Mode = false;
    SendToAll(line);
  } else if (line == "ucinewgame") {
    if (!searching_) SendToAll(line);
  } else if (Starts(line, "position")) {
    if (searching_) return;
    position_ = line;
    rootKnown_ = ReadPosition(position_, root_);
    SendToAll(line);
  } else if (Starts(line, "go")) {
    if (!searching_) StartSearch(line);
  } else if (line == "stop") {
    if (searching_) {
      go_.Stop();
      EndSearchSoon();
    }
  } else if (line == "ponderhit") {
    if (searching_ && go_.Ponder()) {
      go_.PonderHit();
      StartClock(platform::NowMs());   // the front end's clock runs from here
      for (int r = 0; r < int(members_.size()); ++r)
        if (members_[size_t(r)].searching) SendTo(r, "ponderhit");
    }
  } else if (line == "quit") {
    quit_ = true;
  } else if (!searching_) {
    SendTo(0, line);   // d, eval, perft and the like: rank 0's engine answers
  }
}

int Controller::Run() {
  members_.assign(size_t(link_.Size()), Member{});
  rootKnown_ = ReadPosition(position_, root_);
  if (!engine_.Start(options_.enginePath)) {
    std::fprintf(stderr, "tolvo-cluster: cannot start the engine %s\n", options_.enginePath.c_str());
    for (int r = 1; r < link_.Size(); ++r) link_.Send(r, Tag::Control, "quit");
    return 1;
  }
  engine_.Send("setoption name Slave Info value true");
  for (const std::string& o : options_.engineOptions) engine_.Send(SetOptionLine(o));
  members_[0].usable = true;
  Log("rank 0: engine ready, pid " + std::to_string(engine_.Pid()));
  authorLine_ = "id author Tolvo's developers";
  // Wait for the other ranks' engines.
  const uint64_t waitUntil = platform::NowMs() + RankWaitMs;
  int waiting = link_.Size() - 1;
  while (waiting > 0 && platform::NowMs() < waitUntil) {
    int from = 0;
    Tag tag;
    std::string text;
    if (link_.Poll(from, tag, text) && tag == Tag::Control) {
      OnControl(from, text);
      --waiting;
    } else {
      platform::SleepMs(1);
    }
  }
  platform::LineReader input(0);
  while (!quit_) {
    bool busy = PollRanks();
    for (;;) {
      const platform::InputState state = input.Poll();
      if (state == platform::InputState::Ended) {
        quit_ = true;
        break;
      }
      if (state == platform::InputState::Nothing) break;
      std::string line;
      input.ReadLine(line);
      OnFrontEnd(line);
      busy = true;
      if (quit_) break;
    }
    CheckSearchEnd();
    CheckReady();
    if (!busy) {
      std::string line;
      if (engine_.Poll(line, 1)) OnEngineLine(0, line);
    }
  }
  // Every rank ends its engine, then itself.
  for (int r = 1; r < link_.Size(); ++r) link_.Send(r, Tag::Control, "quit");
  engine_.Quit();
  int byes = link_.Size() - 1;
  const uint64_t byeUntil = platform::NowMs() + 10000;
  while (byes > 0 && platform::NowMs() < byeUntil) {
    int from = 0;
    Tag tag;
    std::string text;
    if (link_.Poll(from, tag, text)) {
      if (tag == Tag::Control && text == "bye") --byes;
    } else {
      platform::SleepMs(1);
    }
  }
  return 0;
}

}  // namespace cluster
