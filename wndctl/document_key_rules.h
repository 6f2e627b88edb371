#pragma once
// The keys of a protected document without the all-rights letter, by its
// letters: Enter in a save dialog, the macro keys, the print keys without
// "P", the spreadsheet's save-as key with "W", everything but reading with "R".
#include <windows.h>

#include "wndctl/key_state.h"

class CCommonDoc;

// True when the key message is to be refused.
bool RefuseDocumentKey(const MSG& msg, CCommonDoc& doc, wndctl::KeyStates& keys);
