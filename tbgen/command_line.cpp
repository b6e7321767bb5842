#include "tbgen/command_line.h"
#include <algorithm>
#include <cstdlib>

namespace tbgen {

const std::vector<std::string>& OptionNames() {
  static const std::vector<std::string> names = {"-h", "--help", "--index", "--probe", "-o",
                                                 "--threads", "--all", "--verify", "--verify-only",
                                                 "--compress", "-q", "--quiet"};
  return names;
}

CommandLine ReadCommandLine(const std::vector<std::string>& args, int defaultThreads) {
  CommandLine line;
  GenerationOptions& o = line.options;
  o.threads = defaultThreads;
  auto mistake = [&](const std::string& what) {
    line.action = CommandLine::Action::Mistake;
    line.mistake = what;
    return line;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    auto rest = [&] { return std::vector<std::string>(args.begin() + long(i) + 1, args.end()); };
    if (a.empty() || a[0] != '-') {
      o.tables.push_back(a);
      continue;
    }
    // Only the names of the list get here: an option missing from it is
    // refused like an unknown one, so the list (which the tests hold against
    // the usage text and the manual page) cannot fall behind.
    if (std::find(OptionNames().begin(), OptionNames().end(), a) == OptionNames().end())
      return mistake("unknown option " + a);
    if (a == "--help" || a == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (a == "--index") {
      line.action = CommandLine::Action::Index;
      line.fens = rest();
      return line;
    } else if (a == "--probe") {
      const std::string* dir = value();
      if (!dir) return mistake("--probe needs a directory");
      line.action = CommandLine::Action::Probe;
      line.probeDirectory = *dir;
      line.fens = rest();
      return line;
    } else if (a == "-o") {
      const std::string* dir = value();
      if (!dir) return mistake("-o needs a directory");
      o.dir = *dir;
    } else if (a == "--threads") {
      const std::string* n = value();
      if (!n || std::atoi(n->c_str()) < 1) return mistake("--threads needs a number of threads (1 or more)");
      o.threads = std::atoi(n->c_str());
    } else if (a == "--all") {
      const std::string* n = value();
      if (!n) return mistake("--all needs a number of men");
      o.allMen = std::atoi(n->c_str());
    } else if (a == "--verify") {
      o.verify = true;
    } else if (a == "--verify-only") {
      o.verifyOnly = true;
    } else if (a == "--compress") {
      o.compress = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else {
      return mistake("option " + a + " is listed but not handled");
    }
  }
  return line;
}

}  // namespace tbgen
