#pragma once
// Small helpers of the engine's Windows tests: functions assembled into
// executable memory, counting pass-through replacements, and the log.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace testcode {

// A page of executable memory that hands out code placed at 64-byte steps,
// each function preceded by padding of the given byte.
class CodePage {
public:
    CodePage() {
        base_ = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, 65536, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
        memset(base_, 0xCC, 65536);
    }
    ~CodePage() { VirtualFree(base_, 0, MEM_RELEASE); }
    // Places bytes at the next 64-byte step (+ skew), padding above with pad.
    uint8_t* Place(std::initializer_list<uint8_t> bytes, uint8_t pad = 0xCC, size_t skew = 16) {
        uint8_t* at = base_ + used_ + skew;
        memset(base_ + used_, pad, skew);
        memcpy(at, bytes.begin(), bytes.size());
        used_ += 64 * ((skew + bytes.size() + 63) / 64);
        FlushInstructionCache(GetCurrentProcess(), at, bytes.size());
        return at;
    }
    uint8_t* Base() const { return base_; }

private:
    uint8_t* base_ = nullptr;
    size_t used_ = 0;
};

inline void Put32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

// A replacement for any function: counts the call and jumps through the slot
// (lock inc dword [count]; jmp dword [slot]). Signature and calling
// convention do not matter, since it touches neither stack nor registers.
inline uint8_t* CountingThunk(CodePage& page, volatile LONG* count, PVOID* slot) {
    uint8_t* t = page.Place({0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xFF, 0x25, 0, 0, 0, 0});
    Put32(t + 3, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(count)));
    Put32(t + 9, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot)));
    return t;
}

// The process's log file, read from a remembered offset on.
class LogTail {
public:
    LogTail() : path_(Path()) { start_ = Size(); }
    std::string NewText() const {
        std::ifstream f(path_, std::ios::binary);
        f.seekg(static_cast<std::streamoff>(start_));
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    size_t Count(const std::string& needle) const {
        const std::string text = NewText();
        size_t n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
        return n;
    }
    // Lines (in order) that contain needle.
    std::vector<std::string> Lines(const std::string& needle) const {
        std::vector<std::string> out;
        std::istringstream s(NewText());
        std::string line;
        while (std::getline(s, line))
            if (line.find(needle) != std::string::npos) out.push_back(line);
        return out;
    }

private:
    static std::string Path() {
        char root[MAX_PATH] = {};
        GetEnvironmentVariableA("GATREL_ROOT", root, MAX_PATH);
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string name = exe;
        name = name.substr(name.find_last_of("\\/") + 1);
        name = name.substr(0, name.rfind('.'));
        // GATREL_ROOT is a Unix path; Wine maps it through Z:.
        return std::string("Z:") + root + "/log/" + name + ".log";
    }
    size_t Size() const {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        if (!GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &d)) return 0;
        return d.nFileSizeLow;
    }
    std::string path_;
    size_t start_ = 0;
};

}  // namespace testcode
