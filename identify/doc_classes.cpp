#include "identify/doc_classes.h"

#include "host/process_context.h"
#include "identify/active_doc_info.h"

namespace {

// The four office-style classes share one rule: limited means protected
// without the all-rights letter.
bool LimitedByAllRights(_ZEL_HOOK_INFO_& rec) {
    if (!GetActiveDocInfo(rec)) return false;
    return !HasPermission(rec, 'A');
}

}  // namespace

bool CWordDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) { return LimitedByAllRights(rec); }
bool CWordDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) { return GetActiveDocInfo(rec); }

bool CExcelDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) { return LimitedByAllRights(rec); }
bool CExcelDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) { return GetActiveDocInfo(rec); }

bool CPPTDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) { return LimitedByAllRights(rec); }
bool CPPTDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) { return GetActiveDocInfo(rec); }

bool CKORBDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) { return LimitedByAllRights(rec); }
bool CKORBDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) { return GetActiveDocInfo(rec); }

bool CPDFDoc::IsLimitedZelDoc(_ZEL_HOOK_INFO_& rec) {
    if (!GetActiveDocInfo(rec)) return false;
    if (HasPermission(rec, 'A')) return false;
    try {
        ProcessContext& ctx = GetProcessContext();
        // The menu guard reads the pointer on other threads without a lock: both
        // lists live as long as the context, so either value is safe to follow.
        ctx.pActiveMenuIds = HasPermission(rec, 'P') ? &ctx.PrintMenuIds : &ctx.NoPrintMenuIds;
    } catch (...) {
    }
    return true;
}

bool CPDFDoc::IsZelDoc(_ZEL_HOOK_INFO_& rec) { return GetActiveDocInfo(rec); }
