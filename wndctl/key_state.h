#pragma once
// The keyboard as the message rules see it: the thread's key state, which
// the system brings up to date as each key message is taken from the queue.
#include <windows.h>

namespace wndctl {

// The high bit of the thread's state of the key.
inline bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

inline bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace wndctl
