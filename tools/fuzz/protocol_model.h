// What a front end may expect from the engine, kept line by line while the
// fuzzer talks to it: which commands the engine accepts at the moment it
// reads them, which searches and counts run, what each must answer, and the
// game position (tracked with the engine's own board library), and for each
// search what a work-sharing controller's lines may have done to its root
// moves. Every output line is checked against it; the first broken rule
// becomes the fault.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>
#include "board/position.h"
#include "tools/fuzz/root_control.h"

namespace fuzz {

struct Timeouts {
  int readyMs = 5000;    // "isready" -> "readyok"
  // An "isready" waits behind a running count (perft, bench), which may take a
  // while even at the depths the generator picks: it gets this many times readyMs.
  static constexpr int countReadyFactor = 12;
  int stopMs = 5000;     // "stop" -> the answer of the search or count it ends
  int exitMs = 5000;     // "quit" or end of input -> the process has ended
  int settleMs = 700;    // a search or count may run this long before the fuzzer stops it
  int earlyMs = 25;      // time given to an early answer of a ponder/infinite search
  // After an answer the engine's other processes must fall idle: from this
  // long after it, their CPU time may grow by a tick or two (a process
  // reading its input) in a window of this length; a child busier than that
  // in this many windows in a row is still searching.
  int childGraceMs = 500;
  int childSampleMs = 300;
  static constexpr int childSlackTicks = 2;
  static constexpr int childBusyWindows = 3;
};

struct Fault {
  std::string signature;   // what went wrong and where: equal signatures are one fault
  std::string detail;      // the evidence
};

// How much of the controller's dialogue a run exercised (for its summary).
struct ControllerStats {
  uint64_t searches = 0;       // answered searches with "slave N", N > 0
  uint64_t lines = 0;          // "deny", "take" and MultiPV lines sent while a search ran
  uint64_t linesRead = 0;      // of those, known to have been read during the search
  uint64_t takings = 0;        // "taking" lines
  uint64_t takingsOwed = 0;    // searches that owed one (and gave it)
  uint64_t results = 0;        // result lines
  uint64_t postings = 0;       // "posting" lines
  uint64_t childChecks = 0;    // samples of the child processes' CPU time after an answer
  void Add(const ControllerStats& o);
};

// The engine reads lines of at most this many bytes; the rest of a longer line is dropped.
constexpr size_t EngineLineCap = size_t(1) << 20;

// "go" / "goe" as the engine reads it (keywords exact, letter case matters).
struct GoLine {
  bool silent = false;       // first word "goe": one-line answer, no "bestmove"
  bool pending = false;      // "ponder" or "infinite": the answer waits for "stop" or "ponderhit"
  std::string pendingWord;   // which of the two
  int32_t slave = 0;         // non-zero: the search reports nothing but its result and the controller's lines
  bool slaveGiven = false;   // "slave" was given (it sets MultiPV, also to 1)
  bool bounded = false;      // a depth, node, time or mate limit ends it by itself
  bool limited = false;      // a depth, node, time or mate limit other than the clock
  bool clock = false;        // the side to move's clock was given
  int32_t ownTime = 0, ownInc = 0, movesToGo = 0;
  bool idGiven = false;
  int32_t id = 0;            // "id J": the job the controller's lines name
  std::vector<Move> searchMoves;
};
// `legalFrom` (null when unknown or not a legal position) supplies the search
// moves; `side` decides whether "wtime"/"winc" or "btime"/"binc" take a value.
GoLine ReadGo(const std::string& line, const Position* legalFrom, Color side);

// The engine's game position as the fuzzer knows it.
struct GameState {
  bool known = true;
  Position position;
  int plies = 0;           // moves played since the FEN (the "d" move number)
  GameState();
  bool Legal() const;      // known and passes the engine's consistency check
};
// "position ..." as the engine applies it. Leaves the state unknown when the
// outcome cannot be predicted (moves played on a board that is not legal).
void ApplyPosition(GameState& g, std::string line);
// "play <move>"; refused (no change) unless legal.
void ApplyPlay(GameState& g, const std::string& line);

// How a guarded command ("position", "go", "perft", ...) fares when read now.
enum class Guard { Accepted, Refused, Unknown };

class ProtocolModel {
 public:
  explicit ProtocolModel(const Timeouts& timeouts);

