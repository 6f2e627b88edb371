#include "tests/print/print_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "tests/store/store_test_util.h"

namespace printtest {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string WindowsFormOf(const char* unixEnv) {
    const char* v = getenv(unixEnv);
    return v ? hosts::HostClient::WinPath(v) : std::string();
}

// The value of one field of a record line ("name=value" between tabs).
std::string Field(const std::string& line, const std::string& name) {
    size_t at = 0;
    while (at <= line.size()) {
        size_t end = line.find('\t', at);
        if (end == std::string::npos) end = line.size();
        if (line.compare(at, name.size() + 1, name + "=") == 0)
            return line.substr(at + name.size() + 1, end - at - name.size() - 1);
        at = end + 1;
    }
    return {};
}

}  // namespace

size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); !needle.empty() && p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

std::string Doubled(const std::string& s) {
    std::string d;
    for (char c : s) d += std::string(2, c);
    return d;
}

size_t Mentions(const std::string& text, const std::string& word) {
    return Count(text, word) + Count(text, Doubled(word));
}

std::string Today() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char date[16];
    snprintf(date, sizeof date, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    return date;
}

size_t CountEither(const std::string& hay, const std::string& a, const std::string& b) {
    return a == b ? Count(hay, a) : Count(hay, a) + Count(hay, b);
}

std::string MessageText(const char* key) {
    char buf[260] = {};
    GetPrivateProfileStringA("String", key, "", buf, sizeof buf,
                             (WindowsFormOf("GATREL_ROOT") + "\\Language\\Multi_eng.ini").c_str());
    return buf;
}

namespace {

// The first and last rows with ink in the page's right half (-1 without any):
// the watermark's band where the page's own text does not reach.
std::pair<int, int> InkedRows(const PagePixels& page) {
    int first = -1, last = -1;
    for (int y = 0; y < page.height; ++y)
        for (int x = page.width / 2; x < page.width; ++x)
            if (page.Grey(x, y) < 245) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

}  // namespace

std::string BandRows(const PagePixels& page, int underlayGrey) {
    const auto [first, last] = InkedRows(page);
    std::string rows;
    for (int y = first; first >= 0 && y <= last; ++y) {
        bool black = false, grey = false;
        for (int x = page.width / 2; x < page.width; ++x) {
            const int v = page.Grey(x, y);
            black |= v < 64;
            grey |= v >= underlayGrey - 6 && v <= underlayGrey + 6;
        }
        rows += black ? '#' : grey ? '-' : '.';
    }
    return rows;
}

double Share(const std::string& rows, char c) {
    return rows.empty() ? 0 : static_cast<double>(Count(rows, std::string(1, c))) / rows.size();
}

double PaperShareUnderBand(const PagePixels& page) {
    const auto [first, last] = InkedRows(page);
    long paper = 0, all = 0;
    for (int y = first; first >= 0 && y <= last; ++y)
        for (int x = 0; x < page.width / 2; ++x, ++all) paper += page.Grey(x, y) > 240;
    return all ? static_cast<double>(paper) / all : 0;
}

PrintEvent::PrintEvent(DWORD owner)
    : event_(CreateEventA(nullptr, FALSE, FALSE, ("PrintEventOfZEL" + std::to_string(owner)).c_str())) {}

PrintEvent::~PrintEvent() {
    if (event_) CloseHandle(event_);
}

bool PrintEvent::Taken() { return event_ && WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

PrintHost::PrintHost(const std::string& variant, const std::string& docPath, int renderDpi,
                     const char* boxMode, const std::vector<std::string>& args)
    : output_(variant), record_(output_.WindowsPath() + "\\boxes.txt") {
    Params env = output_.Environment(renderDpi);
    env.emplace_back("ZELMSGBOX_RECORD", record_);
    env.emplace_back("ZELMSGBOX_MODE", boxMode);
    ok_ = host_.Start(variant, args, env) && host_.LoadGatrel();
    if (!ok_) return;
    host_.CreateDoc();
    doc_ = host_.OpenDoc(docPath);
    ok_ = doc_ != nullptr && host_.Activate(doc_);
}

Reply PrintHost::Print(Params params) {
    host_.Activate(doc_);
    return host_.Send("print", params, 120000);
}

std::vector<std::string> PrintHost::Boxes(size_t atLeast, DWORD waitMs) const {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> texts;
        std::istringstream in(ReadAll(record_));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) texts.push_back(Field(line, "text"));
        }
        if (texts.size() >= atLeast || GetTickCount() - start >= waitMs) return texts;
        Sleep(50);
    }
}

PrintHost::State PrintHost::PrintState() {
    const Reply r = host_.Send("printstate");
    State s;
    if (r.ok) {
        s.need = r.Num("need");
        s.heap = r.Num("heap");
    }
    return s;
}

void PrintGuard::SetUp() {
    storetest::ClearTable(store);
    ASSERT_TRUE(printworld::InstallPrinters());
}

void PrintGuard::TearDown() { storetest::ClearTable(store); }

void PrintGuard::Register(PrintHost& host, const std::string& path, const char* letters, uint8_t type,
                          DWORD owner) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = host.host().Pid();
    r.dwOwnerPid = owner;
    r.hDocWnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host.doc()));
    r.byDocType = type;
    memcpy(r.szPermission, letters, std::min(strlen(letters), sizeof r.szPermission));
    strncpy(r.szFilePath, path.c_str(), sizeof r.szFilePath - 1);
    strncpy(r.szZelFileName, path.c_str() + path.find_last_of('\\') + 1, sizeof r.szZelFileName - 1);
    store.AddHookInfo(&r);
}

void PrintGuard::PublishWater(WORD opacity, const char* content, char layout, float size, WORD lines) {
    WaterInfo info{};
    info.chLayout = layout;
    info.fFontSize = size;
    info.wOpacity = opacity;
    info.wLineCount = lines;
    strncpy(info.szContent, content, sizeof info.szContent - 1);
    store.SetWaterInfo(&info);
}

}  // namespace printtest
