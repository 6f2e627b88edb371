#include "wndctl/document_folder.h"

#include "support/ansi_text.h"
#include "support/settings.h"

std::string DocumentFolder(const _ZEL_HOOK_INFO_& rec) {
    const std::string root = GetInstallDir() + "\\ZELFILETEMP\\";
    std::string path = text::FromField(rec.szFilePath);
    for (size_t at; (at = path.find(root)) != std::string::npos;) path.erase(at, root.size());
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