  // Bytes written to the engine's input (split into lines as the engine does).
  void OnInput(const std::string& bytes, uint64_t now);
  // Input closed; a last line without its line feed still counts.
  void OnInputEnd(uint64_t now);
  void OnOutput(const std::string& line, uint64_t now);
  // Deadline checks (answers after "isready" and "stop").
  void OnTick(uint64_t now);
  // The process has ended: output owed by commands read before the end is lost.
  void OnExit();
  // A hang seen by the caller (the process did not end in time).
  void ReportExitHang(int waitedMs);
  // A fault the caller saw outside the engine's output (its other processes).
  void ReportFault(const std::string& signature, const std::string& detail) { Fail(signature, detail); }

  bool HasFault() const { return !faults_.empty(); }
  const Fault& FirstFault() const { return faults_.front(); }

  // State the generator and the waits need.
  Guard NextGuard() const;
  bool WorkOutstanding() const { return !work_.empty(); }
  // A search or count the engine runs to its end (or until a "stop").
  bool FiniteWorkRunning() const;
  // A "ponder"/"infinite" search whose answer waits for "stop"/"ponderhit".
  bool PendingUnreleased() const;
  bool Desynced() const { return desynced_; }
  bool QuitRead() const { return quitRead_; }
  // Is a perft or bench still owing its output? ("quit" waits for it.)
  bool CountRunning() const;
  // Is a count running that may take minutes or for ever (a full bench, an
  // extreme depth)? A held "isready" is answered only after a "stop" then.
  // (Unknown once the model has lost track.)
  bool LongCountRunning() const;
  int ReadyOutstanding() const { return readySent_ - readyReceived_; }
  const GameState& Game() const { return game_; }
  uint64_t LinesRead() const { return linesRead_; }

  // The newest search not yet answered, for the controller's lines (null when none).
  struct SearchView {
    bool pending = false;            // waits for "stop"/"ponderhit"
    bool stopped = false;
    int slave = 0;
    std::shared_ptr<const Position> position;   // null when not known or not legal
    std::vector<Move> candidates;    // root moves it may still hold (empty when not known)
  };
  bool ActiveSearch(SearchView& view) const;
  // Answers (bestmove lines, goe answers) seen so far, and what the last one answered.
  uint64_t Answers() const { return answers_; }
  const std::string& LastAnswered() const { return lastAnswered_; }
  ControllerStats& Stats() { return stats_; }
  // Nothing runs or is owed, and nothing sent since the last search began can
  // make the engine's other processes work: they should be idle now.
  bool GroupShouldBeIdle() const;

 private:
  // SilentSearch: "goe", one answer line. QuietSearch: "go ... slave N", N > 0:
  // nothing but its best move and the controller's lines.
  enum class Kind { Search, SilentSearch, QuietSearch, Perft, Bench };
  struct Work {
    Kind kind = Kind::Search;
    std::string command;
    bool pending = false;          // answer waits for "stop"/"ponderhit"
    bool released = false;         // "stop" or "ponderhit" has been read
    bool stopped = false;          // "stop" read: the engine is idle once it is handled
    uint64_t answerDeadline = 0;   // set by "stop": the answer is due by then
    bool positionKnown = false;    // `position` holds the board searched or counted
    bool legal = false;            // that board passes the consistency check
    bool gameReplaced = false;     // (goe) a later command set a new game position
    std::shared_ptr<Position> position;
    std::vector<Move> searchMoves;
    int moveLines = 0;             // (perft) per-move lines seen
    uint64_t sum = 0;              // (perft, bench) counts summed from the lines
    int readyIndex = 0;            // non-zero: must be done before this "readyok"
    std::string context;
    // Searches: what the controller's lines may have done to it, and its terms.
    std::shared_ptr<RootControl> control;
    int32_t searchId = 0;          // the job named by its result and "taking" lines
    bool clockEnds = false;        // only its own clock can end it: a controlled one owes "taking"
    bool silenced = false;         // reports nothing but its answer and the controller's lines
    bool goRead = false;           // the engine is known to have read its go line
    int provable = -1;             // controller lines read before an isready answered while it may have run
  };
  struct Expectation {
    std::string command;           // keyword of the command
    std::vector<std::string> markers;   // a line starting with any of these answers it
    int readyIndex = 0;            // the "readyok" before which it is due
    std::string context;
    bool fulfilled = false;
    std::string fen;               // ("d") the expected "Fen:" line, empty when unknown
  };

