#include "host_library.h"

#include "host_app.h"

namespace host {
namespace {


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
    const GatrelDiagnostics* t = DiagnosticTableOf(m);
    if (!t) {
        lib.missing = "GatrelDiagnosticTable";
        return true;
    }
    lib.table = t;
    lib.DocObject = t->DocObject;
    lib.GetProcessContext = t->GetProcessContext;
    lib.CreateDocObject = t->CreateDocObject;
    lib.CreateKORBDocObject = t->CreateKORBDocObject;
    lib.FindActiveDocWnd = t->FindActiveDocWnd;
    lib.UpdateKORBDocWnd = t->UpdateKORBDocWnd;
    lib.GetOSVersion = t->GetOSVersion;
    lib.IsSaveDlgTitle = t->IsSaveDlgTitle;
    return true;
}

}  // namespace host
