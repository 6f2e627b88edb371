#include "identify/copy_rights.h"

#include "host/process_context.h"
#include "identify/common_doc.h"

bool CopyAllowed(const _ZEL_HOOK_INFO_& rec) {
    return HasPermission(rec, 'A') || HasPermission(rec, 'C');
}

bool IsClipboardCopyDenied() {
    CCommonDoc* doc = DocObject();
    if (!doc) return false;
    _ZEL_HOOK_INFO_ rec{};
    return doc->IsZelDoc(rec) && !CopyAllowed(rec);
}
