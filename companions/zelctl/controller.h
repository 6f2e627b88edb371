#pragma once
// The commands of zelctl, run against the library's control interface.
// Global hooks installed here live until they are removed or zelctl ends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

class CHookInterface;

namespace zelctl {

class Controller {
public:
    Controller(CHookInterface& iface, FILE* out) : iface_(iface), out_(out) {}
    ~Controller() { DropHooks(); }
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Runs one command (its words, the command name first). Returns false when
    // the command asks zelctl to end. Throws CommandError when it fails.
    bool Run(const std::vector<std::string>& words);

    // Removes the hooks of install, if any, without a word. Hooks whose
    // process ends are not reliably removed by every system (Wine keeps them
    // while the desktop lives), so zelctl takes its own down when it ends.
    // Safe to call from the console control thread.
    void DropHooks();

private:
    void Install(const std::vector<std::string>& w);
    void Remove(const std::vector<std::string>& w);
    void Restart(const std::vector<std::string>& w);
    void Add(const std::vector<std::string>& w);
    void AddOstrum(const std::vector<std::string>& w);
    void Letters(const std::vector<std::string>& w);
    void Temp(const std::vector<std::string>& w);
    void Del(const std::vector<std::string>& w);
    void DelGuard(const std::vector<std::string>& w);
    void Water(const std::vector<std::string>& w);
    void Korb(const std::vector<std::string>& w);
    void List(const std::vector<std::string>& w);
    void Preview(const std::vector<std::string>& w);
    void Wait(const std::vector<std::string>& w);
    void Echo(const std::vector<std::string>& w);
    void Help();

    CHookInterface& iface_;
    FILE* out_;
    // Exchanged atomically: the console control thread may drop them while
    // the main thread waits.
    HHOOK volatile msgHook_ = nullptr;
    HHOOK volatile cbtHook_ = nullptr;
};

}  // namespace zelctl
