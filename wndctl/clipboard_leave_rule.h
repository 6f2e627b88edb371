#pragma once
#include <windows.h>

// The message hook's clipboard rule: in the office applications, a click or a
// key press while the document in front is not the one that owns the withheld
// clipboard content drops that content. Cheap unless protected content is held.
void DropClipboardIfOwnerLeft(const MSG& msg);
