#include "guards/print/print_output_rule.h"

#include <winspool.h>

#include <vector>

namespace {

std::wstring Upper(std::wstring s) {
    if (!s.empty()) CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

bool HasDrive(const std::wstring& name) {
    return name.size() >= 2 && name[1] == L':' &&
           ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'a' && name[0] <= L'z'));
}

// A name that names a file rather than a port: it has a separator or begins
// with a drive.
bool IsPathName(const std::wstring& name) {
    return name.find_first_of(L"\\/") != std::wstring::npos || HasDrive(name);
}

// "\\server\printer": a printer share, not a file.
bool IsPrinterShare(const std::wstring& name) {
    if (name.size() < 3 || name.compare(0, 2, L"\\\\") != 0) return false;
    const size_t server = name.find_first_of(L"\\/", 2);
    return server != std::wstring::npos && server > 2 && server + 1 < name.size() &&
           name.find_first_of(L"\\/", server + 1) == std::wstring::npos;
}

bool IsFilePort(const std::wstring& port) {
    if (port.empty()) return false;
    if (Upper(port) == L"FILE:") return true;
    if (port[0] == L'|') return false;  // the port is a command the spooler runs
    return IsPathName(port) && !IsPrinterShare(port);
}

// The folder part of the name's full path; empty when there is none.
std::wstring FolderOf(const std::wstring& name) {
    DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::vector<wchar_t> full(size + 1, L'\0');
    size = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0 || size >= full.size()) return {};
    std::wstring path(full.data(), size);
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) return {};
    // A file right in a drive's root keeps its separator: "C:\".
    return path.substr(0, last == 2 && path[1] == L':' ? last + 1 : last);
}

// Whether the spooler lists a port of that name (ignoring case).
bool IsKnownPort(const std::wstring& name) {
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
    for (int tries = 0; tries < 3 && needed > 0; ++tries) {
        std::vector<BYTE> buf(needed);
        if (EnumPortsW(nullptr, 1, buf.data(), needed, &needed, &count)) {
            const auto* ports = reinterpret_cast<const PORT_INFO_1W*>(buf.data());
            for (DWORD i = 0; i < count; ++i)
                if (ports[i].pName && lstrcmpiW(ports[i].pName, name.c_str()) == 0) return true;
            return false;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    return false;
}

// An existing folder (the shell's own test, without loading the shell's
// library into every process for it).
bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

PrintOutputCheck CheckPrintOutput(const wchar_t* output) {
    PrintOutputCheck check;
    const std::wstring name = output ? output : L"";
    if (Upper(name).find(L"FILE:") != std::wstring::npos) {
        check.where = PrintOutput::kToFile;
        return check;
    }
    if (!IsPathName(name)) return check;
    const std::wstring folder = FolderOf(name);
    if (!folder.empty() && IsFolder(folder)) {
        check.where = PrintOutput::kToFolder;
        check.folder = folder;
    }
    return check;
}

bool PortWritesFile(const std::wstring& ports) {
    // A command is one port, whatever it holds.
    if (!ports.empty() && ports[0] == L'|') return false;
    size_t at = 0;
    while (at <= ports.size()) {
        size_t end = ports.find(L',', at);
        if (end == std::wstring::npos) end = ports.size();
        if (IsFilePort(ports.substr(at, end - at))) return true;
        at = end + 1;
    }
    return false;
}

bool JobOutputWritesFile(const wchar_t* output) {
    if (!output || !*output || output[0] == L'|') return false;
    const std::wstring name = output;
    return IsKnownPort(name) ? IsFilePort(name) : true;
}
