#include "identify/window_rules.h"

#include <cstring>
#include <string>

#include "store/hook_records.h"

namespace {

// Code page 936 texts, compared byte by byte with the narrow window texts.
const char* const kSaveTitles[] = {
    "\xC1\xED\xB4\xE6",                  // "save as" (first two characters)
    "\xB1\xA3\xB4\xE6",                  // "save"
    "\xB4\xF2\xD3\xA1\xB5\xBD\xCE\xC4\xBC\xFE",  // "print to file"
    "PRINT TO",
    "SAVE",
};

const char* const kDialogClasses[] = {
    "bosa_sdm_Microsoft Office Word 11.0",
    "bosa_sdm_XL9",
    "#32770",
    "screenClass",
};

}  // namespace

bool IsSaveDlgTitle(const char* title) {
    if (!title) return false;
    for (const char* t : kSaveTitles)
        if (strstr(title, t)) return true;
    return false;
}

bool IsDialogClass(const char* className) {
    if (!className) return false;
    try {
        std::string cls = className;
        const size_t first = cls.find_first_not_of(' ');
        if (first == std::string::npos) return false;
        cls = cls.substr(first, cls.find_last_not_of(' ') - first + 1);
        for (const char* c : kDialogClasses)
            if (cls.find(c) != std::string::npos) return true;
    } catch (...) {
    }
    return false;
}

bool IsWndInZelDoc(const MSG* msg, _ZEL_HOOK_INFO_& rec) {
    if (!msg || !msg->hwnd) return false;
    try {
        return store::GetHookInfoByWndOrChild(msg->hwnd, &rec) >= 0;
    } catch (...) {
        return false;
    }
}
