#include "store/shared_section.h"

// The section must be initialised data: a zero-filled variable would land in
// .bss, which the loader never shares. bAfterEmpty = 1 is the only non-zero byte.
__attribute__((section(".zelshr"), shared)) SharedSection g_shared = {
    /* bZelEmptying */ 0,
    /* bAfterEmpty  */ 1,
};
