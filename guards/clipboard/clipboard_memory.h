#pragma once
#include <windows.h>

// Releases one withheld clipboard handle with the call that matches its
// format. 1 when released (or nothing to release), 0 when the release raised.
int DelClipbrdMem(UINT format, HANDLE mem);

// Releases the withheld handles of this process whose entries another process
// freed. Cheap when there are none; called from every clipboard replacement
// and from the message hook.
void ReleaseOrphanedClipboardHandles();
