#include "host_library.h"

#include "host_app.h"

namespace host {
namespace {

// C++ exports are found by their mangled names (GCC's Itanium ABI).
template <class F>
void Resolve(Library& lib, F& slot, const char* name) {
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib.module, name)));
    if (!slot) {
        if (!lib.missing.empty()) lib.missing += ",";
        lib.missing += name;
    }
}

std::string DefaultPath() {
    char bin[1024] = {};
    if (!GetEnvironmentVariableA("GATREL_BIN", bin, sizeof bin)) return "Gatrel.dll";
    std::string dir = bin;
    // CTest hands the folder over as a Unix path; Wine maps / to drive Z:.
    if (!dir.empty() && dir[0] == '/') {
        for (auto& c : dir)
            if (c == '/') c = '\\';
        dir = "Z:" + dir;
    }
    return dir + "\\Gatrel.dll";
}

}  // namespace

Library& TheLibrary() {
    static Library lib;
    return lib;
}

bool LoadLibraryExports(const std::string& pathIn, std::string& error) {
    Library& lib = TheLibrary();
    const std::string path = pathIn.empty() ? DefaultPath() : pathIn;
    HMODULE m = LoadLibraryW(Widen(path).c_str());
    if (!m) {
        error = "LoadLibrary failed (" + std::to_string(GetLastError()) + "): " + path;
        return false;
    }
    lib.module = m;
    lib.missing.clear();
    Resolve(lib, lib.DocObject, "_Z9DocObjectv");
    Resolve(lib, lib.GetProcessContext, "_Z17GetProcessContextv");
    Resolve(lib, lib.CreateDocObject,
            "_Z15CreateDocObjectRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE");
    Resolve(lib, lib.CreateKORBDocObject, "_Z19CreateKORBDocObjectv");
    Resolve(lib, lib.FindActiveDocWnd, "_Z16FindActiveDocWndv");
    Resolve(lib, lib.UpdateKORBDocWnd, "_Z16UpdateKORBDocWndv");
    Resolve(lib, lib.GetOSVersion, "_Z12GetOSVersionRiS_");
    Resolve(lib, lib.IsSaveDlgTitle, "_Z14IsSaveDlgTitlePKc");
    return true;
}

}  // namespace host
