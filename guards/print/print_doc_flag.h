#pragma once
// Which protected document a print job prints, from the job's document name.
#include <string>

#include "store/hook_info.h"

// The "(ZEL-...)" flag in the name under which an application of docType
// prints, in its parenthesised form; empty when the name carries none.
//   word processor  "Microsoft Word - " (17 characters, whatever they are),
//                   then the flag written "_ZEL-..._"
//   presentation    "Microsoft PowerPoint - " (23 characters), then the flag
//   spreadsheet, PDF application: the flag first
// The marker "(ZEL-" is matched ignoring case, the flag keeps the name's own
// case, and its closing character counts from position 6 on.
std::string PrintDocZelFlag(int docType, const std::string& printDocName);

// The same for this process's document object (none: empty).
std::string GetPrintDocZelFlag(const std::string& printDocName);

// The record of the job's document: found by its flag, or else the document
// in front when it is protected. rec must come zeroed.
bool GetPrintDocZelInfo(const std::string& printDocName, _ZEL_HOOK_INFO_& rec);
