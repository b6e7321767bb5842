#include "group/exchange_area.h"

#include <cstring>

namespace {
// A process on its own publishes into private memory of the same layout.
ExchangeArea privateArea;
}  // namespace

ExchangeArea* Exchange = &privateArea;
ExchangeArea* PrivateExchangeArea() {
  // Handed out afresh each time, like a newly made shared one: what an
  // earlier group published there must not count for the next.
  std::memset(static_cast<void*>(&privateArea), 0, sizeof privateArea);
  return &privateArea;
}
