#include "wndctl/window_control_rows.h"

#include "intercept/hook_slots.h"
#include "identify/button_tracking.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(TranslateAccelerator),
    GATREL_DETOUR_ROW(TranslateAcceleratorW),
    GATREL_DETOUR_ROW(GetCursorPos),
    GATREL_DETOUR_ROW(EnableMenuItem),
};

}  // namespace

const DetourRow* WindowControlDetourRows(size_t& count) {
    StartButtonUpTicks();
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
