#include "guards/screen/screen_rows.h"

#include "intercept/hook_slots.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(BitBlt),          GATREL_DETOUR_ROW(CreateDCA),
    GATREL_DETOUR_ROW(CreateDCW),       GATREL_DETOUR_ROW(ImageList_BeginDrag),
    GATREL_DETOUR_ROW(ImageList_EndDrag), GATREL_DETOUR_ROW(StretchBlt),
    GATREL_DETOUR_ROW(MaskBlt),         GATREL_DETOUR_ROW(PlgBlt),
    GATREL_DETOUR_ROW(GdiTransparentBlt), GATREL_DETOUR_ROW(GdiAlphaBlend),
    GATREL_DETOUR_ROW(GetPixel),        GATREL_DETOUR_ROW(PrintWindow),
};

}  // namespace

const DetourRow* ScreenDetourRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
