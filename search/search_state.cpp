#include "search/search.h"

SearchLimits Limits;
SearchState Search;
uint8_t* RandomizerBitmap = nullptr;
int RandomizerThreshold = 8;
bool RootSampleReports = false;
bool RootAllMovesReports = false;
