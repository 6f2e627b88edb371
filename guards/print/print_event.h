#pragma once
// Tells the controller that a counted print of one of its documents started.
#include <windows.h>

// Sets the named event "PrintEventOfZEL" followed by ownerPid in decimal when
// it exists (the controller creates it); nothing happens otherwise.
void SignalPrintEvent(DWORD ownerPid);
