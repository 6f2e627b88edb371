#pragma once
// The texts by which the PDF application's print dialog and its controls are
// known, English and code page 936 (compared byte by byte with ANSI texts).
// Lists end with a null entry.

namespace wndctl {

// The print-to-file box: contained in the window name as created.
inline const char* const kPrintToFileName[] = {
    "\xB4\xF2\xD3\xA1\xB5\xBD\xCE\xC4\xBC\xFE",  // "print to file"
    "Print to &file",
    nullptr,
};

// The same, contained in an upper-cased text.
inline const char* const kPrintToFileUpper[] = {
    "\xB4\xF2\xD3\xA1\xB5\xBD\xCE\xC4\xBC\xFE",
    "PRINT TO &FILE",
    nullptr,
};

// The "Advanced" button, the whole text without regard to case.
inline const char* const kAdvancedButton[] = {
    "\xB8\xDF\xBC\xB6(&D)",  // "advanced(&D)"
    "Advanced(&D)",
    "A&dvanced",
    nullptr,
};

}  // namespace wndctl
