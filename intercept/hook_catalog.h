#pragma once
// The replaced functions of every guard: one row per function, written once.
// The slots (hook_slots.h), the seven hook tables (hook_tables.cpp) and the
// engine's tests are all generated from this list.
//
// Row: X(table, module, api, slotFunction, condition)
//   table         which install/uninstall operation owns the row
//   module        the module name passed to the handle look-up, as written
//   api           the export's name; the replacement is Detour_<api>, its slot
//                 Trampoline_<api>
//   slotFunction  the declared function whose type the slot and the detour
//                 take, and whose import initialises the slot (the same as api
//                 except where api is only a macro in the headers)
//   condition     when the row is installed (see HookCondition in hook_tables.h)
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
//   2. List it in the guard's detour rows (GATREL_DETOUR_ROW in
//      intercept/hook_tables.h), which the library's entry hands to the
//      tables before it installs them. A row nobody gives a detour stays out.
#define GATREL_HOOK_CATALOG(X)                                                                  \
    X(AccelCursor, "user32.dll", TranslateAccelerator, TranslateAcceleratorA, Always)     \
    X(AccelCursor, "user32.dll", TranslateAcceleratorW, TranslateAcceleratorW, Always)    \
    X(AccelCursor, "user32.dll", GetCursorPos, GetCursorPos, Always)                      \
    X(Menu, "user32.dll", EnableMenuItem, EnableMenuItem, Always)                         \
    X(File, "Kernel32.dll", CreateFileW, CreateFileW, DocWordExcelPpt)                    \
    X(File, "Kernel32.dll", GetFileAttributesW, GetFileAttributesW, DocWordExcelPpt)      \
    X(File, "Kernel32.dll", GetFileAttributesExW, GetFileAttributesExW, DocWordExcelPpt)  \
    X(File, "Kernel32.dll", DeleteFileW, DeleteFileW, DocWordExcelPpt)                    \
    X(File, "Kernel32.dll", FindFirstFileW, FindFirstFileW, DocWordExcelPpt)              \
    X(File, "Kernel32.dll", FindFirstFileExW, FindFirstFileExW, DocWordExcelPpt)          \
    X(File, "Kernel32.dll", CopyFileExW, CopyFileExW, DocWordExcelPptOs110)               \
    X(File, "Kernel32.dll", CreateHardLinkW, CreateHardLinkW, DocWordExcelPpt)            \
    X(File, "Kernel32.dll", MoveFileW, MoveFileW, Always)                                 \
    X(File, "Kernel32.dll", MoveFileA, MoveFileA, Always)                                 \
    X(File, "Kernel32.dll", ReplaceFileW, ReplaceFileW, Always)                           \
    X(File, "Kernel32.dll", MoveFileExW, MoveFileExW, Always)                             \
    X(File, "Kernel32.dll", MoveFileWithProgressW, MoveFileWithProgressW, Always)         \
    X(File, "Kernel32.dll", LoadLibraryA, LoadLibraryA, DocPdf)                           \
    X(File, "Kernel32.dll", LoadLibraryExW, LoadLibraryExW, DocPdf)                       \
    X(File, "comdlg32.dll", GetSaveFileNameW, GetSaveFileNameW, Always)                   \
    X(File, "comdlg32.dll", GetSaveFileNameA, GetSaveFileNameA, Always)                   \
    X(File, "ole32.dll", RegisterDragDrop, RegisterDragDrop, Always)                      \
    X(File, "Kernel32.dll", OpenProcess, OpenProcess, Always)                             \
    X(Print, "Gdi32.dll", StartDocW, StartDocW, DocPrintable)                             \
    X(Print, "Gdi32.dll", EndDoc, EndDoc, DocPrintable)                                   \
    X(Print, "winspool.drv", StartDocPrinterW, StartDocPrinterW, DocPrintable)            \
    X(Print, "winspool.drv", DocumentPropertiesW, DocumentPropertiesW, DocPrintable)      \
    X(Print, "Gdi32.dll", StartPage, StartPage, DocPrintable)                             \
    X(Print, "Gdi32.dll", EndPage, EndPage, DocPrintable)                                 \
    X(Print, "winspool.drv", OpenPrinterW, OpenPrinterW, DocPrintable)                    \
    X(Print, "Gdi32.dll", AbortDoc, AbortDoc, DocPrintable)                               \
    X(Print, "Gdi32.dll", Escape, Escape, DocPrintable)                                   \
    X(Print, "winspool.drv", OpenPrinterA, OpenPrinterA, DocPrintable)                    \
    X(Screen, "gdi32.dll", BitBlt, BitBlt, Always)                                        \
    X(Screen, "gdi32.dll", CreateDCA, CreateDCA, Always)                                  \
    X(Screen, "gdi32.dll", CreateDCW, CreateDCW, Always)                                  \
    X(Screen, "comctl32.dll", ImageList_BeginDrag, ImageList_BeginDrag, Always)           \
    X(Screen, "comctl32.dll", ImageList_EndDrag, ImageList_EndDrag, Always)               \
    X(Screen, "gdi32.dll", StretchBlt, StretchBlt, Always)                                \
    X(Screen, "gdi32.dll", MaskBlt, MaskBlt, Always)                                      \
    X(Screen, "gdi32.dll", PlgBlt, PlgBlt, Always)                                        \
    X(Screen, "gdi32.dll", GdiTransparentBlt, GdiTransparentBlt, Always)                  \
    X(Screen, "gdi32.dll", GdiAlphaBlend, GdiAlphaBlend, Always)                          \
    X(Screen, "gdi32.dll", GetPixel, GetPixel, Always)                                    \
    X(Screen, "user32.dll", PrintWindow, PrintWindow, Always)                             \
    X(Ole, "ole32.dll", DoDragDrop, DoDragDrop, Always)                                   \
    X(Ole, "oleaut32.dll", GetActiveObject, GetActiveObject, Always)                      \
    X(Ole, "user32.dll", DdeConnect, DdeConnect, Always)                                  \
    X(Ole, "ole32.dll", CoCreateInstance, CoCreateInstance, Always)                       \
    X(Ole, "ole32.dll", CoCreateInstanceEx, CoCreateInstanceEx, Always)                   \
    X(Ole, "ole32.dll", CoGetClassObject, CoGetClassObject, Always)                       \
    X(Ole, "user32.dll", DdeConnectList, DdeConnectList, Always)                          \
    X(Ole, "ole32.dll", OleRun, OleRun, Always)                                           \
    X(Ole, "ole32.dll", RevokeDragDrop, RevokeDragDrop, DocAny)                           \
    X(Ole, "OLEAUT32.DLL", RegisterActiveObject, RegisterActiveObject, DocExcel)          \
    X(Ole, "OLEAUT32.DLL", DispCallFunc, DispCallFunc, DocPpt)                            \
    X(Clipboard, "user32.dll", OpenClipboard, OpenClipboard, Always)                       \
    X(Clipboard, "user32.dll", CountClipboardFormats, CountClipboardFormats, Always)       \
    X(Clipboard, "user32.dll", EmptyClipboard, EmptyClipboard, Always)                     \
    X(Clipboard, "user32.dll", GetClipboardData, GetClipboardData, Always)                 \
    X(Clipboard, "user32.dll", SetClipboardData, SetClipboardData, Always)
