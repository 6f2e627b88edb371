#pragma once
// Ostrum.exe (companions/ostrum) started by a test: the other side of the
// save handshake. What it saw is read from its record file, which it writes
// before it sets the answer event: a save woken by the answer finds the line
// there, while its standard output may still be in the pipe.
#include <windows.h>

#include <string>

#include "tests/hooks/child_process.h"
#include "tests/support/test_child.h"

namespace filetest {

class OstrumStandIn {
public:
    // args: its options (README); waits until its events exist.
    bool Start(const std::string& args) {
        return proc_.Start("\"" + testing_support::ExeDir() + "Ostrum.exe\" --record=\"" + record_ + "\" " +
                           args) &&
               WaitFor("ready", 20000);
    }
    std::string Seen() const { return testchild::ReadFileBytes(record_); }
    bool Saw(const std::string& line) const { return Seen().find(line) != std::string::npos; }
    // Waits (bounded) until it has recorded line.
    bool WaitFor(const std::string& line, DWORD boundMs) const {
        for (DWORD waited = 0; !Saw(line) && waited < boundMs; waited += 50) Sleep(50);
        return Saw(line);
    }

private:
    testchild::TempFolder folder_{"ostrum"};
    std::string record_ = folder_.path() + "\\record.txt";
    testing_support::ChildProcess proc_;
};

}  // namespace filetest
