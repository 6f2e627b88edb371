#pragma once
// The product's sibling libraries (ZELShowMsgBox.dll, ZELOfficeCtrl.dll):
// loaded on first need, by full path from the folder of the module that holds
// this code, so that Gatrel.dll loads in every process whether or not they are
// there, and a file of the same name in the application's folder or the
// current directory is never taken. Once loaded, a sibling stays for the life
// of the process.
//
// Never from DllMain: the first use loads a library.
#include <windows.h>

#include <atomic>
#include <mutex>

class SiblingLibrary {
public:
    explicit constexpr SiblingLibrary(const wchar_t* fileName) : fileName_(fileName) {}
    SiblingLibrary(const SiblingLibrary&) = delete;
    SiblingLibrary& operator=(const SiblingLibrary&) = delete;

    // The export, or null when the library or the export is missing. The
    // first miss is logged ("<file> not usable: <why>"); later calls answer
    // at once without a new attempt.
    FARPROC Proc(const char* exportName);
    // Loads it now (the first call does the work); false when it is missing.
    bool Load();

private:
    const wchar_t* fileName_;
    std::once_flag once_;
    HMODULE module_ = nullptr;
    std::atomic<bool> missLogged_{false};
};
