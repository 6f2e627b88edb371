#pragma once
// PrintScreen, in every process: while the key is down, each key message
// empties the clipboard, so that a screen copy the system puts there does not
// stay (the message is passed on first).
#include <windows.h>

#include "wndctl/key_state.h"

// True for a key message that arrives while PrintScreen is down: the caller
// passes it on and then calls EmptyClipboardAfterPrintScreen.
bool PrintScreenDown(const MSG& msg, wndctl::KeyStates& keys);

void EmptyClipboardAfterPrintScreen();
