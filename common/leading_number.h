// The engine's reading of a number inside a command line.
#pragma once
#include <string>

// Decimal number at `from` with the usual leading-number rule: blanks
// skipped, optional sign, digits up to the first other character; 0 when
// there is none (or `from` lies past the end). Clamped to the int range.
int LeadingNumber(const std::string& text, size_t from);
