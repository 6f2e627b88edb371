#pragma once
// Version of the PDF application and its menu commands that the menu guard greys.
#include <cstdint>
#include <vector>

// Reads this process's file version and sets dwAcrobatVersion, strPdfWndClass
// and the two menu-id lists of the process context. Run once at attach, before
// any window search.
void DetectPdfVersion();

// The menu command ids of a major version in table order, and its print
// commands; both empty for versions without a table.
std::vector<uint32_t> PdfMenuIds(int major);
std::vector<uint32_t> PdfPrintMenuIds(int major);
