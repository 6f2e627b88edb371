#include "guards/print/print_doc_flag.h"

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "support/log.h"

namespace {

constexpr size_t kWordPrefix = 17;        // "Microsoft Word - "
constexpr size_t kPowerPointPrefix = 23;  // "Microsoft PowerPoint - "
constexpr size_t kMarkerLength = 5;       // "(ZEL-"
constexpr size_t kFirstClosing = 6;       // an identifier of one character at least

bool MarkerAt(const std::string& name, const char* marker) {
    if (name.size() < kMarkerLength) return false;
    for (size_t i = 0; i < kMarkerLength; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != marker[i]) return false;
    }
    return true;
}

// The flag at the start of name, written with open and close for its
// parentheses.
std::string FlagAtStart(const std::string& name, const char* marker, char close) {
    if (!MarkerAt(name, marker)) return {};
    const size_t end = name.find(close, kFirstClosing);
    if (end == std::string::npos) return {};
    std::string flag = name.substr(0, end + 1);
    flag.front() = '(';
    flag.back() = ')';
    return flag;
}

std::string After(const std::string& name, size_t prefix) {
    return name.size() < prefix ? std::string() : name.substr(prefix);
}

}  // namespace

std::string PrintDocZelFlag(int docType, const std::string& printDocName) {
    switch (docType) {
        case kDocWord: return FlagAtStart(After(printDocName, kWordPrefix), "_ZEL-", '_');
        case kDocExcel:
        case kDocPdf: return FlagAtStart(printDocName, "(ZEL-", ')');
        case kDocPowerPoint: return FlagAtStart(After(printDocName, kPowerPointPrefix), "(ZEL-", ')');
        default: return {};
    }
}

std::string GetPrintDocZelFlag(const std::string& printDocName) {
    const CCommonDoc* doc = DocObject();
    return doc ? PrintDocZelFlag(doc->nDocType, printDocName) : std::string();
}

bool GetPrintDocZelInfo(const std::string& printDocName, _ZEL_HOOK_INFO_& rec) {
    CCommonDoc* doc = DocObject();
    if (!doc) return false;
    const std::string flag = PrintDocZelFlag(doc->nDocType, printDocName);
    if (!flag.empty() && store::GetHookInfoByFlag(flag.c_str(), &rec)) return true;
    const bool bIsZelDoc = doc->IsZelDoc(rec);
    LogError("Get ZELINFO By Window Handle.bIsZelDoc=%d,strZELFlag=%s", bIsZelDoc, flag.c_str());
    return bIsZelDoc;
}
