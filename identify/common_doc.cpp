#include "identify/common_doc.h"

#include <windows.h>

#include "host/process_context.h"

CCommonDoc::CCommonDoc() = default;
CCommonDoc::~CCommonDoc() = default;

bool CCommonDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) {
    return IsProcessProtected(GetCurrentProcessId(), rec);
}

bool CCommonDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) {
    return IsProcessProtected(GetCurrentProcessId(), rec);
}

bool CCommonDoc::IsVersion12() const { return strVersion.rfind("12.0", 0) == 0; }

