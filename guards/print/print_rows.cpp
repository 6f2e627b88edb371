#include "guards/print/print_rows.h"

#include "intercept/hook_slots.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(StartDocW),   GATREL_DETOUR_ROW(EndDoc),    GATREL_DETOUR_ROW(StartDocPrinterW),
    GATREL_DETOUR_ROW(DocumentPropertiesW), GATREL_DETOUR_ROW(StartPage), GATREL_DETOUR_ROW(EndPage),
    GATREL_DETOUR_ROW(OpenPrinterW), GATREL_DETOUR_ROW(AbortDoc), GATREL_DETOUR_ROW(Escape),
    GATREL_DETOUR_ROW(OpenPrinterA),
};

}  // namespace

const DetourRow* PrintDetourRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
