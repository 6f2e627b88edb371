#include "guards/automation/automation_rows.h"

#include "intercept/hook_slots.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(DoDragDrop),       GATREL_DETOUR_ROW(GetActiveObject),      GATREL_DETOUR_ROW(DdeConnect),
    GATREL_DETOUR_ROW(CoCreateInstance), GATREL_DETOUR_ROW(CoCreateInstanceEx),   GATREL_DETOUR_ROW(OleRun),
    GATREL_DETOUR_ROW(RevokeDragDrop),   GATREL_DETOUR_ROW(RegisterActiveObject), GATREL_DETOUR_ROW(DispCallFunc),
    // The same creations and conversations by their other entry points.
    GATREL_DETOUR_ROW(CoGetClassObject), GATREL_DETOUR_ROW(DdeConnectList),
};

}  // namespace

const DetourRow* AutomationDetourRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
