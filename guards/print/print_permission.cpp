#include "guards/print/print_permission.h"

#include "guards/print/print_doc_flag.h"
#include "guards/print/print_output_rule.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/lang_strings.h"
#include "support/log.h"
#include "support/refusal_messages.h"
#include "support/zel_message_box.h"
#include "watermark/print_water.h"

namespace {

constexpr const char* kWhere = "AllowStartDoc";

unsigned HandleHex(HDC hdc) { return HandleWord(hdc); }

// Printing into a file is refused with a box the printing thread waits for.
// Its message loop runs the application's messages: a print they start meets
// the print rules again.
void ShowPrintError(HWND docWnd) {
    const std::string text = GetLangString("D_DCTRL_PRINT_ERROR", "Not found");
    const std::string caption = GetLangString("ZEL_PRODUCT_NAME", "Not found");
    intercept::Unmarked([&] {
        return ShowZelMessageBox(RefusalsUnowned() ? nullptr : docWnd, text.c_str(), caption.c_str(),
                                 MB_SETFOREGROUND);
    });
}

PrintGrant Refused(PrintGrant grant) {
    grant.allowed = false;
    grant.watermark = false;
    return grant;
}

}  // namespace

PrintGrant AllowStartDoc(HDC hdc, const std::string& strPrintDocName, const std::string& strOutput) {
    _ZEL_HOOK_INFO_ rec{};
    const bool bIsZelDoc = GetPrintDocZelInfo(strPrintDocName, rec);
    const std::string zelFile = text::FromField(rec.szZelFileName);
    LogError("[%s] hdc=%x,bIsZelDoc=%d,strPrintDocName=%s,ZelFile=%s,Permission=%s", kWhere, HandleHex(hdc),
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
    const PrintOutputCheck output = CheckPrintOutput(strOutput);
    if (output.where == PrintOutput::kToFile) {
        LogError("[%s] Not Allow Print. Print To File. strOutput=%s", kWhere, strOutput.c_str());
        ShowPrintError(grant.docWnd);
        return Refused(grant);
    }
    if (output.where == PrintOutput::kToFolder) {
        LogError("[%s] Not Allow Print. Print To File2. strOutput=%s", kWhere, output.folder.c_str());
        ShowPrintError(grant.docWnd);
        return Refused(grant);
    }
    if (!HasPermission(rec, 'N')) {
        g_printWater.LoadWaterInfo(hdc);
        grant.watermark = true;
        LogError("[%s] Allow Print, Need Add Print Water. hdc=%x", kWhere, HandleHex(hdc));
    } else {
        LogError("[%s] Allow Print, Not Need Add Print Water. hdc=%x", kWhere, HandleHex(hdc));
    }
    return grant;
}
