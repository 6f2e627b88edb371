#include "guards/clipboard/clipboard_memory.h"

#include "store/clipboard_state.h"
#include "support/log.h"

namespace {

int ReleaseByFormat(UINT format, HANDLE mem) {
    switch (format) {
        case CF_BITMAP:
        case CF_PALETTE:
        case CF_DSPBITMAP:
            DeleteObject(static_cast<HGDIOBJ>(mem));
            return 1;
        case CF_ENHMETAFILE:
        case CF_DSPENHMETAFILE:
            // Enhanced metafiles have their own release call; DeleteMetaFile
            // would leave them allocated.
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(mem));
            return 1;
        case CF_METAFILEPICT:
        case CF_DSPMETAFILEPICT: {
            // A global block holding a METAFILEPICT: free the metafile inside
            // it, then the block.
            if (auto* pict = static_cast<METAFILEPICT*>(GlobalLock(mem))) {
                HMETAFILE inner = pict->hMF;
                GlobalUnlock(mem);
                if (inner) DeleteMetaFile(inner);
            }
            return GlobalFree(mem) == nullptr ? 1 : 0;
        }
        default:
            return GlobalFree(mem) == nullptr ? 1 : 0;
    }
}

}  // namespace

int DelClipbrdMem(UINT format, HANDLE mem) {
    if (!mem) return 1;
    try {
        return ReleaseByFormat(format, mem);
    } catch (...) {
        LogError("DelClipbrdMem() Exception:uFormat=%d,hMem=%x", format,
                 static_cast<unsigned>(reinterpret_cast<uintptr_t>(mem)));
        return 0;
    }
}

void ReleaseOrphanedClipboardHandles() { store::ReleaseClipboardOrphans(DelClipbrdMem); }
