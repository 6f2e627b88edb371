#include "intercept/loaded_modules.h"

#include <windows.h>
#include <winternl.h>

namespace {

using LockFn = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using UnlockFn = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);

struct LoaderLock {
    LockFn lock = nullptr;
    UnlockFn unlock = nullptr;
};

const LoaderLock& Lock() {
    static const LoaderLock l = [] {
        LoaderLock r;
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        if (!ntdll) return r;
        r.lock = reinterpret_cast<LockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
        r.unlock = reinterpret_cast<UnlockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
        return r;
    }();
    return l;
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The file name part of path equals name, ignoring ASCII case.
bool FileNameIs(const UNICODE_STRING& path, const char* name) {
    const size_t chars = path.Length / sizeof(wchar_t);
    if (!path.Buffer) return false;
    size_t start = chars;
    while (start > 0 && path.Buffer[start - 1] != L'\\' && path.Buffer[start - 1] != L'/') --start;
    size_t i = 0;
    for (; start + i < chars; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!c || Lower(path.Buffer[start + i]) != Lower(static_cast<wchar_t>(c))) return false;
    }
    return name[i] == 0;
}

bool InLoaderList(const char* fileName) {
    const PEB* peb = NtCurrentTeb()->ProcessEnvironmentBlock;
    const LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (const LIST_ENTRY* e = head->Flink; e && e != head; e = e->Flink) {
        const auto* entry = CONTAINING_RECORD(e, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (FileNameIs(entry->FullDllName, fileName)) return true;
    }
    return false;
}

}  // namespace

bool IsModuleLoaded(const char* fileName) {
    const LoaderLock& l = Lock();
    ULONG_PTR cookie = 0;
    if (!fileName || !l.lock || !l.unlock || l.lock(0, nullptr, &cookie) < 0)
        return fileName && GetModuleHandleA(fileName) != nullptr;
    const bool found = InLoaderList(fileName);
    l.unlock(0, cookie);
    return found;
}
