#pragma once
// The replaced functions of every guard: one row per function, written once.
// The slots (hook_slots.h), the seven hook tables (hook_tables.cpp) and the
// engine's tests are all generated from this list.
//
// Row: X(table, module, api, slotFunction, condition, state)
//   table         which install/uninstall operation owns the row
//   module        the module name passed to the handle look-up, as written
//   api           the export's name; the replacement is Detour_<api>, its slot
//                 Trampoline_<api>
//   slotFunction  the declared function whose type the slot and the detour
//                 take, and whose import initialises the slot (the same as api
//                 except where api is only a macro in the headers)
//   condition     when the row is installed (see HookCondition in hook_tables.h)
//   state         ON once the guard defines Detour_<api>; OFF rows are never
//                 installed.
//
// Rows are in install order within their table; the tables run in the order
// of the HookTable enumeration.
//
// Adding a guard's replacements (the clipboard guard, say):
//   1. In the guard's source, include "intercept/hook_slots.h" and define
//        HANDLE WINAPI Detour_GetClipboardData(UINT uFormat) { ... }
//      with the API's exact signature (a different one does not link). Reach
//      the real function only through Trampoline_GetClipboardData, and wrap the
//      body in RunReplacement (intercept/replacement_guard.h).
//   2. Switch the guard's rows below from OFF to ON.
//   Nothing else changes: the table operations pick the detours up by name.
#define GATREL_HOOK_CATALOG(X)                                                                  \
    X(AccelCursor, "user32.dll", TranslateAccelerator, TranslateAcceleratorA, Always, OFF)     \
    X(AccelCursor, "user32.dll", GetCursorPos, GetCursorPos, Always, OFF)                      \
    X(Menu, "user32.dll", EnableMenuItem, EnableMenuItem, Always, OFF)                         \
    X(File, "Kernel32.dll", CreateFileW, CreateFileW, DocWordExcelPpt, OFF)                    \
    X(File, "Kernel32.dll", GetFileAttributesW, GetFileAttributesW, DocWordExcelPpt, OFF)      \
    X(File, "Kernel32.dll", DeleteFileW, DeleteFileW, DocWordExcelPpt, OFF)                    \
    X(File, "Kernel32.dll", FindFirstFileW, FindFirstFileW, DocWordExcelPpt, OFF)              \
    X(File, "Kernel32.dll", CopyFileExW, CopyFileExW, DocWordExcelPptOs110, OFF)               \
    X(File, "Kernel32.dll", MoveFileW, MoveFileW, Always, OFF)                                 \
    X(File, "Kernel32.dll", MoveFileA, MoveFileA, Always, OFF)                                 \
    X(File, "Kernel32.dll", ReplaceFileW, ReplaceFileW, Always, OFF)                           \
    X(File, "Kernel32.dll", MoveFileExW, MoveFileExW, Always, OFF)                             \
    X(File, "Kernel32.dll", LoadLibraryA, LoadLibraryA, DocPdf, OFF)                           \
    X(File, "comdlg32.dll", GetSaveFileNameW, GetSaveFileNameW, Always, OFF)                   \
    X(File, "comdlg32.dll", GetSaveFileNameA, GetSaveFileNameA, Always, OFF)                   \
    X(File, "ole32.dll", RegisterDragDrop, RegisterDragDrop, Always, OFF)                      \
    X(File, "Kernel32.dll", OpenProcess, OpenProcess, Always, OFF)                             \
    X(Print, "Gdi32.dll", StartDocW, StartDocW, DocPrintable, OFF)                             \
    X(Print, "Gdi32.dll", EndDoc, EndDoc, DocPrintable, OFF)                                   \
    X(Print, "winspool.drv", StartDocPrinterW, StartDocPrinterW, DocPrintable, OFF)            \
    X(Print, "winspool.drv", DocumentPropertiesW, DocumentPropertiesW, DocPrintable, OFF)      \
    X(Print, "Gdi32.dll", StartPage, StartPage, DocPrintable, OFF)                             \
    X(Print, "Gdi32.dll", EndPage, EndPage, DocPrintable, OFF)                                 \
    X(Print, "winspool.drv", OpenPrinterW, OpenPrinterW, DocPrintable, OFF)                    \
    X(Screen, "gdi32.dll", BitBlt, BitBlt, Always, OFF)                                        \
    X(Screen, "gdi32.dll", CreateDCA, CreateDCA, Always, OFF)                                  \
    X(Screen, "gdi32.dll", CreateDCW, CreateDCW, Always, OFF)                                  \
    X(Screen, "comctl32.dll", ImageList_BeginDrag, ImageList_BeginDrag, Always, OFF)           \
    X(Screen, "comctl32.dll", ImageList_EndDrag, ImageList_EndDrag, Always, OFF)               \
    X(Ole, "ole32.dll", DoDragDrop, DoDragDrop, Always, OFF)                                   \
    X(Ole, "oleaut32.dll", GetActiveObject, GetActiveObject, Always, OFF)                      \
    X(Ole, "user32.dll", DdeConnect, DdeConnect, Always, OFF)                                  \
    X(Ole, "ole32.dll", CoCreateInstance, CoCreateInstance, Always, OFF)                       \
    X(Ole, "ole32.dll", CoCreateInstanceEx, CoCreateInstanceEx, Always, OFF)                   \
    X(Ole, "ole32.dll", OleRun, OleRun, Always, OFF)                                           \
    X(Ole, "ole32.dll", RevokeDragDrop, RevokeDragDrop, DocAny, OFF)                           \
    X(Ole, "OLEAUT32.DLL", RegisterActiveObject, RegisterActiveObject, DocExcel, OFF)          \
    X(Ole, "OLEAUT32.DLL", DispCallFunc, DispCallFunc, DocPpt, OFF)                            \
    X(Clipboard, "user32.dll", OpenClipboard, OpenClipboard, Always, ON)                       \
    X(Clipboard, "user32.dll", CountClipboardFormats, CountClipboardFormats, Always, ON)       \
    X(Clipboard, "user32.dll", EmptyClipboard, EmptyClipboard, Always, ON)                     \
    X(Clipboard, "user32.dll", GetClipboardData, GetClipboardData, Always, ON)                 \
    X(Clipboard, "user32.dll", SetClipboardData, SetClipboardData, Always, ON)
