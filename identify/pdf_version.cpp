#include "identify/pdf_version.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "host/process_context.h"
#include "identify/active_doc_window.h"
#include "identify/app_version.h"
#include "support/log.h"

namespace {

// Command ids of the File and Edit menus of each version, as the application
// numbers them; a contract with the application, not ours to change.
const uint32_t kIds6[] = {6006, 6287, 6014, 6015, 6163, 6289, 6288, 6176, 6331, 6332, 6009, 6333};
const uint32_t kPrint6[] = {6014, 6015};
const uint32_t kIds7[] = {6423, 6418, 6419, 6007, 6018, 6183, 6019, 6021, 6205, 6145, 6454,
                          6455, 6377, 6378, 6379, 6380, 6053, 6208, 6209, 6210, 6211};
const uint32_t kPrint7[] = {6018, 6183, 6019};
const uint32_t kIds8[] = {6006, 6337, 6332, 6333, 6017, 6018, 6186, 6222, 6397,
                          6404, 6140, 6308, 6052, 6326, 6327, 6328, 6329, 6330};
const uint32_t kPrint8[] = {6017, 6018};
const uint32_t kIds9[] = {6012, 6013, 6016, 6027, 6028, 6271, 6346, 6353, 6186, 6187, 6101, 6131,
                          6140, 6148, 6170, 6171, 6142, 6143, 6144, 6145, 6146, 6025, 6062};
const uint32_t kPrint9[] = {6027, 6028};

template <size_t N>
std::vector<uint32_t> Vec(const uint32_t (&a)[N]) {
    return std::vector<uint32_t>(a, a + N);
}

std::string OwnExecutable() {
    char path[260] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    path[sizeof path - 1] = 0;
    return path;
}

}  // namespace

std::vector<uint32_t> PdfMenuIds(int major) {
    switch (major) {
        case 6: return Vec(kIds6);
        case 7: return Vec(kIds7);
        case 8: return Vec(kIds8);
        case 9: return Vec(kIds9);
        default: return {};
    }
}

std::vector<uint32_t> PdfPrintMenuIds(int major) {
    switch (major) {
        case 6: return Vec(kPrint6);
        case 7: return Vec(kPrint7);
        case 8: return Vec(kPrint8);
        case 9: return Vec(kPrint9);
        default: return {};
    }
}

void DetectPdfVersion() {
    try {
        const std::string ver = GetFileVersionString(OwnExecutable());
        const size_t pos = ver.find('.');
        if (pos == std::string::npos) {
            LogError("PDF GetVersion Failed!");
            return;
        }
        const std::string major = ver.substr(0, pos);
        LogInfo("%s", major.c_str());
        ProcessContext& ctx = GetProcessContext();
        ctx.dwAcrobatVersion = static_cast<uint32_t>(atol(major.c_str()));
        ctx.strPdfWndClass = "AdobeAcrobat";
        ctx.NoPrintMenuIds.clear();
        ctx.PrintMenuIds.clear();
        const int v = static_cast<int>(ctx.dwAcrobatVersion);
        if (v == 8) ctx.strPdfWndClass = kPdfPairClass;
        if (v == 9) ctx.strPdfWndClass = "AcrobatSDIWindow";
        const std::vector<uint32_t> ids = PdfMenuIds(v);
        const std::vector<uint32_t> print = PdfPrintMenuIds(v);
        ctx.NoPrintMenuIds = ids;
        for (uint32_t id : ids) {
            if (std::find(print.begin(), print.end(), id) == print.end())
                ctx.PrintMenuIds.push_back(id);
        }
    } catch (...) {
    }
}
