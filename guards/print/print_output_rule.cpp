#include "guards/print/print_output_rule.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "support/ansi_text.h"

namespace {

bool IsPortName(const std::string& name) {
    return !name.empty() && name.back() == ':' && name.find_first_of("\\/") == std::string::npos;
}

// The folder part of the name's full path; empty when there is none.
std::string FolderOf(const std::string& name) {
    DWORD size = GetFullPathNameA(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::vector<char> full(size + 1, '\0');
    size = GetFullPathNameA(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0 || size >= full.size()) return {};
    std::string path(full.data(), size);
    const size_t last = path.find_last_of("\\/");
    if (last == std::string::npos) return {};
    // A file right in a drive's root keeps its separator: "C:\".
    return path.substr(0, last == 2 && path[1] == ':' ? last + 1 : last);
}

}  // namespace

PrintOutputCheck CheckPrintOutput(const std::string& strOutput) {
    PrintOutputCheck check;
    if (text::Contains(text::ToUpper(strOutput), "FILE:")) {
        check.where = PrintOutput::kToFile;
        return check;
    }
    if (strOutput.empty() || IsPortName(strOutput)) return check;
    const std::string folder = FolderOf(strOutput);
    if (!folder.empty() && PathIsDirectoryA(folder.c_str())) {
        check.where = PrintOutput::kToFolder;
        check.folder = folder;
    }
    return check;
}
