#include "companions/demo/automation_demo.h"

#include <cstdio>
#include <string>

#include "companions/demo/demo_steps.h"
#include "tests/automation/automation_world.h"

namespace {

// The controller's key for this document's record.
constexpr unsigned kOwner = 0xA070;

std::string Result(const hosts::Reply& r) {
    if (!r.ok) return "failed: " + r.error;
    return r.Str("hr") == autotest::kOk ? "succeeds" : "refused (" + r.Str("hr") + ")";
}

}  // namespace

bool DemoAutomation(hosts::HostClient& word, hosts::HostClient& plain, ControllerProcess& zelctl) {
    bool all = true;
    const bool registered = autotest::RegisterServer();
    all &= Record("the office automation classes are registered (test server)", registered ? "yes" : "no",
                  registered);

    const std::string path = "C:\\ZELFILETEMP\\(ZEL-0003)budget.doc";
    const HWND doc = word.OpenDoc(path);
    word.Activate(doc);
    zelctl.Run("add pid=" + std::to_string(word.Pid()) + " owner=" + std::to_string(kOwner) + " wnd=" + WndHex(doc) +
               " type=1 letters=P zelname=budget.doc path=\"" + path + "\"");
    const hosts::DocAnswer ans = word.IsZelDoc();
    all &= Record("\"(ZEL-0003)budget.doc\" opened with letters \"P\"",
                  ans.answer ? "protected, letters \"" + ans.perm + "\"" : "not recognised", ans.answer);

    hosts::Reply r = word.Send("com", {{"op", "register"}, {"progid", "Word.Application"}});
    all &= Record("the word processor puts its application object in the running-object table", Result(r),
                  r.Str("hr") == autotest::kOk);
    r = plain.Send("com", {{"op", "active"}, {"progid", "Word.Application"}});
    all &= Record("the ordinary program attaches to it (GetActiveObject)", Result(r),
                  r.Str("hr") == autotest::kClassNotReg);

    r = word.Send("com", {{"op", "create"}, {"clsid", autotest::kSpreadsheetApp}});
    all &= Record("embed a worksheet in the document (no \"C\" letter)", Result(r),
                  r.Str("hr") == autotest::kNoInterface);
    zelctl.Run("letters owner=" + std::to_string(kOwner) + " CP");
    r = word.Send("com", {{"op", "create"}, {"clsid", autotest::kSpreadsheetApp}});
    all &= Record("the controller grants \"CP\"; embed the worksheet again", Result(r),
                  r.Str("hr") == autotest::kOk);

    word.Send("com", {{"op", "revoke"}});
    zelctl.Run("del owner=" + std::to_string(kOwner));
    word.Close(doc);
    return all;
}
