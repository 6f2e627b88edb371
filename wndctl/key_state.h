#pragma once
// The keyboard as the message rules see it: the thread's key state, which
// the system brings up to date as each key message is taken from the queue.
#include <windows.h>

namespace wndctl {

inline bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

// The thread's key state for one message, read once on first need: every
// read of it is a request to the window server under Wine, and the rules of
// one key message ask for several keys.
class KeyStates {
public:
    // The high bit of the key's state.
    bool Down(int vk) {
        if (!taken_) {
            if (!GetKeyboardState(keys_)) ZeroMemory(keys_, sizeof keys_);
            taken_ = true;
        }
        return (keys_[vk & 0xFF] & 0x80) != 0;
    }

private:
    BYTE keys_[256];
    bool taken_ = false;
};

}  // namespace wndctl
