#include "companions/zelctl/window_lookup.h"

#include <cstring>

#include "companions/zelctl/command_error.h"
#include "companions/zelctl/values.h"
#include "store/hook_info.h"

namespace zelctl {

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

}  // namespace

bool IsWindowLookup(const std::string& value) {
    return StartsWith(value, "class:") || StartsWith(value, "title:");
}

HWND ResolveWindow(const std::string& value) {
    if (!IsWindowLookup(value))
        return WindowOf(ParseU32(value, "window"));
    const bool byClass = StartsWith(value, "class:");
    const std::string name = value.substr(6);
    if (name.empty()) throw CommandError("window lookup needs a name after '" + value + "'");
    const DWORD start = GetTickCount();
    for (;;) {
        HWND w = byClass ? FindWindowA(name.c_str(), nullptr) : FindWindowA(nullptr, name.c_str());
        if (w) return w;
        if (GetTickCount() - start >= kLookupWaitMs) break;
        Sleep(50);
    }
    throw CommandError("no window with " + std::string(byClass ? "class" : "title") + " \"" +
                       name + "\"");
}

}  // namespace zelctl
