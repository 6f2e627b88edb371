#pragma once
// The presentation program with a read-only document in front: the right
// button, double clicks, and left presses and releases within a second of a
// double click (which would open an object for editing) are refused.
#include <windows.h>

class CCommonDoc;

// True when the message is to be refused.
bool RefusePresentationClick(const MSG& msg, CCommonDoc& doc);