  void Dispatch(const std::string& line, uint64_t now);
  void AcceptGo(const std::string& line, uint64_t now);
  void AcceptTestSearches(const std::string& line);
  void AcceptCount(const std::string& word, const std::string& line);
  void Stop(uint64_t now);
  void PonderHit();
  void Expect(const std::string& command, std::vector<std::string> markers, std::string fen = "");
  std::string OutputContext() const;
  bool GoeAnswerOutstanding() const;
  bool GoeSearchRunning() const;
  void ForgetGamePositionIfGoePending();
  Work SearchWork(Kind kind, const std::string& command, const GameState& g) const;
  // Signature of a search or count that owes its answer.
  std::string NoAnswer(const Work& w) const;
  // The searches and counts still owed an answer, one per line, for a hang report.
  std::string WorkOwedText() const;

  void OnReadyOk();
  void OnBestMove(const std::string& line);
  void OnGoeAnswer(const std::string& line);
  void OnSearchInfo(const std::string& line);
  void OnCountLine(const std::string& line);
  void OnTaking(const std::string& line);
  void OnPosting(const std::string& line);
  void OnResultLine(const std::string& line);
  // A line only a running search writes: what the engine had read before it, it read during the search.
  void SearchWasRunning(Work& w);
  void ControllerLine(const std::string& line);
  Work* NewestSearch();
  Work* WorkOf(const RootControl* control);
  int MultiPvNow() const;
  bool Overtaken(const std::string& line);
  // Checks of an answer that depend on the controller's lines; true after a fault.
  bool ControlledAnswerFault(const Work& w, Move m, const std::string& line);
  // The front search has answered.
  void FinishSearch();
  Work* ControlledFront(const std::string& line, const char* what);
  bool MatchExpectation(const std::string& line);
  void Fail(const std::string& signature, const std::string& detail);
  // Moves of the text from `p` (a copy); false with the offending move when one is not legal.
  static bool PlayMoves(Position p, const std::vector<std::string>& moves, size_t from, std::string& bad);

  Timeouts timeouts_;
  std::vector<Fault> faults_;
  GameState game_;
  std::deque<Work> work_;
  std::deque<Expectation> expected_;
  static constexpr uint64_t NoDeadline = ~uint64_t(0);
  std::deque<uint64_t> readyDeadlines_;
  int readySent_ = 0, readyReceived_ = 0;
  // Per isready not yet answered: the newest search then and how many of its
  // controller lines came before it; whether that search could only end by
  // itself then (so a readyok before its answer shows it still ran).
  struct ReadyMark {
    std::shared_ptr<RootControl> control;
    int lines = 0;
    bool finite = false;
  };
  std::deque<ReadyMark> readyMarks_;
  int32_t slave_ = 0;
  int multiPv_ = 1;               // MultiPV between searches (-1: not known)
  int32_t searchId_ = 0;          // the last "id" given
  bool timeRulesChanged_ = false; // a time-control option or the strength limit was set
  bool optionSinceGo_ = false;    // a setoption line since the last search began
  uint64_t answers_ = 0;
  std::string lastAnswered_;
  ControllerStats stats_;
  bool goeSilent_ = false;        // the engine's silent mode after "goe"
  bool desynced_ = false;
  bool countSentDesynced_ = false;   // a perft or bench the engine may or may not have run
  bool quitRead_ = false;
  bool inputEnded_ = false;
  std::string partial_;           // input line still without its line feed
  bool dropping_ = false;         // inside the dropped tail of an over-long line
  uint64_t linesRead_ = 0;
};

}  // namespace fuzz
