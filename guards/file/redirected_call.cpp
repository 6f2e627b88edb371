#include "guards/file/redirected_call.h"

#include "guards/file/temp_file_rules.h"
#include "host/process_context.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "support/wide_text.h"

bool FileRulesRecord(_ZEL_HOOK_INFO_& rec) {
    return DocObject() && store::GetHookInfoByPid(GetCurrentProcessId(), &rec) >= 0;
}

bool RulePath(const wchar_t* path, std::string& upper, const char* caller) {
    if (!intercept::IsName(path)) return false;
    if (!text::WideToAnsiExact(path, upper)) {
        // Another file whose name differs only in such a character would meet
        // this one on a single narrow name: the path is used as it is.
        LogError("[%s]: path not in the ANSI code page, used unchanged: %s", caller,
                 text::WideToAnsi(path).c_str());
        return false;
    }
    upper = text::ToUpper(std::move(upper));
    return true;
}

std::wstring RedirectedWideName(const _ZEL_HOOK_INFO_& rec, const std::string& upper) {
    const std::string name = GetRedirectedFileName(rec, upper);
    if (name.empty() || name == upper) return {};
    return text::AnsiToWide(name);
}

Redirection RedirectionOf(const wchar_t* path, const char* caller) {
    Redirection r;
    if (!intercept::IsName(path) || !MayConcernFileRules(path)) return r;
    const intercept::LastErrorKeeper keep;
    _ZEL_HOOK_INFO_ rec;
    std::string upper;
    if (!FileRulesRecord(rec) || !RulePath(path, upper, caller)) return r;
    r.webPreview = IsWebPagePreviewFile(upper);
    if (!r.webPreview) r.name = RedirectedWideName(rec, upper);
    return r;
}
