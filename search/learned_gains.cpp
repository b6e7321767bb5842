#include "search/learned_gains.h"

#include <cstring>

void ForgetLearnedGains(LearnedGains& gains) { std::memset(&gains, 0, sizeof gains); }
