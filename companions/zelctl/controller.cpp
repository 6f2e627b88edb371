#include "companions/zelctl/controller.h"

#include <cstring>

#include "companions/zelctl/command_error.h"
#include "companions/zelctl/record_fields.h"
#include "companions/zelctl/store_table.h"
#include "companions/zelctl/values.h"
#include "store/gatrel_interface.h"
#include "host/diagnostics.h"
#include "store/ostrum_records.h"

namespace zelctl {

namespace {

void ExpectCount(const std::vector<std::string>& w, size_t min, size_t max, const char* usage) {
    if (w.size() < min || w.size() > max) throw CommandError(std::string("usage: ") + usage);
}

const char* OstrumResultText(int code) {
    switch (code) {
        case kOstrumStored: return "stored";
        case kOstrumLockFailed: return "the store's lock could not be taken";
        case kOstrumNameTaken: return "a record with that zel file name exists";
        case kOstrumTableFull: return "the table is full";
        default: return "unknown result";
    }
}

}  // namespace

bool Controller::Run(const std::vector<std::string>& w) {
    const std::string& cmd = w.at(0);
    if (cmd == "quit" || cmd == "exit") {
        ExpectCount(w, 1, 1, cmd.c_str());
        return false;
    }
    if (cmd == "install") Install(w);
    else if (cmd == "remove") Remove(w);
    else if (cmd == "restart") Restart(w);
    else if (cmd == "add") Add(w);
    else if (cmd == "add-ostrum") AddOstrum(w);
    else if (cmd == "letters") Letters(w);
    else if (cmd == "temp") Temp(w);
    else if (cmd == "del") Del(w);
    else if (cmd == "del-guard") DelGuard(w);
    else if (cmd == "water") Water(w);
    else if (cmd == "korb") Korb(w);
    else if (cmd == "list") List(w);
    else if (cmd == "preview") Preview(w);
    else if (cmd == "wait") Wait(w);
    else if (cmd == "echo") Echo(w);
    else if (cmd == "help") Help();
    else throw CommandError("unknown command \"" + cmd + "\" (try help)");
    fflush(out_);
    return true;
}

void Controller::Install(const std::vector<std::string>& w) {
    ExpectCount(w, 1, 1, "install");
    if (msgHook_ || cbtHook_) throw CommandError("install: the hooks are already installed");
    // The plain export hands back the message hook's handle, so that remove can
    // take it down again; the member StartHook would keep it only in the
    // shared section.
    msgHook_ = ::StartHook(GetModuleHandleA("gatrel"));
    if (!msgHook_) {
        const DWORD code = GetLastError();
        throw CommandError("install: WH_GETMESSAGE failed, code " + std::to_string(code));
    }
    cbtHook_ = iface_.StartCBTHook();
    if (!cbtHook_) {
        const DWORD code = GetLastError();
        ::StopHook(msgHook_);
        msgHook_ = nullptr;
        throw CommandError("install: WH_CBT failed, code " + std::to_string(code));
    }
    fprintf(out_, "install: ok (WH_GETMESSAGE %p, WH_CBT %p)\n", static_cast<void*>(msgHook_),
            static_cast<void*>(cbtHook_));
}

void Controller::DropHooks() {
    HHOOK msg = static_cast<HHOOK>(InterlockedExchangePointer(
        reinterpret_cast<PVOID volatile*>(const_cast<HHOOK*>(&msgHook_)), nullptr));
    HHOOK cbt = static_cast<HHOOK>(InterlockedExchangePointer(
        reinterpret_cast<PVOID volatile*>(const_cast<HHOOK*>(&cbtHook_)), nullptr));
    if (msg) ::StopHook(msg);
    if (cbt) iface_.StopHookEx(cbt);
}

void Controller::Remove(const std::vector<std::string>& w) {
    ExpectCount(w, 1, 1, "remove");
    if (!msgHook_ && !cbtHook_) throw CommandError("remove: the hooks are not installed");
    HHOOK msg = msgHook_;
    HHOOK cbt = cbtHook_;
    msgHook_ = nullptr;
    cbtHook_ = nullptr;
    const bool msgOk = ::StopHook(msg) == 1;
    const bool cbtOk = iface_.StopHookEx(cbt) == 1;
    if (!msgOk || !cbtOk)
        throw CommandError(std::string("remove: could not remove") + (msgOk ? "" : " WH_GETMESSAGE") +
                           (cbtOk ? "" : " WH_CBT"));
    fprintf(out_, "remove: ok\n");
}

void Controller::Restart(const std::vector<std::string>& w) {
    ExpectCount(w, 1, 1, "restart");
    fprintf(out_, "restart: %lu\n", static_cast<unsigned long>(iface_.RestartHook()));
}

void Controller::Add(const std::vector<std::string>& w) {
    if (w.size() < 2) throw CommandError("usage: add field=value ...");
    _ZEL_HOOK_INFO_ rec = BuildRecord(w, 1);
    iface_.AddHookInfo(&rec);
    // AddHookInfo reports nothing: what the store did is read back from it.
    const int slot = SlotHolding(iface_, rec);
    if (slot < 0)
        throw CommandError("add: the record was dropped (all " + std::to_string(kHookInfoSlots) +
                           " slots are taken by other owners)");
    fprintf(out_, "add: ok (owner %lu, slot %d)\n", static_cast<unsigned long>(rec.dwOwnerPid), slot);
}

void Controller::AddOstrum(const std::vector<std::string>& w) {
    if (w.size() < 2) throw CommandError("usage: add-ostrum field=value ...");
    _ZEL_HOOK_INFO_ rec = BuildRecord(w, 1);
    const int code = iface_.AddOstrumInfo(&rec);
    if (code != kOstrumStored)
        throw CommandError("add-ostrum: " + std::to_string(code) + " (" + OstrumResultText(code) +
                           ")");
    fprintf(out_, "add-ostrum: 0 (%s)\n", OstrumResultText(code));
}

void Controller::Letters(const std::vector<std::string>& w) {
    static const char* usage = "letters owner=PID LETTERS | letters path=PATH LETTERS";
    ExpectCount(w, 3, 3, usage);
    const Fields f = ParseFields({w[0], w[1]}, 1, {"owner", "path"});
    const std::string& letters = w[2];
    if (letters.size() > sizeof(_ZEL_HOOK_INFO_::szPermission))
        throw CommandError("letters: at most 10 letters");
    if (auto it = f.find("owner"); it != f.end()) {
        iface_.SetHookInfo(static_cast<DWORD>(ParseU32(it->second, "owner")), letters.c_str());
    } else {
        std::string path = f.at("path");
        iface_.SetHookInfo(path, letters.c_str());
    }
    fprintf(out_, "letters: ok\n");
}

void Controller::Temp(const std::vector<std::string>& w) {
    ExpectCount(w, 3, 3, "temp path=PATH TEMPPATH");
    const Fields f = ParseFields({w[0], w[1]}, 1, {"path"});
    if (w[2].size() >= sizeof(_ZEL_HOOK_INFO_::szOfficeTempPath))
        throw CommandError("temp: longer than 259 bytes");
    iface_.SetOfficeTempPath(f.at("path").c_str(), w[2].c_str());
    fprintf(out_, "temp: ok\n");
}

void Controller::Del(const std::vector<std::string>& w) {
    ExpectCount(w, 2, 2, "del owner=PID | del all");
    if (w[1] == "all") {
        static _ZEL_HOOK_INFO_ table[kHookInfoSlots];
        iface_.GetAllOstrumInfo(table);
        int owners = 0;
        for (const auto& r : table) {
            if (!r.dwOwnerPid) continue;
            iface_.DelHookInfo(r.dwOwnerPid);
            ++owners;
        }
        fprintf(out_, "del: ok (%d owners)\n", owners);
        return;
    }
    const Fields f = ParseFields(w, 1, {"owner"});
    iface_.DelHookInfo(static_cast<DWORD>(ParseU32(f.at("owner"), "owner")));
    fprintf(out_, "del: ok\n");
}

void Controller::DelGuard(const std::vector<std::string>& w) {
    if (w.size() < 2) throw CommandError("usage: del-guard owner=PID zelname=NAME [wnd= type= extra= dwextra=]");
    _ZEL_HOOK_INFO_ rec = BuildRecord(w, 1);
    iface_.DelGuardInfo(&rec);
    fprintf(out_, "del-guard: ok\n");
}

void Controller::Water(const std::vector<std::string>& w) {
    if (w.size() < 2) throw CommandError("usage: water [layout=C] [size=F] [opacity=N] [lines=N] [text=TEXT]");
    const Fields f = ParseFields(w, 1, {"layout", "size", "opacity", "lines", "text"});
    if (!iface_.m_pStore) throw CommandError("water: no store");
    // The controller's interface only writes the settings: the current ones
    // come from the library's diagnostic table.
    static WaterInfo info;
    GatrelDiagnosticTable()->GetWaterInfo(&info);
    if (auto it = f.find("layout"); it != f.end()) {
        if (it->second.size() != 1) throw CommandError("layout: one character");
        info.chLayout = it->second[0];
    }
    if (auto it = f.find("size"); it != f.end()) info.fFontSize = ParseFloat(it->second, "size");
    if (auto it = f.find("opacity"); it != f.end())
        info.wOpacity = static_cast<uint16_t>(ParseBounded(it->second, "opacity", 0xFFFF));
    if (auto it = f.find("lines"); it != f.end())
        info.wLineCount = static_cast<uint16_t>(ParseBounded(it->second, "lines", 0xFFFF));
    if (auto it = f.find("text"); it != f.end())
        CopyField(info.szContent, sizeof info.szContent, it->second, "text");
    iface_.SetWaterInfo(&info);
    fprintf(out_, "water: ok\n");
}

void Controller::Korb(const std::vector<std::string>& w) {
    if (w.size() < 2) throw CommandError("usage: korb [info=N] [class=NAME]");
    const Fields f = ParseFields(w, 1, {"info", "class"});
    if (auto it = f.find("class"); it != f.end()) {
        if (it->second.size() >= 260) throw CommandError("class: longer than 259 bytes");
        iface_.SetKORBClassName(it->second.c_str());
    }
    if (auto it = f.find("info"); it != f.end())
        iface_.SetKORBInfo(static_cast<DWORD>(ParseU32(it->second, "info")));
    fprintf(out_, "korb: ok\n");
}

void Controller::List(const std::vector<std::string>& w) {
    ExpectCount(w, 1, 2, "list [all]");
    if (w.size() == 2 && w[1] != "all") throw CommandError("usage: list [all]");
    PrintStore(iface_, w.size() == 2, out_);
}

void Controller::Wait(const std::vector<std::string>& w) {
    ExpectCount(w, 2, 2, "wait MS | wait forever");
    fflush(out_);
    if (w[1] == "forever") {
        for (;;) Sleep(INFINITE);
    }
    Sleep(ParseU32(w[1], "wait"));
}

void Controller::Echo(const std::vector<std::string>& w) {
    std::string line;
    for (size_t i = 1; i < w.size(); ++i) line += (i > 1 ? " " : "") + w[i];
    fprintf(out_, "%s\n", line.c_str());
}

void Controller::Help() {
    fputs(
        "install | remove | restart\n"
        "add field=value ...        (pid owner path letters zelname temp type wnd extra dwextra)\n"
        "add-ostrum field=value ... \n"
        "letters owner=PID LETTERS | letters path=PATH LETTERS\n"
        "temp path=PATH TEMPPATH\n"
        "del owner=PID | del all\n"
        "del-guard owner=PID zelname=NAME [wnd= type= extra= dwextra=]\n"
        "water [layout=C] [size=F] [opacity=N] [lines=N] [text=TEXT]\n"
        "korb [info=N] [class=NAME]\n"
        "list [all] | wait MS | wait forever | echo TEXT | quit\n"
        "preview --out FILE.png [--text T] [--layout L|D] [--size POINTS] [--opacity 0-255]\n"
        "        [--lines N] [--landscape] [--dpi N] [--pdf]\n",
        out_);
}

}  // namespace zelctl
