#pragma once
// Which screen copies a process without a document object may make: every
// other interactive process, where a capture tool runs. While protected
// documents are registered on the desktop, pixels may not be copied out of
// a window of another process (the screen's device context belongs to the
// desktop window, so the whole screen counts), out of a window of a process
// that has no record of its own (its window may lie over a protected one),
// nor out of a display device context while protected document windows
// exist. With no record anywhere nothing is refused. The protected
// applications themselves copy freely: their own rules keep content in.
#include <windows.h>

enum class ScreenCopyRefusal { kNone, kOtherProcess, kNotOwnProcess, kDisplayDC };

// What a copy reads: a device context, or (PrintWindow) a window itself.
struct ScreenCopySource {
    HDC dc = nullptr;
    HWND window = nullptr;
};

// Whether a raster operation (its ternary index in bits 16-23; CAPTUREBLT
// and NOMIRRORBITMAP bits ignored) reads the source.
bool RopReadsSource(DWORD rop);

// The decision for one copy into dest (null: memory of the caller's own) out
// of source. caller: the return address of the copying call; while an image
// list drag runs, the image list's own copies pass unchecked.
ScreenCopyRefusal DecideScreenCopy(HDC dest, const ScreenCopySource& source, const void* caller);

// Decides; a refusal is logged as "Cancel Call <api>. <reason>". True when
// refused. The caller's last error is left as it was.
bool RefuseScreenCopy(const char* api, HDC dest, const ScreenCopySource& source, const void* caller);

// The image-list drag state of this process (ImageList_BeginDrag/EndDrag).
void SetImageListDragging(bool dragging);
