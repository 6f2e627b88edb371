#pragma once
// The print guard's tests: test hosts with the library loaded print real jobs
// to the test world's printers; the refusal boxes they were shown are
// recorded by the message-box stand-in, the controller's print event is a
// real named event of this program, and the store is the library's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host_client.h"
#include "tests/print/print_world.h"
#include "tests/store/store_test_util.h"
#include "tests/support/library_view.h"

namespace printtest {

inline uint32_t H(HWND w) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w)); }

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

// The controller's print event of one owner: auto-reset, as a controller
// counting prints one by one would make it.
class PrintEvent {
public:
    explicit PrintEvent(DWORD owner)
        : event_(CreateEventA(nullptr, FALSE, FALSE, ("PrintEventOfZEL" + std::to_string(owner)).c_str())) {}
    ~PrintEvent() {
        if (event_) CloseHandle(event_);
    }
    // Whether it was set since the last look.
    bool Taken() { return event_ && WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE event_;
};

// One application with the library loaded, a document open and in front,
// its jobs going to a folder of its own and its refusal boxes recorded.
class PrintHost {
public:
    PrintHost(const std::string& variant, const std::string& docPath, int renderDpi = 0)
        : output_(variant), record_(output_.WindowsPath() + "\\boxes.txt") {
        hosts::Params env = output_.Environment(renderDpi);
        env.emplace_back("ZELMSGBOX_RECORD", record_);
        env.emplace_back("ZELMSGBOX_MODE", "none");
        ok_ = host_.Start(variant, {}, env) && host_.LoadGatrel();
        if (!ok_) return;
        host_.CreateDoc();
        doc_ = host_.OpenDoc(docPath);
        ok_ = doc_ != nullptr && host_.Activate(doc_);
    }

    bool ok() const { return ok_; }
    hosts::HostClient& host() { return host_; }
    HWND doc() const { return doc_; }
    const printworld::OutputFolder& output() const { return output_; }

    hosts::Reply Print(hosts::Params params) {
        params.emplace_back("front", "");
        return host_.Send("print", params, 120000);
    }
    // The boxes shown so far, one record line each.
    std::vector<std::string> Boxes(DWORD settleMs = 0) const {
        if (settleMs) Sleep(settleMs);
        std::vector<std::string> lines;
        std::istringstream in(ReadAll(record_));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
        }
        return lines;
    }

private:
    printworld::OutputFolder output_;
    std::string record_;
    hosts::HostClient host_;
    HWND doc_ = nullptr;
    bool ok_ = false;
};

class PrintGuard : public ::testing::Test {
protected:
    void SetUp() override {
        storetest::ClearTable(store);
        ASSERT_TRUE(printworld::InstallPrinters());
    }
    void TearDown() override { storetest::ClearTable(store); }

    // The protected document of host, registered for owner with letters.
    void Register(PrintHost& host, const std::string& path, const char* letters, uint8_t type, DWORD owner) {
        _ZEL_HOOK_INFO_ r{};
        r.dwProcessId = host.host().Pid();
        r.dwOwnerPid = owner;
        r.hDocWnd = H(host.doc());
        r.byDocType = type;
        strncpy(r.szPermission, letters, sizeof r.szPermission);
        strncpy(r.szFilePath, path.c_str(), sizeof r.szFilePath - 1);
        const size_t slash = path.find_last_of('\\');
        strncpy(r.szZelFileName, path.c_str() + slash + 1, sizeof r.szZelFileName - 1);
        store.AddHookInfo(&r);
    }

    // The watermark every protected job gets.
    void PublishWater(char layout, WORD opacity, const char* content, float size = 40, WORD lines = 1) {
        WaterInfo info{};
        info.chLayout = layout;
        info.fFontSize = size;
        info.wOpacity = opacity;
        info.wLineCount = lines;
        strncpy(info.szContent, content, sizeof info.szContent - 1);
        store.SetWaterInfo(&info);
    }

    testlib::Store store;
};

}  // namespace printtest
