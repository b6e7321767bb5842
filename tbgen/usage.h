// The text of tolvo-tbgen --help.
#pragma once

namespace tbgen {
const char* UsageText();
}
