#include "guards/clipboard/clipboard_rows.h"

#include "intercept/hook_slots.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(OpenClipboard),   GATREL_DETOUR_ROW(CountClipboardFormats),
    GATREL_DETOUR_ROW(EmptyClipboard),  GATREL_DETOUR_ROW(GetClipboardData),
    GATREL_DETOUR_ROW(SetClipboardData),
};

}  // namespace

const DetourRow* ClipboardDetourRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
