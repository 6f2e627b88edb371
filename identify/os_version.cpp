#include "identify/os_version.h"

#include <windows.h>

namespace {

int CodeOf(DWORD platform, DWORD major, DWORD minor) {
    switch (platform) {
        case 0:
            return 100;
        case 1:
            if (major == 4 && minor == 0) return 101;
            if (major == 4 && minor == 10) return 102;
            if (major == 4 && minor == 90) return 103;
            return -1;
        case 2:
            if (major <= 4) return 104;
            if (major == 5 && minor == 0) return 105;
            if (major == 5 && minor == 1) return 106;
            if (major == 5 && minor == 2) return 107;
            if (major == 6 && minor == 0) return 108;
            if (major == 6 && minor == 1) return 110;
            return -1;
        default:
            return -1;
    }
}

}  // namespace

// GetVersionExA is deprecated in the SDK headers but is exactly the query wanted:
// the version the system reports to this executable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
int GetOSVersion(int& code, int& servicePack) {
    code = -1;
    servicePack = -1;
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
        servicePack = ex.wServicePackMajor;
    } else {
        ex = OSVERSIONINFOEXA{};
        ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) return 0;
        servicePack = 0;
    }
    code = CodeOf(ex.dwPlatformId, ex.dwMajorVersion, ex.dwMinorVersion);
    return 1;
}
#pragma GCC diagnostic pop
