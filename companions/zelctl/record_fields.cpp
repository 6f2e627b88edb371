#include "companions/zelctl/record_fields.h"

#include <windows.h>

#include "companions/zelctl/command_error.h"
#include "companions/zelctl/values.h"
#include "companions/zelctl/window_lookup.h"

namespace zelctl {

namespace {

uint32_t ParsePid(const std::string& text, const char* what) {
    if (text == "self") return GetCurrentProcessId();
    return ParseU32(text, what);
}

}  // namespace

const std::vector<std::string>& RecordKeys() {
    static const std::vector<std::string> keys = {"pid",  "owner", "path", "letters", "zelname",
                                                  "temp", "type",  "wnd",  "extra",   "dwextra"};
    return keys;
}

_ZEL_HOOK_INFO_ BuildRecord(const std::vector<std::string>& words, size_t first) {
    const Fields f = ParseFields(words, first, RecordKeys());
    _ZEL_HOOK_INFO_ rec{};
    HWND wnd = nullptr;
    if (auto it = f.find("wnd"); it != f.end()) {
        wnd = ResolveWindow(it->second);
        rec.hDocWnd = HandleWord(wnd);
    }
    if (auto it = f.find("pid"); it != f.end()) {
        rec.dwProcessId = ParsePid(it->second, "pid");
    } else if (wnd && IsWindow(wnd)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        rec.dwProcessId = pid;
    }
    if (auto it = f.find("owner"); it != f.end()) rec.dwOwnerPid = ParsePid(it->second, "owner");
    else rec.dwOwnerPid = rec.dwProcessId;
    if (auto it = f.find("path"); it != f.end())
        CopyField(rec.szFilePath, sizeof rec.szFilePath, it->second, "path");
    if (auto it = f.find("letters"); it != f.end())
        CopyField(rec.szPermission, sizeof rec.szPermission, it->second, "letters", false);
    if (auto it = f.find("zelname"); it != f.end())
        CopyField(rec.szZelFileName, sizeof rec.szZelFileName, it->second, "zelname");
    if (auto it = f.find("temp"); it != f.end())
        CopyField(rec.szOfficeTempPath, sizeof rec.szOfficeTempPath, it->second, "temp");
    if (auto it = f.find("type"); it != f.end())
        rec.byDocType = static_cast<uint8_t>(ParseBounded(it->second, "type", 255));
    if (auto it = f.find("extra"); it != f.end())
        rec.byExtra = static_cast<uint8_t>(ParseBounded(it->second, "extra", 255));
    if (auto it = f.find("dwextra"); it != f.end()) rec.dwExtra = ParseU32(it->second, "dwextra");
    if (!rec.dwProcessId && !rec.dwOwnerPid)
        throw CommandError("a record needs pid=, owner= or the wnd= of a running program");
    return rec;
}

}  // namespace zelctl
