#include "guards/file/file_rows.h"

#include "intercept/hook_slots.h"

namespace {

const DetourRow kRows[] = {
    GATREL_DETOUR_ROW(CreateFileW),
    GATREL_DETOUR_ROW(GetFileAttributesW),
    GATREL_DETOUR_ROW(GetFileAttributesExW),
    GATREL_DETOUR_ROW(DeleteFileW),
    GATREL_DETOUR_ROW(FindFirstFileW),
    GATREL_DETOUR_ROW(FindFirstFileExW),
    GATREL_DETOUR_ROW(CopyFileExW),
    GATREL_DETOUR_ROW(CreateHardLinkW),
    GATREL_DETOUR_ROW(MoveFileW),
    GATREL_DETOUR_ROW(MoveFileA),
    GATREL_DETOUR_ROW(ReplaceFileW),
    GATREL_DETOUR_ROW(MoveFileExW),
    GATREL_DETOUR_ROW(MoveFileWithProgressW),
    GATREL_DETOUR_ROW(LoadLibraryA),
    GATREL_DETOUR_ROW(LoadLibraryExW),
    GATREL_DETOUR_ROW(GetSaveFileNameW),
    GATREL_DETOUR_ROW(GetSaveFileNameA),
    GATREL_DETOUR_ROW(RegisterDragDrop),
    GATREL_DETOUR_ROW(OpenProcess),
};

}  // namespace

const DetourRow* FileDetourRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
