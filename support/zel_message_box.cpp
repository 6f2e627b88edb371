#include "support/zel_message_box.h"

#include "support/sibling_library.h"

namespace {

using ZelMessageBoxProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

SiblingLibrary g_messageBoxLibrary(kZelMessageBoxLibrary);

}  // namespace

bool LoadZelMessageBox() { return g_messageBoxLibrary.Load(); }

int ShowZelMessageBox(HWND owner, const char* text, const char* caption, UINT flags) {
    auto proc = reinterpret_cast<ZelMessageBoxProc>(
        reinterpret_cast<void*>(g_messageBoxLibrary.Proc("ZELMessageBox")));
    if (!proc) return 0;
    return proc(owner, text, caption, flags);
}
