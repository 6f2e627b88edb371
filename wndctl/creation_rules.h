#pragma once
// The window-creation rules of the CBT hook, in the protected applications.
#include <windows.h>

class CCommonDoc;

enum class CreationVerdict { kPass, kRefuse };

// The PDF application's print dialog with a protected document in front: its
// print-to-file box (without "A") and its "Advanced" button are created with
// zero size and position, out of the user's reach; the dialog's own creation
// is noted for its activation.
void ApplyPdfPrintCreationRule(HWND w, CREATESTRUCTA& cs, const char* name, CCommonDoc& doc);

// The chart server that the OLE guard refused to start makes the word
// processor and the presentation program show error windows: as many as the
// guard announced are never created.
CreationVerdict ApplyChartErrorRule(const char* name, const CCommonDoc& doc);
