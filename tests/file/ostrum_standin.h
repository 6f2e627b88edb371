#pragma once
// Ostrum.exe (companions/ostrum) started by a test: the other side of the
// save handshake, whose printed lines tell what it saw.
#include <windows.h>

#include <string>

#include "tests/hooks/child_process.h"

namespace filetest {

class OstrumStandIn {
public:
    // args: its options (README); waits until its events exist.
    bool Start(const std::string& args) {
        return proc_.Start("\"" + testing_support::ExeDir() + "Ostrum.exe\" " + args) &&
               proc_.WaitForOutput("ready", 20000);
    }
    std::string Seen() { return proc_.Output(); }
    bool Saw(const std::string& line) { return Seen().find(line) != std::string::npos; }
    // Waits (bounded) until it has printed line.
    bool WaitFor(const std::string& line, DWORD boundMs) {
        for (DWORD waited = 0; !Saw(line) && waited < boundMs; waited += 50) Sleep(50);
        return Saw(line);
    }

private:
    testing_support::ChildProcess proc_;
};

}  // namespace filetest
