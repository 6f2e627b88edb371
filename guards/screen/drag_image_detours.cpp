// An image-list drag in this process: while it runs, the image list's own
// copies of the window under the drag image pass the screen copy rule.
#include "guards/screen/screen_copy_rule.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

BOOL WINAPI Detour_ImageList_BeginDrag(HIMAGELIST himlTrack, int iTrack, int dxHotspot, int dyHotspot) {
    return RunReplacement(
        HookId::kImageList_BeginDrag, Trampoline_ImageList_BeginDrag,
        [&](contained::Frame& run) -> BOOL {
            SetImageListDragging(true);
            return intercept::CallReal(run, Trampoline_ImageList_BeginDrag, himlTrack, iTrack, dxHotspot, dyHotspot);
        },
        [&]() -> BOOL {
            return intercept::CallReal(Trampoline_ImageList_BeginDrag, himlTrack, iTrack, dxHotspot, dyHotspot);
        },
        himlTrack, iTrack, dxHotspot, dyHotspot);
}

void WINAPI Detour_ImageList_EndDrag() {
    RunReplacement(
        HookId::kImageList_EndDrag, Trampoline_ImageList_EndDrag,
        [&](contained::Frame& run) {
            SetImageListDragging(false);
            intercept::CallReal(run, Trampoline_ImageList_EndDrag);
        },
        [&]() { intercept::CallReal(Trampoline_ImageList_EndDrag); });
}
