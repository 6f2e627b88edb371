// Which application this executable stands in for, and its window classes.
#include <cstdio>
#include <vector>

#include "host_app.h"

namespace host {
namespace {

std::string OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Narrow(path);
}

std::string UpperBase(const std::string& path) {
    std::string name = path;
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    for (auto& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return name;
}

void ReadVersions(Profile& p) {
    const std::wstring path = Widen(OwnPath());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (!size) return;
    std::vector<char> block(size + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed) {
        char text[64];
        snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                 LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                 LOWORD(fixed->dwProductVersionLS));
        p.productVersion = text;
    }
    WORD* tr = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                       &len) &&
        tr && len >= 4) {
        wchar_t key[64];
        swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", tr[0], tr[1]);
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&value), &len) && value)
            p.fileVersion = Narrow(value);
    }
}

std::string Option(const std::vector<std::string>& args, const std::string& name) {
    const std::string prefix = "--" + name + "=";
    for (const auto& a : args)
        if (a.rfind(prefix, 0) == 0) return a.substr(prefix.size());
    return {};
}

}  // namespace

Profile DetectProfile(const std::vector<std::string>& args) {
    Profile p;
    p.exeBase = UpperBase(OwnPath());
    ReadVersions(p);
    const std::string& n = p.exeBase;
    if (n == "WINWORD") {
        p.kind = AppKind::Word;
        p.frameClass = "OpusApp";
        p.containerClass = "_WwF";
        p.docClass = "_WwB";
        p.viewClass = "_WwG";
        p.topLevelDocs = true;
    } else if (n == "EXCEL") {
        p.kind = AppKind::Excel;
        p.frameClass = "XLMAIN";
        p.containerClass = "XLDESK";
        p.docClass = "EXCEL7";
    } else if (n == "POWERPNT") {
        p.kind = AppKind::PowerPoint;
        p.frameClass = p.productVersion.rfind("12.0", 0) == 0 ? "PP12FrameClass" : "PP11FrameClass";
        p.containerClass = "MDIClient";
        p.docClass = "mdiClass";
        p.viewClass = "paneClassDC";
    } else if (n == "ACROBAT" || n == "ACRORD32") {
        p.kind = AppKind::Pdf;
        // Versions 6 to 8 show documents inside the main window by default,
        // later ones (and unknown ones) in windows of their own.
        const int major = atoi(p.fileVersion.c_str());
        std::string layout = Option(args, "layout");
        if (layout.empty()) layout = (major >= 6 && major <= 8) ? "mdi" : "sdi";
        p.viewClass = "AVL_AVView";
        if (layout == "mdi") {
            p.frameClass = "AdobeAcrobat";
            p.containerClass = "MDIClient";
            p.docClass = major == 8 ? "AcrobatMDIWindow" : "AcrobatMDIChildWnd";
        } else {
            p.frameClass = "AcrobatSDIWindow";
            p.docClass = "AcrobatSDIWindow";
            p.topLevelDocs = true;
        }
    } else if (n.find("KORBDO") != std::string::npos) {
        p.kind = AppKind::Korb;
        p.frameClass = "KORBClientFrame";
        p.containerClass = "MDIClient";
        p.docClass = "KORBDocWindow";
    } else {
        p.kind = AppKind::Plain;
        p.frameClass = "PlainAppFrame";
        p.docClass = "PlainAppFrame";
        p.viewClass = "PlainAppView";
        p.topLevelDocs = true;
    }
    const std::string frame = Option(args, "frame-class");
    if (!frame.empty()) {
        if (p.topLevelDocs && p.docClass == p.frameClass) p.docClass = frame;
        p.frameClass = frame;
    }
    const std::string doc = Option(args, "doc-class");
    if (!doc.empty()) p.docClass = doc;
    return p;
}

}  // namespace host
