#pragma once
// The controller tool (zelctl) running as a child process, fed one command at
// a time through its standard input; each command's output line is read back.
#include <windows.h>

#include <string>

class ControllerProcess {
public:
    ~ControllerProcess();
    bool Start(const std::string& zelctlPath);
    // Sends one command line and returns what it printed (lines joined by " | ").
    std::string Run(const std::string& command, DWORD timeoutMs = 15000);
    // Sends quit (which removes its hooks) and waits for the process.
    void Stop();

private:
    std::string ReadLine(DWORD timeoutMs);
    HANDLE process_ = nullptr;
    HANDLE in_ = nullptr;   // our end of its standard input
    HANDLE out_ = nullptr;  // our end of its standard output
    std::string pending_;
};
