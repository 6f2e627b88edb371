#include "identify/protect_paths.h"

#include <windows.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "store/shared_settings.h"
#include "support/ansi_text.h"

std::string GetProtectPathName(const std::string& path) {
    try {
        const std::string area = text::ToUpper(GetProcessContext().strFileTempPath);
        if (path.find(area) != std::string::npos) return {};
        const size_t pos = path.rfind('\\');
        if (pos == std::string::npos) return path;
        return area + "\\PROTECTPATH\\" + path.substr(pos + 1);
    } catch (...) {
        return {};
    }
}

std::string GetKORBWordTempName(const std::string& path) {
    try {
        CCommonDoc* doc = DocObject();
        if (!doc || doc->nDocType != kDocWord) return {};
        if (store::GetKORBInfo() != 1) return {};
        _ZEL_HOOK_INFO_ rec{};
        if (store::GetKORBHookInfoByPid(GetCurrentProcessId(), &rec) < 0) return {};
        const std::string tmp = text::ToUpper(ProcessTempDir());
        const bool inTemp = (!tmp.empty() && path.find(tmp) != std::string::npos) ||
                            path.find("CONTENT.WORD") != std::string::npos;
        if (!inTemp || path.find("\\~WR") == std::string::npos ||
            path.find(".DOC") == std::string::npos)
            return {};
        const std::string docPath = text::FromField(rec.szFilePath);
        const size_t dirEnd = docPath.rfind('\\');
        if (dirEnd == std::string::npos) return {};
        const size_t nameStart = path.rfind('\\');
        if (nameStart == std::string::npos) return {};
        return docPath.substr(0, dirEnd + 1) + path.substr(nameStart + 1);
    } catch (...) {
        return {};
    }
}
