#include "guards/print/print_permission.h"

#include "guards/print/print_doc_flag.h"
#include "guards/print/print_error_box.h"
#include "guards/print/print_output_rule.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "support/refusal_messages.h"
#include "support/wide_text.h"
#include "watermark/print_water.h"

namespace {

constexpr const char* kWhere = "AllowStartDoc";

PrintGrant Refused(PrintGrant grant) {
    grant.allowed = false;
    grant.water.reset();
    return grant;
}

}  // namespace

PrintGrant AllowStartDoc(HDC hdc, const std::string& strPrintDocName, const wchar_t* output) {
    _ZEL_HOOK_INFO_ rec{};
    const bool bIsZelDoc = GetPrintDocZelInfo(strPrintDocName, rec);
    const std::string zelFile = text::FromField(rec.szZelFileName);
    LogError("[%s] hdc=%x,bIsZelDoc=%d,strPrintDocName=%s,ZelFile=%s,Permission=%s", kWhere, HandleWord(hdc),
             bIsZelDoc, strPrintDocName.c_str(), zelFile.c_str(), text::FromField(rec.szPermission).c_str());
    PrintGrant grant;
    if (!bIsZelDoc) return grant;
    grant.isZelDoc = true;
    grant.allRight = HasPermission(rec, 'A');
    grant.ownerPid = rec.dwOwnerPid;
    grant.docWnd = DocWndOf(rec);
    grant.zelFile = zelFile;

    if (!grant.allRight && !HasPermission(rec, 'P')) {
        if (HasPermission(rec, 'Q')) {
            LogError("[%s] Not Allow Print. Over Print Times.", kWhere);
            StartMessageThread(ShowPrintLimitMsg, grant.docWnd);
        } else {
            LogError("[%s] Not Allow Print. Forbid Print.", kWhere);
            StartMessageThread(ShowCantPrintMsg, grant.docWnd);
        }
        return Refused(grant);
    }
    const PrintOutputCheck where = CheckPrintOutput(output);
    if (where.where == PrintOutput::kToFile) {
        LogError("[%s] Not Allow Print. Print To File. strOutput=%s", kWhere, text::WideToAnsi(output).c_str());
        ShowPrintError(grant.docWnd);
        return Refused(grant);
    }
    if (where.where == PrintOutput::kToFolder) {
        LogError("[%s] Not Allow Print. Print To File2. strOutput=%s", kWhere, text::WideToAnsi(where.folder).c_str());
        ShowPrintError(grant.docWnd);
        return Refused(grant);
    }
    if (HasPermission(rec, 'N')) {
        LogError("[%s] Allow Print, Not Need Add Print Water. hdc=%x", kWhere, HandleWord(hdc));
        return grant;
    }
    grant.water = g_printWater.LoadWaterInfo(hdc);
    if (!grant.water) {
        // Never with a blank or another job's watermark.
        LogError("[%s] Not Allow Print. Print Water Unreadable. hdc=%x", kWhere, HandleWord(hdc));
        StartMessageThread(ShowCantPrintMsg, grant.docWnd);
        return Refused(grant);
    }
    LogError("[%s] Allow Print, Need Add Print Water. hdc=%x", kWhere, HandleWord(hdc));
    return grant;
}
