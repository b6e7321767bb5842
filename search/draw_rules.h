// The draws a search recognises by rule.
#pragma once
#include "board/position.h"
#include "search/search.h"

// Draws by the fifty-move rule (shorter in a silent "goe" search) or by repetition.
inline uint32_t FiftyMoveLimit(const SearchContext& s) {
  return s.limits.silentMode ? SilentSearchFiftyMoveRule : FiftyMoveRule;
}
inline bool IsDrawByRule(const SearchContext& s, const Position& p) {
  return p.st.fifty >= FiftyMoveLimit(s) || IsRepetition(p);
}
