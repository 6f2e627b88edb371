#pragma once
// Alt+Tab, in every process: recorded in the shared section for the drag
// source, which must not take a switch of application for a drop.
#include <windows.h>

#include "wndctl/key_state.h"

void RecordAltTab(const MSG& msg, wndctl::KeyStates& keys);
