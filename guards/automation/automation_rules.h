#pragma once
// Decisions of the automation guard: which COM classes may be created or
// reached now, and how far a document may be dragged.
#include <windows.h>

// The chart server and the spreadsheet application.
extern const CLSID kChartServerClsid;     // {00020803-0000-0000-C000-000000000046}
extern const CLSID kSpreadsheetAppClsid;  // {00024500-0000-0000-C000-000000000046}

// The office applications' automation classes, from their program ids
// ("Word.Application", "Excel.Application", "Powerpoint.application"), looked
// up once per process; false while the program id is not registered.
enum class OfficeApp { Word, Excel, PowerPoint };
bool OfficeAppClsid(OfficeApp app, CLSID& clsid);
bool IsOfficeAppClsid(OfficeApp app, REFCLSID clsid);

// May the chart server or the spreadsheet application be created now: not
// while the word processor or the presentation program has a protected
// document in front whose letters deny copying. A refusal arms the creation
// rule for the chart server's two error windows.
bool AllowOpenGraph();

// Every class but those two is allowed; they follow AllowOpenGraph.
bool IsClsidAllowed(REFCLSID clsid);

// The drag permission of the document window's record: 0 no record, 1 no
// drag, 2 only inside the document ("W"), 3 free ("A").
int GetDocDropFlag(HWND docWnd);
