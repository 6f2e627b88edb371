#include "companions/ostrum/ostrum_options.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool Value(const std::string& arg, const char* name, std::string& value) {
    const std::string prefix = std::string("--") + name + "=";
    if (arg.compare(0, prefix.size(), prefix) != 0) return false;
    value = arg.substr(prefix.size());
    return true;
}

bool Number(const std::string& text, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = strtol(text.c_str(), &end, 10);
    return *end == 0 && out >= 0;
}

}  // namespace

bool ParseOstrumOptions(const std::vector<std::string>& args, OstrumOptions& o, std::string& reason) {
    for (const std::string& arg : args) {
        std::string v;
        long n = 0;
        if (Value(arg, "folder", v)) {
            CharUpperBuffA(v.data(), static_cast<DWORD>(v.size()));
            o.folder = v;
        } else if (Value(arg, "record", v)) {
            o.recordFile = v;
        } else if (Value(arg, "copy-from", v)) {
            o.copyFrom = v;
        } else if (Value(arg, "copy-to", v)) {
            o.copyTo = v;
        } else if (Value(arg, "slow", v)) {
            size_t start = 0;
            for (;;) {
                const size_t comma = v.find(',', start);
                if (!Number(v.substr(start, comma - start), n)) {
                    reason = "bad --slow list: " + v;
                    return false;
                }
                o.slowMs.push_back(static_cast<DWORD>(n));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (Value(arg, "rounds", v)) {
            if (!Number(v, n)) return reason = "bad --rounds: " + v, false;
            o.rounds = static_cast<int>(n);
        } else if (Value(arg, "lifetime", v)) {
            if (!Number(v, n) || n == 0) return reason = "bad --lifetime: " + v, false;
            o.lifetimeMs = static_cast<DWORD>(n) * 1000;
        } else if (arg == "--fail-copy") {
            o.failCopy = true;
        } else if (arg == "--never-answer") {
            o.answer = false;
        } else if (arg == "--gatrel") {
            o.loadGatrel = true;
        } else if (arg == "--tight-events") {
            o.tightEvents = true;
        } else if (Value(arg, "send-to", v)) {
            char* end = nullptr;
            const unsigned long w = strtoul(v.c_str(), &end, 0);
            if (v.empty() || *end || !w) return reason = "bad --send-to: " + v, false;
            o.sendTo = reinterpret_cast<HWND>(static_cast<uintptr_t>(w));
        } else {
            reason = "unknown option: " + arg;
            return false;
        }
    }
    if (o.folder.empty()) {
        reason = "--folder=D is required";
        return false;
    }
    if (o.copyFrom.empty() != o.copyTo.empty()) {
        reason = "--copy-from and --copy-to go together";
        return false;
    }
    return true;
}

DWORD SlowMsOfRound(const OstrumOptions& o, int round) {
    if (o.slowMs.empty()) return 0;
    const size_t i = static_cast<size_t>(round - 1);
    return i < o.slowMs.size() ? o.slowMs[i] : o.slowMs.back();
}
