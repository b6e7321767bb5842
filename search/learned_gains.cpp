#include "search/learned_gains.h"

#include <cstring>

LearnedGains Gains;

void ForgetLearnedGains() { std::memset(&Gains, 0, sizeof Gains); }
