#include "companions/demo/save_demo.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "companions/demo/demo_steps.h"

namespace {

const char* const kWorkingFiles[] = {"~WRL0001.tmp", "~WRD0002.tmp", "Backup of plan.wbk"};

std::string TempFolder() {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    return tmp;
}

std::string BoxesFile() { return TempFolder() + "gatrel_demo_boxes.txt"; }
std::string UserFolder() { return TempFolder() + "gatrel_demo_documents"; }
std::string ProtectPath() {
    return hosts::HostClient::WinPath(Env("GATREL_ROOT")) + "\\ZELFILETEMP\\PROTECTPATH";
}

std::vector<std::string> List(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string n = fd.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

void PrintFolder(const char* label, const std::string& dir, const std::vector<std::string>& names) {
    printf("       %s %s:%s\n", label, dir.c_str(), names.empty() ? " (empty)" : "");
    for (const auto& n : names) printf("         %s\n", n.c_str());
}

// "caption: text" of the first box the message-box stand-in recorded.
std::string RecordedBox() {
    std::ifstream in(BoxesFile(), std::ios::binary);
    std::string line;
    if (!std::getline(in, line)) return {};
    auto field = [&](const std::string& name) {
        const size_t at = line.find("\t" + name + "=");
        if (at == std::string::npos) return std::string();
        const size_t start = at + name.size() + 2;
        return line.substr(start, line.find_first_of("\t\r", start) - start);
    };
    return field("caption") + ": " + field("text");
}

}  // namespace

hosts::Params SaveDemoEnvironment() {
    DeleteFileA(BoxesFile().c_str());
    return {{"ZELMSGBOX_RECORD", BoxesFile()},
            {"ZELMSGBOX_MODE", FastDemo() ? "none" : "close:2500"}};
}

bool DemoSaving(hosts::HostClient& word, HWND doc, ControllerProcess& zelctl) {
    bool all = true;
    const std::string pid = std::to_string(word.Pid());
    const std::string user = UserFolder();
    CreateDirectoryA(user.c_str(), nullptr);
    for (const auto& n : List(user)) DeleteFileA((user + "\\" + n).c_str());

    zelctl.Run("letters owner=" + pid + " P");
    word.Activate(doc);
    hosts::Reply save =
        word.Send("savedlg", {{"title", "Save As"}, {"file", user + "\\plan copy.doc"}}, 15000);
    all &= Record("Save As in the protected document (letters \"P\")",
                  save.Num("ret") == 0 ? "refused, no dialog" : "the dialog opened",
                  save.ok && save.Num("ret") == 0);
    std::string box;
    for (int i = 0; i < 100 && (box = RecordedBox()).empty(); ++i) Sleep(50);
    all &= Record("the user is told why", box.empty() ? "no message" : "\"" + box + "\"",
                  !box.empty());

    int written = 0;
    for (const char* name : kWorkingFiles)
        written +=
            word.Send("file", {{"op", "create"}, {"path", user + "\\" + name}, {"text", "draft"}})
                .Num("opened") == 1;
    all &= Record("the word processor writes its working files",
                  std::to_string(written) + " of 3 written in " + user, written == 3);
    const std::vector<std::string> inUser = List(user);
    std::vector<std::string> inProtect;
    for (const auto& n : List(ProtectPath()))
        if (n.find(pid) != std::string::npos) inProtect.push_back(n);
    PrintFolder("user's folder", user, inUser);
    PrintFolder("protected area", ProtectPath(), inProtect);
    all &= Record("the user's folder stays clean",
                  inUser.empty() ? "nothing there" : "files left there", inUser.empty());
    all &= Record("the working files are under PROTECTPATH",
                  std::to_string(inProtect.size()) + " files, named with pid " + pid,
                  inProtect.size() == 3);
    int found = 0;
    for (const char* name : kWorkingFiles)
        found += word.Send("file", {{"op", "read"}, {"path", user + "\\" + name}}).Str("text") ==
                 "draft";
    all &= Record("the word processor finds them under its own names",
                  std::to_string(found) + " of 3 read back", found == 3);
    // As the application does when the document closes.
    for (const char* name : kWorkingFiles)
        word.Send("file", {{"op", "delete"}, {"path", user + "\\" + name}});
    RemoveDirectoryA(user.c_str());
    DeleteFileA(BoxesFile().c_str());
    return all;
}
