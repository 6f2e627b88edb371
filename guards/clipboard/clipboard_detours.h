#pragma once
#include <windows.h>

// Empties the clipboard on behalf of the message hook when the user has left
// the document that owns the withheld content.
void DelClipboardData();
