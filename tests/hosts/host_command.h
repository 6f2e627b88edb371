#pragma once
// Arguments and replies of host commands. Every argument is a key=value field.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "host_protocol.h"

namespace host {

class Args {
public:
    explicit Args(const std::vector<std::string>& fields);
    bool Has(const std::string& k) const { return values_.count(k) != 0; }
    std::string Str(const std::string& k, const std::string& def = "") const;
    long long Num(const std::string& k, long long def = 0) const;
    HWND Wnd(const std::string& k) const;  // "0x.." handle, or 0
    bool Flag(const std::string& k) const { return Num(k, 0) != 0; }

private:
    std::map<std::string, std::string> values_;
};

class Reply {
public:
    void Set(const std::string& k, const std::string& v) { fields_.push_back(k + "=" + v); }
    void Set(const std::string& k, long long v) { Set(k, std::to_string(v)); }
    void SetWnd(const std::string& k, HWND w);
    void Fail(const std::string& message) { error_ = message; }
    bool failed() const { return !error_.empty(); }
    std::vector<std::string> Fields() const;

private:
    std::vector<std::string> fields_;
    std::string error_;
};

// Commands may name the window that must be in front when they run ("front"):
// other programs on the desktop can take the foreground at any moment, so the
// window is brought to front in the same turn of the UI thread as the command
// itself.
void BringFront(const Args& a);

// API calls run on the UI thread (host_actions.cpp).
void DoCopy(const Args& a, Reply& r);
void DoPaste(const Args& a, Reply& r);
void DoPrint(const Args& a, Reply& r);
void DoPrintDialog(const Args& a, Reply& r);
void DoSaveDialog(const Args& a, Reply& r);
void DoWriteFile(const Args& a, Reply& r);
void DoFileOp(const Args& a, Reply& r);
void DoCall(const Args& a, Reply& r);
void DoKey(const Args& a, Reply& r);
void DoClick(const Args& a, Reply& r);
// Delayed clipboard rendering of what DoCopy left for later.
void RenderClipboard(UINT format);

// Window control (host_window_control.cpp): officedlg, msgbox, pdfprint,
// pdfprintcontrols, mouse, grapherrors, cbtcreate.
void DoWindowControlCommand(const std::string& command, const Args& a, Reply& r);

// Automation (host_automation.cpp): com, dde, droptarget, drag.
void DoAutomationCommand(const std::string& command, const Args& a, Reply& r);

// Printing (host_print.cpp).
void DoPrinterSetup(const Args& a, Reply& r);
void DoPrintFlag(const Args& a, Reply& r);
void DoJobStep(const Args& a, Reply& r);
void DoSpoolJob(const Args& a, Reply& r);
void DoPrintState(const Args& a, Reply& r);

}  // namespace host
