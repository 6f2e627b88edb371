#pragma once
// A read-only view of a module's file on disk. Within a kept period (one
// installation of all hook tables) each file is opened and mapped once and
// shared by every look-up; otherwise every look-up opens and releases its own.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class ModuleFileView {
public:
    enum Failure { kNone, kCreateFile, kCreateFileMapping, kMapViewOfFile };

    ModuleFileView() = default;
    ModuleFileView(const ModuleFileView&) = delete;
    ModuleFileView& operator=(const ModuleFileView&) = delete;
    ~ModuleFileView();

    // Opens, maps and views path. On failure, which step failed and its error
    // code (the same ones again for a file that already failed while kept).
    Failure Open(const char* path, DWORD& error);

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    // Release in two steps, so the module reference can be given back between
    // them. Both do nothing for a view shared from the kept period.
    void ReleaseView();
    void ReleaseMappingAndFile();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool shared_ = false;
};

// Keeps every file opened by the calling thread until the last scope closes.
class KeptModuleFiles {
public:
    KeptModuleFiles();
    ~KeptModuleFiles();
    KeptModuleFiles(const KeptModuleFiles&) = delete;
    KeptModuleFiles& operator=(const KeptModuleFiles&) = delete;

private:
    bool owner_ = false;
};
