// Command rows through the binary: "slave mode", "play", the work-sharing
// words, the guards of a running search, table work deferred to its end, and
// how a process starts (child or not, configuration file).
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>
#include "platform/platform.h"
#include "tests/support/engine_process.h"
#include "tests/support/test_data.h"

namespace {
using Lines = std::vector<std::string>;

// The "info string" lines among what a running search writes.
Lines InfoStrings(const Lines& lines) {
  Lines found;
  for (const std::string& l : lines)
    if (l.rfind("info string ", 0) == 0) found.push_back(l);
  return found;
}

const char* const StartFenLine = "Fen: rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
}  // namespace

TEST(CommandsProtocol, SlaveModeAndWorkSharingWordsAreQuiet) {
  EngineProcess e;
  e.Send("position startpos moves e2e4");
  for (const char* line : {"slave mode 2", "slave mode x", "deny e7e5", "posted 20 15 1a2b3c e7e5", "take e7e5"})
    EXPECT_TRUE(Answer(e, line).empty()) << line;
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  e.Quit();
}

TEST(CommandsProtocol, PlayMakesLegalMovesAndRefusesOthers) {
  EngineProcess e;
  EXPECT_TRUE(Answer(e, "play e2e4").empty());
  EXPECT_TRUE(Answer(e, "PLAY e7e5\r").empty());
  const std::string afterTwo = "Fen: rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2";
  EXPECT_EQ(FenLine(e), afterTwo);
  // Illegal, unreadable or missing moves leave the board as it was.
  for (const char* line : {"play e1e3", "play zz99", "play", "play e7e5"}) {
    const Lines answer = Answer(e, line);
    ASSERT_EQ(answer.size(), 1u) << line;
    EXPECT_EQ(answer[0].rfind("info string Illegal or unreadable move", 0), 0u) << answer[0];
    EXPECT_EQ(FenLine(e), afterTwo) << line;
  }
  // A promotion without its letter is a queen.
  e.Send("position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(Answer(e, "play a7a8").empty());
  EXPECT_EQ(FenLine(e), "Fen: Q3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  e.Quit();
}

TEST(CommandsProtocol, GuardsOfARunningSearch) {
  EngineProcess e;
  e.Send("position startpos");
  e.Send("stop");   // nothing searched yet: nothing to report
  e.Send("go infinite");
  Lines before = e.ReadUntil("info depth");   // the search reports while it runs
  // "isready" is answered at once.
  const uint64_t start = platform::NowMs();
  for (const std::string& l : Drain(e)) before.push_back(l);
  EXPECT_LT(platform::NowMs() - start, Sanitized() ? 2000u : 500u);   // not after the (endless) search
  // Refused while the search runs: nothing changes, nothing answers.
  const Lines during = Answer(e, "position startpos moves e2e4");
  for (const char* line : {"play d2d4", "go depth 1", "ucinewgame", "tt"}) Answer(e, line);
  // Handled at once.
  EXPECT_EQ(CountPrefix(Answer(e, "setoption name MultiPV value 2"), "info string Displaying 2 variations."), 1);
  EXPECT_EQ(CountPrefix(Answer(e, "uci3"), "uci3ok"), 1);
  e.Send("stop");
  const Lines rest = e.ReadUntil("bestmove");
  EXPECT_NE(rest.back(), "bestmove 0000");
  const Lines after = Answer(e, "stop");   // idle now: reported again only to the log
  EXPECT_EQ(CountPrefix(Answer(e, "ponderhit"), "bestmove"), 0);
  for (const Lines* ls : {&std::as_const(before), &during, &rest, &after}) {
    EXPECT_EQ(CountPrefix(*ls, "id name"), 0);           // "ucinewgame" is no "uci"
    EXPECT_EQ(CountPrefix(*ls, "info string Max CPUs"), 0);   // no "tt"
    EXPECT_EQ(CountPrefix(*ls, "bestmove"), int(ls == &rest));
  }
  EXPECT_EQ(FenLine(e), StartFenLine);
  // Idle again: the same lines act.
  e.Send("play e2e4");
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  e.Quit();
}

TEST(CommandsProtocol, TableChangesDuringASearchWaitForItsEnd) {
  const ScratchDirectory scratch;
  const std::filesystem::path& dir = scratch.Path();
  EngineProcess e({}, TOLVO_BINARY, dir.string());
  const std::string probe = "probe fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
  EXPECT_EQ(Answer(e, "setoption name Hash File value saved.thf"), Lines{"info string Hash file set to saved.thf"});
  e.Send("write 77 fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  e.Send("position startpos moves e2e4");
  e.Send("go infinite");
  platform::SleepMs(100);
  // Confirmed at once; the table stays as it is until the best move is out.
  EXPECT_EQ(InfoStrings(Answer(e, "setoption name Hash value 16")), Lines{"info string Hash size set to 16 mb"});
  EXPECT_EQ(InfoStrings(Answer(e, "setoption name Hash value 100")), Lines{"info string Hash size set to 64 mb"});
  // A clear is confirmed when the table is clear, after the search.
  EXPECT_EQ(InfoStrings(Answer(e, "setoption name Clear Hash")), Lines{});
  EXPECT_EQ(InfoStrings(Answer(e, "setoption name Save Hash")), Lines{});
  const Lines probed = Answer(e, probe);
  EXPECT_EQ(CountPrefix(probed, "info probe position fen 4k3/8/8/8/8/8/8/R3K3 w - - 0 1 move a1a1 depth 25 ex 77"), 1);
  platform::SleepMs(100);
  e.Send("stop");
  const Lines lines = e.ReadUntil("info string Save hash");
  ASSERT_GE(lines.size(), 4u);
  // One restart for both sizes, with the later one, then the clear, then the save.
  EXPECT_EQ(lines.back(), "info string Save hash invoked and succeeded - 64 mb saved to saved.thf.");
  EXPECT_EQ(lines[lines.size() - 2], "info string Hash clear invoked.");
  EXPECT_EQ(lines[lines.size() - 3], "info string Children restarted.");
  EXPECT_EQ(CountPrefix(lines, "info string Children restarted."), 1);
  const std::string best = lines[lines.size() - 4];
  EXPECT_EQ(best.rfind("bestmove ", 0), 0u) << best;
  EXPECT_NE(best, "bestmove 0000");
  EXPECT_EQ(std::filesystem::file_size(dir / "saved.thf"), 64u << 20);
  EXPECT_EQ(Answer(e, probe), Lines{"info string Probed position not found."});
  EXPECT_EQ(FenLine(e), "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  // Pondering that ended by itself keeps its move, and the table its size, until "stop".
  e.Send("position fen 7k/8/8/8/8/8/8/K5R1 w - - 0 1");
  e.Send("go ponder depth 3");
  platform::SleepMs(300);
  EXPECT_EQ(InfoStrings(Answer(e, "setoption name Hash value 2")), Lines{"info string Hash size set to 2 mb"});
  EXPECT_EQ(CountPrefix(Drain(e), "info string Children"), 0);
  e.Send("stop");
  const Lines pondered = e.ReadUntil("info string Children restarted.");
  ASSERT_GE(pondered.size(), 2u);
  EXPECT_EQ(pondered[pondered.size() - 2].rfind("bestmove ", 0), 0u);
  EXPECT_NE(pondered[pondered.size() - 2].rfind("bestmove 0000", 0), 0u);
  e.Quit();
}

// A renamed binary still counts its fields from its own entry: five or more
// make a child, which without its parent says so and ends; four do not.
TEST(StartupProtocol, ARenamedBinaryCountsItsFieldsFromItsOwnEntry) {
  const ScratchDirectory scratch;
  const std::string engine = (scratch.Path() / "engine").string();
  std::filesystem::copy_file(TOLVO_BINARY, engine);
  for (const Lines& fields :
       {Lines{"4242", "2", "32", "1", "2", "1", "4242"}, Lines{"4242", "1", "32", "0", "2"}}) {
    EngineProcess child(fields, engine);
    EXPECT_EQ(child.ReadAll(), Lines{"*** - cannot open the shared areas of parent process 4242, exiting."});
    EXPECT_EQ(child.Wait(), 1);
  }
  EngineProcess alone({"0", "2", "16", "9"}, engine);
  alone.Send("uci");
  EXPECT_EQ(alone.WaitFor("id name"), "id name Tolvo engine 0 2 16 9");   // the whole command line names it
  EXPECT_EQ(Answer(alone, "setoption name Hash value 16").back(), "info string Hash size set to 16 mb");
  alone.Quit();
}

namespace {
// Scores of e2e4 from the start position: searched once, again after the
// position it leads to has been played (marked), and again after `change`.
// Two moves are searched so that no "only move" haste cuts the search short;
// the other one is poor, so that e2e4 is the move played.
std::vector<int> ScoresOfAPlayedPosition(const std::string& config, const std::string& change) {
  const ScratchDirectory dir;
  if (!config.empty()) std::ofstream(dir.Path() / "tolvo.config") << config << "\n";
  EngineProcess e({}, TOLVO_BINARY, dir.Text());
  e.Send("setoption name Max CPUs value 1");   // one process: the same scores every time
  e.Send("setoption name MultiPV value 2");
  std::vector<int> scores(3, -99999);
  for (int& score : scores) {
    if (&score == &scores[2]) e.Send(change);
    e.Send("ucinewgame");
    e.Send("position startpos");
    e.Send("go depth 1 searchmoves e2e4 a2a3");
    for (const std::string& l : e.ReadUntil("bestmove")) {
      const size_t at = l.find(" depth 1 score cp ");
      if (at != std::string::npos && l.find(" pv e2e4") != std::string::npos) score = std::stoi(l.substr(at + 18));
    }
  }
  e.Send("quit");
  e.Wait();
  return scores;
}
}  // namespace

TEST(StartupProtocol, ConfigurationFileTurnsOnTheRandomizer) {
  // Without the randomizer a played position looks no different.
  const std::vector<int> plain = ScoresOfAPlayedPosition("", "");
  ASSERT_NE(plain[0], -99999);
  EXPECT_EQ(plain, std::vector<int>(3, plain[0]));
  // "randomize": positions already played look worse by the threshold 8,
  // until the marks are forgotten (reset, or the mode switched on afresh).
  EXPECT_EQ(ScoresOfAPlayedPosition("randomize", "setoption name kvx5_randomizer_reset"),
            (std::vector<int>{plain[0], plain[0] - 8, plain[0]}));
  EXPECT_EQ(ScoresOfAPlayedPosition("randomize=20 ignored words", "setoption name kvx5_randomizer_mode value true"),
            (std::vector<int>{plain[0], plain[0] - 20, plain[0]}));
}
