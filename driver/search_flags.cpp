// Driver state the search reads.
#include "driver/engine.h"

bool PonderOrInfinitePending() { return Engine.ponderInfinitePending; }
