#include "board/material_key.h"

int32_t MaterialAdjustment[16];
