// Display device contexts made by this process are remembered, so that a copy
// out of one can be told (guards/screen/screen_copy_rule.h). The calls
// themselves always pass unchanged.
#include "guards/screen/display_dcs.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/contained_run.h"

HDC WINAPI Detour_CreateDCA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const DEVMODEA* pdm) {
    return RunReplacement(
        HookId::kCreateDCA, Trampoline_CreateDCA,
        [&](contained::Frame& run) -> HDC {
            const HDC dc = intercept::CallReal(run, Trampoline_CreateDCA, pszDriver, pszDevice, pszPort, pdm);
            if (dc) {
                // The device context is the caller's whatever happens here.
                const intercept::LastErrorKeeper keep;
                contained::Run([&] {
                    RememberIfDisplayDC(dc, intercept::IsName(pszDriver) && lstrcmpiA(pszDriver, "DISPLAY") == 0);
                });
            }
            return dc;
        },
        [&]() -> HDC { return intercept::CallReal(Trampoline_CreateDCA, pszDriver, pszDevice, pszPort, pdm); },
        pszDriver, pszDevice, pszPort, pdm);
}

HDC WINAPI Detour_CreateDCW(LPCWSTR pszDriver, LPCWSTR pszDevice, LPCWSTR pszPort, const DEVMODEW* pdm) {
    return RunReplacement(
        HookId::kCreateDCW, Trampoline_CreateDCW,
        [&](contained::Frame& run) -> HDC {
            const HDC dc = intercept::CallReal(run, Trampoline_CreateDCW, pszDriver, pszDevice, pszPort, pdm);
            if (dc) {
                // The device context is the caller's whatever happens here.
                const intercept::LastErrorKeeper keep;
                contained::Run([&] {
                    RememberIfDisplayDC(dc, intercept::IsName(pszDriver) && lstrcmpiW(pszDriver, L"DISPLAY") == 0);
                });
            }
            return dc;
        },
        [&]() -> HDC { return intercept::CallReal(Trampoline_CreateDCW, pszDriver, pszDevice, pszPort, pdm); },
        pszDriver, pszDevice, pszPort, pdm);
}
