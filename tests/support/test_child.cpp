#include "tests/support/test_child.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>

namespace testchild {

namespace {

constexpr const char* kSandboxRoot = "Software\\GatrelTests";
constexpr const char* kSetupKey = "SOFTWARE\\Varnek\\ZELClient\\1.0\\Setup";

std::map<std::string, Scenario>& Scenarios() {
    static std::map<std::string, Scenario> table;
    return table;
}

// Quoting that the C runtime's argument parser undoes exactly.
std::string Quote(const std::string& arg) {
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

std::string UniqueSuffix() {
    static std::atomic<int> counter{0};
    return std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

// Wide and in the literal namespace: a test's folder may hold names outside
// the code page and paths longer than MAX_PATH.
void RemoveTreeW(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTreeW(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

void RemoveTree(const std::string& dir) {
    std::wstring wide(dir.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1);
    RemoveTreeW(L"\\\\?\\" + wide);
}

}  // namespace

Register::Register(const char* name, Scenario fn) { Scenarios()[name] = fn; }

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

Child::Child(const std::string& exe, const std::string& scenario,
             const std::vector<std::string>& args, const std::string& sandbox) {
    std::string cmd = Quote(exe) + " --gatrel-child " + Quote(scenario);
    if (!sandbox.empty()) cmd += " --hklm " + Quote(sandbox);
    for (const auto& a : args) cmd += " " + Quote(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
    }
}

Child::~Child() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 77);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

long Child::Wait(DWORD ms) {
    if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

bool Child::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

long RunChild(const std::string& scenario, const std::vector<std::string>& args,
              const std::string& sandbox) {
    Child child(SelfPath(), scenario, args, sandbox);
    return child.started() ? child.Wait() : -1;
}

MachineKeySandbox::MachineKeySandbox(const std::string& label)
    : name_(label + "_" + UniqueSuffix()) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SetupKeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

MachineKeySandbox::~MachineKeySandbox() {
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kSandboxRoot) + "\\" + name_).c_str());
}

std::string MachineKeySandbox::SetupKeyPath() const {
    return std::string(kSandboxRoot) + "\\" + name_ + "\\" + kSetupKey;
}

void MachineKeySandbox::SetString(const char* value, const std::string& data) {
    SetRaw(value, REG_SZ, std::string(data.c_str(), data.size() + 1));
}

void MachineKeySandbox::SetRaw(const char* value, DWORD type, const std::string& bytes) {
    RegSetKeyValueA(HKEY_CURRENT_USER, SetupKeyPath().c_str(), value, type, bytes.data(),
                    static_cast<DWORD>(bytes.size()));
}

void MachineKeySandbox::Remove(const char* value) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, SetupKeyPath().c_str(), value);
}

bool UseSandboxAsMachineKey(const std::string& name) {
    HKEY key = nullptr;
    const std::string path = std::string(kSandboxRoot) + "\\" + name;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    const bool ok = RegOverridePredefKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

TempFolder::TempFolder(const std::string& label) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "gatrel_" + label + "_" + UniqueSuffix();
    if (!path_.empty() && path_.back() == '\\') path_.pop_back();
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string ReadFileBytes(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(h);
    return ok;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace testchild

int main(int argc, char** argv) {
    if (argc >= 3 && strcmp(argv[1], "--gatrel-child") == 0) {
        int i = 3;
        if (i + 1 < argc && strcmp(argv[i], "--hklm") == 0) {
            if (!testchild::UseSandboxAsMachineKey(argv[i + 1])) return 98;
            i += 2;
        }
        const auto found = testchild::Scenarios().find(argv[2]);
        if (found == testchild::Scenarios().end()) return 99;
        return found->second(std::vector<std::string>(argv + i, argv + argc));
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
