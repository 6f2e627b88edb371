#pragma once
// A test host with the library loaded, a document open and registered in the
// store, and, on request, the library's two window hooks on the host's UI
// thread, where the global hooks would place them. Input is real: key and
// mouse messages posted to the host's windows pass through the message hook
// before the host's window procedures record what reached them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host_client.h"
#include "tests/store/store_test_util.h"
#include "tests/support/library_view.h"

namespace wndtest {

inline uint32_t Word32(HWND w) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w)); }

inline std::string Hex(HWND w) {
    char b[24];
    snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(Word32(w)));
    return b;
}

inline bool HasEvent(const std::vector<std::string>& events, const std::string& prefix) {
    for (const auto& e : events)
        if (e.rfind(prefix, 0) == 0) return true;
    return false;
}

inline int DocTypeOf(const std::string& variant) {
    if (variant.rfind("word", 0) == 0) return 1;
    if (variant.rfind("excel", 0) == 0) return 2;
    if (variant.rfind("ppt", 0) == 0) return 3;
    if (variant.rfind("acro", 0) == 0) return 4;
    return 0;
}

class WindowHost {
public:
    ~WindowHost() {
        for (HHOOK h : hooks_) UnhookWindowsHookEx(h);
        if (owner_) store_.DelHookInfo(owner_);
    }

    // Starts the variant, loads the library and opens one document, in front.
    bool Start(const std::string& variant, const std::string& docPath = "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc",
               const std::vector<std::string>& args = {}, const hosts::Params& env = {}) {
        variant_ = variant;
        if (!host.Start(variant, args, env) || !host.LoadGatrel()) return false;
        host.CreateDoc();
        hosts::Reply full;
        doc = host.OpenDoc(docPath, &full);
        view = full.Wnd("view") ? full.Wnd("view") : doc;
        frame = full.Wnd("frame");
        path_ = docPath;
        return doc && host.Activate(doc);
    }

    // The document's record, with the letters; owner is the record's key.
    void Protect(const char* letters, DWORD owner) {
        if (owner_ && owner_ != owner) store_.DelHookInfo(owner_);
        owner_ = owner;
        store_.DelHookInfo(owner);
        _ZEL_HOOK_INFO_ r{};
        r.dwProcessId = host.Pid();
        r.dwOwnerPid = owner;
        r.hDocWnd = Word32(doc);
        r.byDocType = static_cast<uint8_t>(DocTypeOf(variant_));
        strncpy(r.szPermission, letters, sizeof r.szPermission - 1);
        strncpy(r.szFilePath, path_.c_str(), sizeof r.szFilePath - 1);
        store_.AddHookInfo(&r);
    }
    void Letters(const char* letters) { store_.SetHookInfo(owner_, letters); }
    void Unprotect() {
        if (owner_) store_.DelHookInfo(owner_);
        owner_ = 0;
    }

    // The message hook and the CBT hook of the loaded library on the host's UI thread.
    bool HookMessages() { return Hook(WH_GETMESSAGE, testlib::Dll().CallWndProc); }
    bool HookWindows() { return Hook(WH_CBT, testlib::Dll().CallControlWndProc); }

    // Posts the key (down and up) to wnd (default: the document's focus
    // window) and returns what reached the host's windows meanwhile.
    std::vector<std::string> Key(int vk, const std::string& mods = "", HWND wnd = nullptr) {
        host.Events();
        char v[16];
        snprintf(v, sizeof v, "0x%x", vk);
        host.Send("key", {{"vk", v}, {"mods", mods}, {"mode", "post"}, {"wnd", Hex(wnd ? wnd : view)}});
        return host.Events();
    }
    // The key press (its key-down or character message) or its accelerator's
    // command reached the host. A release alone does nothing in an
    // application; the rules that test whether a key is held let it pass.
    bool KeyArrives(int vk, const std::string& mods = "", HWND wnd = nullptr) {
        for (const std::string& e : Key(vk, mods, wnd)) {
            if (e.rfind("command:", 0) == 0) return true;
            if (e.rfind("key:", 0) != 0) continue;
            const std::string msg = e.substr(e.find(':', 4) + 1, 5);
            if (msg == "0x100" || msg == "0x104" || msg == "0x102" || msg == "0x106") return true;
        }
        return false;
    }

    // Waits up to ms for the window to be gone.
    bool GoneWithin(HWND w, DWORD ms) {
        for (DWORD waited = 0; IsWindow(w); waited += 50) {
            if (waited >= ms) return false;
            host.Send("pump", {{"ms", "50"}});
        }
        return true;
    }

    hosts::HostClient host;
    HWND doc = nullptr, view = nullptr, frame = nullptr;

private:
    bool Hook(int type, HOOKPROC proc) {
        const DWORD tid = static_cast<DWORD>(host.Info(doc).Num("tid"));
        HHOOK h = tid ? SetWindowsHookExA(type, proc, GetModuleHandleA("Gatrel.dll"), tid) : nullptr;
        if (h) hooks_.push_back(h);
        return h != nullptr;
    }

    testlib::Store store_;
    std::string variant_, path_;
    DWORD owner_ = 0;
    std::vector<HHOOK> hooks_;
};

}  // namespace wndtest
