#pragma once
// The store as a readable table: the records, the watermark settings and the
// KORB settings, read afresh from the shared section.
#include <cstdio>

#include "store/hook_info.h"

class CHookInterface;

namespace zelctl {

// The slot that holds exactly this record now, or -1.
int SlotHolding(CHookInterface& iface, const _ZEL_HOOK_INFO_& rec);

// all: also print slots that are entirely empty.
void PrintStore(CHookInterface& iface, bool all, FILE* out);

}  // namespace zelctl
