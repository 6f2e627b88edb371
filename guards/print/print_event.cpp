#include "guards/print/print_event.h"

#include <cstdio>

void SignalPrintEvent(DWORD ownerPid) {
    char name[64];
    snprintf(name, sizeof name, "%s%d", "PrintEventOfZEL", static_cast<int>(ownerPid));
    // EVENT_ALL_ACCESS (0x1F0003), not inheritable.
    HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    if (!event) return;
    SetEvent(event);
    CloseHandle(event);
}
