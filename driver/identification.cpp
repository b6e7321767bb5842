// The "uci" answer: the engine's name from its own command line, its author,
// the option list and "uciok".
#include <cctype>
#include "common/output.h"
#include "driver/engine.h"
#include "driver/options.h"

bool WordTolvoAt(const std::string& s, size_t i) {
  static const char word[] = "tolvo";
  if (i + 5 > s.size()) return false;
  for (size_t k = 0; k < 5; ++k)
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return false;
  return true;
}

// The name is the program's file name around the word "Tolvo": a directory
// part is dropped (at '/' or '\'), repeated blanks are collapsed, the text
// from the first full stop on is cut, and anything before the word becomes
// a prefix ("Blue Tolvo 2"). A name without the word reads "Tolvo <name>".
std::string BuildEngineName(const std::string& commandLine) {
  std::string buffer = " ", prefix;
  bool found = false;
  for (size_t i = 0; i < commandLine.size(); ++i) {
    char c = commandLine[i];
    if (c == '\\' || c == '/') {
      buffer.assign(1, ' ');
      continue;
    }
    if (c == ' ' && buffer.back() == ' ') continue;
    if (WordTolvoAt(commandLine, i)) {
      prefix = buffer.substr(0, buffer.size() - 1);
      buffer.assign(1, ' ');
      i += 4;
      found = true;
      continue;
    }
    buffer += c;
  }
  if (buffer == " ") buffer.clear();
  size_t stop = buffer.find('.');
  if (stop != std::string::npos) buffer.resize(stop);
  std::string name;
  if (found && prefix.size() > 1) name.append(prefix, 1, std::string::npos).append(" ");
  name.append("Tolvo").append(buffer);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

void HandleUci() {
  Send("id name %s", BuildEngineName(platform::CommandLine()).c_str());
  Send("id author %s", EngineAuthor);
  AnnounceOptions();
  Send("uciok");
}
