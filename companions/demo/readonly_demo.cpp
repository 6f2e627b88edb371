#include "companions/demo/readonly_demo.h"

#include <cstdio>
#include <string>
#include <vector>

#include "companions/demo/demo_steps.h"

namespace {

// The controller's key for this document's record.
constexpr unsigned kOwner = 0x5EAD;

// Types the key into the window, as the keyboard would (the messages pass the
// library's message hook); true when the document's window heard of it (the
// key itself or its shortcut's command).
bool Reaches(hosts::HostClient& word, HWND view, const char* vk, const char* mods) {
    word.Events();
    word.Send("key", {{"vk", vk}, {"mods", mods}, {"mode", "post"}, {"wnd", WndHex(view)}});
    for (const std::string& e : word.Events())
        if (e.rfind("key:", 0) == 0 || e.rfind("command:", 0) == 0) return true;
    return false;
}

std::string Outcome(bool reached) { return reached ? "reaches the document" : "refused"; }

}  // namespace

bool DemoReadOnly(hosts::HostClient& word, hosts::HostClient& plain, ControllerProcess& zelctl) {
    bool all = true;
    const std::string path = "C:\\ZELFILETEMP\\(ZEL-0002)minutes.doc";
    hosts::Reply opened;
    const HWND doc = word.OpenDoc(path, &opened);
    const HWND view = opened.Wnd("view");
    word.Activate(doc);
    std::string out = zelctl.Run("add pid=" + std::to_string(word.Pid()) + " owner=" + std::to_string(kOwner) +
                                 " wnd=" + WndHex(doc) + " type=1 letters=R zelname=minutes.doc path=\"" + path + "\"");
    const hosts::DocAnswer ans = word.IsZelDoc();
    all &= Record("\"(ZEL-0002)minutes.doc\" opened read-only (letters \"R\")",
                  ans.answer ? "protected, letters \"" + ans.perm + "\"" : "not recognised: " + out,
                  ans.answer && ans.perm == "R");

    bool reached = Reaches(word, view, "0x41", "");
    all &= Record("type the letter A in it", Outcome(reached), !reached);
    reached = Reaches(word, view, "0x28", "");
    all &= Record("press the Down arrow", Outcome(reached), reached);
    reached = Reaches(word, view, "0x22", "");
    all &= Record("press Page Down", Outcome(reached), reached);
    reached = Reaches(word, view, "0x50", "ctrl");
    all &= Record("press Ctrl+P (no \"P\" letter)", Outcome(reached), !reached);

    const hosts::Reply copied = plain.Send("copy", {{"text", "a note from another program"}});
    const bool before = plain.Send("paste").Num("data") == 1;
    word.Activate(doc);
    reached = Reaches(word, view, "0x2C", "");
    const bool after = plain.Send("paste").Num("data") == 1;
    all &= Record("the ordinary program copies text; PrintScreen in the document",
                  std::string(before ? "clipboard had the text" : "nothing copied") +
                      (after ? ", still there" : ", clipboard emptied"),
                  copied.Num("set") == 1 && before && !after);

    zelctl.Run("del owner=" + std::to_string(kOwner));
    word.Close(doc);
    return all;
}
