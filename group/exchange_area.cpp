#include "group/exchange_area.h"

namespace {
// A process on its own publishes into private memory of the same layout.
ExchangeArea privateArea;
}  // namespace

ExchangeArea* Exchange = &privateArea;
ExchangeArea* PrivateExchangeArea() { return &privateArea; }
