#pragma once
// The stand-in's command line (README.md).
#include <windows.h>

#include <string>
#include <vector>

struct OstrumOptions {
    std::string folder;            // D, upper-cased
    std::string recordFile;        // Windows path; empty: nothing recorded
    std::string copyFrom, copyTo;  // the work of a round; empty: no copy
    std::vector<DWORD> slowMs;     // pause before the copy, per round (the last repeats)
    bool failCopy = false;         // the copy is reported failed without being made
    bool answer = true;            // false: the answer event is never set
    int rounds = 1;                // saves served before it ends; 0: until its lifetime ends
    DWORD lifetimeMs = 300000;     // bound on its whole life
    bool loadGatrel = false;       // loads Gatrel.dll from its own folder
    HWND sendTo = nullptr;         // a window sent a message before each answer
    bool tightEvents = false;      // the events grant only what the handshake needs
};

// False (with a reason) for an unknown or malformed option or a missing folder.
bool ParseOstrumOptions(const std::vector<std::string>& args, OstrumOptions& out, std::string& reason);

DWORD SlowMsOfRound(const OstrumOptions& o, int round);
