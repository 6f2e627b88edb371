#include "wndctl/posted_input.h"

namespace wndctl {

void PostClose(HWND w) {
    if (w) PostMessageA(w, WM_CLOSE, 0, 0);
}

void PostClick(HWND w) {
    if (!w) return;
    PostMessageA(w, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(w, WM_LBUTTONUP, 0, 0);
}

}  // namespace wndctl
