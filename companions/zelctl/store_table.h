#pragma once
// The store as a readable table: the records, the watermark settings and the
// KORB settings, read afresh from the shared section.
#include <cstdio>

class CHookInterface;

namespace zelctl {

// all: also print slots that are entirely empty.
void PrintStore(CHookInterface& iface, bool all, FILE* out);

}  // namespace zelctl
