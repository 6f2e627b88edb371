#pragma once
// The keys of reading: what a read-only ("R") document lets through.
#include <windows.h>

#include "wndctl/key_state.h"

class CCommonDoc;

// Moving, finding, selecting all, leaving: the arrows, Page Up/Down, Home,
// End, Ctrl+F, Ctrl+A, Ctrl+Home, Ctrl+End, Escape, Alt+F4; F5 (slide show)
// in the presentation program; F1 (help) in the version 12 office
// applications.
bool IsReadOnlyKeyAllowed(const CCommonDoc& doc, WPARAM key, wndctl::KeyStates& keys);

// The read-only rule for one key message: true when it is to be refused.
bool RefuseReadOnlyKey(const CCommonDoc& doc, WPARAM key, wndctl::KeyStates& keys);
