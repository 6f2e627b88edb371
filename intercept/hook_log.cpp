#include "intercept/hook_log.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

DWORD g_deferringThread = 0;
std::vector<std::string> g_kept;

bool Deferring() { return g_deferringThread != 0 && g_deferringThread == GetCurrentThreadId(); }

}  // namespace

void HookLogError(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    if (Deferring()) {
        try {
            char line[1024];
            vsnprintf(line, sizeof line, fmt, args);
            g_kept.emplace_back(line);
        } catch (...) {
        }
    } else {
        WriteLog(kLogError, fmt, args);
    }
    va_end(args);
}

DeferredHookLog::DeferredHookLog() {
    if (g_deferringThread == 0) {
        g_deferringThread = GetCurrentThreadId();
        owner_ = true;
    }
}

DeferredHookLog::~DeferredHookLog() {
    if (!owner_) return;
    g_deferringThread = 0;
    for (const std::string& line : g_kept) LogError("%s", line.c_str());
    g_kept.clear();
}
