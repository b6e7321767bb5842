#include "tools/fuzz/root_control.h"

#include <algorithm>
#include <cctype>
#include "board/notation.h"

namespace fuzz {

namespace {
// More states than this and the model stops judging the search: a session
// that sends that many unresolved lines tests the engine's robustness, not
// its answers.
constexpr size_t MaxStates = 512;

bool Holds(const std::vector<Move>& moves, const std::string& key, Move* found = nullptr) {
  for (Move m : moves)
    if (MoveToText(m) == key) {
      if (found) *found = m;
      return true;
    }
  return false;
}

void AddUnique(std::vector<RootState>& states, const RootState& s) {
  if (std::find(states.begin(), states.end(), s) == states.end()) states.push_back(s);
}
}  // namespace

std::string ControllerMoveKey(const std::string& text) {
  char t[5] = {0, 0, 0, 0, 0};
  for (size_t i = 0; i < 5 && i < text.size() && text[i]; ++i) t[i] = text[i];
  auto isFile = [](char c) { return (c >= 'a' && c <= 'h') || (c >= 'A' && c <= 'H'); };
  auto isRank = [](char c) { return c >= '1' && c <= '8'; };
  if (!isFile(t[0]) || !isRank(t[1]) || !isFile(t[2]) || !isRank(t[3])) return "";
  std::string key = {char(std::tolower(t[0])), t[1], char(std::tolower(t[2])), t[3]};
  if (key.substr(0, 2) == key.substr(2, 2)) return "";
  if (t[4] == 'q' || t[4] == 'r' || t[4] == 'b' || t[4] == 'n') key += t[4];
  return key;
}

bool RootState::operator==(const RootState& o) const {
  return read == o.read && multiPv == o.multiPv && moves == o.moves && count == o.count && took == o.took;
}

void RootControl::Start(const std::vector<Move>* rootMoves, int multiPv, int slave) {
  known_ = rootMoves != nullptr;
  lost_ = false;
  slave_ = slave;
  takingSeen_ = false;
  closedAt_ = -1;
  lines_.clear();
  RootState s;
  s.multiPv = multiPv;
  if (known_) s.moves = *rootMoves;
  s.count = known_ ? int(s.moves.size()) : -1;
  states_ = {s};
}

void RootControl::Deny(const std::string& moveText) { lines_.push_back({Kind::Deny, ControllerMoveKey(moveText)}); }
void RootControl::Take(const std::string& moveText) { lines_.push_back({Kind::Take, ControllerMoveKey(moveText)}); }
void RootControl::MultiPv(int value) { lines_.push_back({Kind::MultiPv, "", value}); }

void RootControl::Close() {
  if (closedAt_ < 0) closedAt_ = int(lines_.size());
}

void RootControl::Advance(const RootState& s, const Line& line, std::vector<RootState>& out) const {
  RootState next = s;
  ++next.read;
  switch (line.kind) {
    case Kind::MultiPv:
      next.multiPv = line.value;
      break;
    case Kind::Take:
      // The entry named stays alone; a name the table lacks keeps its first entry.
      if (s.count == 0) break;
      if (known_ && s.count == int(s.moves.size())) {
        Move m = 0;
        if (Holds(s.moves, line.key, &m)) next.moves = {m};
      }
      next.count = 1;
      break;
    case Kind::Deny: {
      // Only while the table has two entries and two lines are searched; then one line fewer.
      const bool refused = (s.count >= 0 && s.count < 2) || (s.multiPv >= 0 && s.multiPv < 2);
      if (refused) break;
      if (s.count < 0 || s.multiPv < 0) out.push_back(next);   // it may have been refused
      if (next.multiPv > 0) --next.multiPv;
      if (known_) {
        next.moves.erase(std::remove_if(next.moves.begin(), next.moves.end(),
                                        [&](Move m) { return MoveToText(m) == line.key; }),
                         next.moves.end());
        next.count = int(next.moves.size());
      }
      break;
    }
  }
  out.push_back(next);
}

std::vector<RootState> RootControl::Expanded() const {
  std::vector<RootState> all;
  std::vector<RootState> frontier = states_;
  const int limit = SearchLines();
  while (!frontier.empty() && all.size() <= MaxStates * 8) {
    std::vector<RootState> next;
    for (const RootState& s : frontier) {
      AddUnique(all, s);
      if (s.read < limit) Advance(s, lines_[size_t(s.read)], next);
    }
    frontier.swap(next);
  }
  return all;
}

void RootControl::Keep(std::vector<RootState> states) {
  std::vector<RootState> unique;
  for (const RootState& s : states) AddUnique(unique, s);
  if (unique.size() > MaxStates) lost_ = true;
  states_ = std::move(unique);
}

void RootControl::ReadAtLeast(int lines) {
  if (lost_) return;
  lines = std::min(lines, SearchLines());
  std::vector<RootState> result, frontier;
  for (const RootState& s : states_) (s.read >= lines ? result : frontier).push_back(s);
  while (!frontier.empty()) {
    std::vector<RootState> next;
    for (const RootState& s : frontier) Advance(s, lines_[size_t(s.read)], next);
    frontier.clear();
    for (const RootState& s : next) (s.read >= lines ? result : frontier).push_back(s);
    if (frontier.size() > MaxStates) {
      lost_ = true;
      return;
    }
  }
  Keep(std::move(result));
}

bool RootControl::Taking(const std::string& moveText) {
  takingSeen_ = true;
  if (lost_) return true;
  const std::string key = ControllerMoveKey(moveText);
  std::vector<RootState> result;
  for (const RootState& s : Expanded()) {
    Move m = 0;
    if (s.took || (s.multiPv > 1) || (s.count >= 0 && s.count < 2)) continue;
    if (known_ && !Holds(s.moves, key, &m)) continue;
    RootState t = s;
    t.took = true;
    t.count = 1;
    if (known_) t.moves = {m};
    result.push_back(t);
  }
  if (result.empty()) return false;
  Keep(std::move(result));
  return true;
}

bool RootControl::MayHold(Move m) const {
  if (!Known()) return true;
  for (const RootState& s : Expanded())
    for (Move x : s.moves)
      if (SameMove(x, m)) return true;
  return false;
}

bool RootControl::TakingOwed() const {
  if (!Known() || slave_ <= 0 || takingSeen_) return false;
  for (const RootState& s : Expanded())
    if (s.multiPv != 1 || s.count < 2) return false;
  return true;
}

int RootControl::MultiPvAfter() const {
  if (lost_) return -1;
  int value = -2;
  for (const RootState& s : Expanded()) {
    int v = s.multiPv;
    // What the search did not read, it reads afterwards: only MultiPV lines still act.
    for (size_t i = size_t(s.read); i < lines_.size(); ++i)
      if (lines_[i].kind == Kind::MultiPv) v = lines_[i].value;
    if (value == -2) value = v;
    else if (value != v) return -1;
  }
  return value == -2 ? -1 : value;
}

int RootControl::SurelyRead() const {
  if (lost_) return 0;
  int read = SearchLines();
  for (const RootState& s : states_) read = std::min(read, s.read);
  return read;
}

std::vector<Move> RootControl::Candidates() const {
  std::vector<Move> all;
  for (const RootState& s : Expanded())
    for (Move m : s.moves)
      if (std::find(all.begin(), all.end(), m) == all.end()) all.push_back(m);
  return all;
}

std::string RootControl::Describe() const {
  if (!Known()) return "root moves not known";
  std::string text;
  const std::vector<RootState> all = Expanded();
  for (size_t i = 0; i < all.size() && i < 6; ++i) {
    const RootState& s = all[i];
    text.append("\n      [").append(std::to_string(s.read)).append(" of ").append(std::to_string(lines_.size()));
    text.append(" lines read, MultiPV ").append(s.multiPv < 0 ? std::string("?") : std::to_string(s.multiPv));
    text.append(", ").append(std::to_string(s.count)).append(s.count == 1 ? " entry" : " entries");
    text.append(s.took ? ", taken:" : ":");
    for (size_t k = 0; k < s.moves.size() && k < 12; ++k) text.append(" ").append(MoveToText(s.moves[k]));
    if (s.moves.size() > 12) text += " ...";
    text += "]";
  }
  if (all.size() > 6) text.append("\n      (").append(std::to_string(all.size() - 6)).append(" more states)");
  return text;
}

}  // namespace fuzz
