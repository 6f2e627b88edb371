#pragma once
// Test programs that start copies of themselves. A program built with
// test_child.cpp runs its GoogleTest cases normally, and when started as
//   <exe> --gatrel-child <scenario> [--hklm <sandbox>] args...
// runs only the named scenario and exits with its result. With --hklm the
// child sees the sandbox key (see MachineKeySandbox) as HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <string>
#include <vector>

namespace testchild {

using Scenario = int (*)(const std::vector<std::string>& args);

struct Register {
    Register(const char* name, Scenario fn);
};

#define GATREL_CHILD_SCENARIO(name)                                             \
    static int name##_scenario(const std::vector<std::string>& args);          \
    static ::testchild::Register name##_registered(#name, name##_scenario);    \
    static int name##_scenario([[maybe_unused]] const std::vector<std::string>& args)

std::string SelfPath();
std::string FolderOf(const std::string& path);

// One started child. The destructor ends a child that is still running.
class Child {
public:
    // Starts exe (this program, or a copy of it) running scenario.
    Child(const std::string& exe, const std::string& scenario, const std::vector<std::string>& args,
          const std::string& sandbox = "");
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    // Exit code, or -1 when the child did not end within ms.
    long Wait(DWORD ms = 60000);
    bool Running() const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Runs scenario in a child of this program and returns its exit code (-1 on
// timeout or when it could not start).
long RunChild(const std::string& scenario, const std::vector<std::string>& args = {},
              const std::string& sandbox = "");

// A private stand-in for HKEY_LOCAL_MACHINE under
// HKCU\Software\GatrelTests\<name>: children started with it read the product's
// Setup key from here, so tests can vary the settings without touching the
// values that every other test reads. Deleted by the destructor.
class MachineKeySandbox {
public:
    explicit MachineKeySandbox(const std::string& label);
    ~MachineKeySandbox();
    MachineKeySandbox(const MachineKeySandbox&) = delete;
    MachineKeySandbox& operator=(const MachineKeySandbox&) = delete;

    const std::string& name() const { return name_; }
    // The sandbox's copy of the product's Setup key, under HKEY_CURRENT_USER.
    std::string SetupKeyPath() const;
    // Values of the product's Setup key in the sandbox.
    void SetString(const char* value, const std::string& data);
    void SetRaw(const char* value, DWORD type, const std::string& bytes);
    void Remove(const char* value);

private:
    std::string name_;
};

// In a child: makes the sandbox the process's HKEY_LOCAL_MACHINE.
bool UseSandboxAsMachineKey(const std::string& name);

// A folder of its own under the temporary directory, removed with its files
// by the destructor.
class TempFolder {
public:
    explicit TempFolder(const std::string& label);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace testchild
