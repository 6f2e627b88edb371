// The clipboard guard's state in the shared section.
#include <cstring>

#include "guards/clipboard/clipboard_memory.h"
#include "store/named_lock.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "store/zel_gatrel.h"
#include "support/log.h"

using store::LockId;
using store::NamedLock;
using store::WriteScope;

namespace {

template <class T>
void LockedStore(T& field, T value) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    __atomic_store_n(&field, value, __ATOMIC_SEQ_CST);
}

template <class T>
T Load(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

uint32_t H32(HANDLE h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }
uint32_t H32(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

void ReleaseEntryLocked(int i) {
    ProtectedDataSlot& e = g_shared.ProtectedData[i];
    if (e.uFormat && g_shared.ProtectedDataPid[i] == GetCurrentProcessId())
        DelClipbrdMem(e.uFormat, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(e.hMem)));
    e.uFormat = 0;
    e.hMem = 0;
    g_shared.ProtectedDataPid[i] = 0;
}

}  // namespace

void CZELGatrel::SetZelEmptying(bool on) { LockedStore<uint8_t>(g_shared.bZelEmptying, on); }
bool CZELGatrel::GetZelEmptying() { return Load(g_shared.bZelEmptying) != 0; }
void CZELGatrel::SetAfterEmpty(bool on) { LockedStore<uint8_t>(g_shared.bAfterEmpty, on); }
bool CZELGatrel::GetAfterEmpty() { return Load(g_shared.bAfterEmpty) != 0; }
void CZELGatrel::SetProtectedContent(bool on) {
    LockedStore<uint8_t>(g_shared.bProtectedContent, on);
}
bool CZELGatrel::GetProtectedContent() { return Load(g_shared.bProtectedContent) != 0; }

void CZELGatrel::SetClipOwner(HWND wnd, DWORD pid) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    g_shared.hClipOwnerWnd = H32(wnd);
    g_shared.dwClipOwnerPid = pid;
}

void CZELGatrel::GetClipOwner(HWND& wnd, DWORD& pid) {
    uint32_t w = 0, p = 0;
    store::ReadConsistent([&] {
        w = g_shared.hClipOwnerWnd;
        p = g_shared.dwClipOwnerPid;
    });
    wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(w));
    pid = p;
}

bool CZELGatrel::IsClipOwner(HWND wnd, DWORD pid) {
    HWND w;
    DWORD p;
    GetClipOwner(w, p);
    return w == wnd && p == pid;
}

bool CZELGatrel::IsClipOwnerPid(DWORD pid) { return Load(g_shared.dwClipOwnerPid) == pid; }

bool CZELGatrel::IsClipOwnerDifferent(HWND wnd, DWORD pid) {
    HWND w;
    DWORD p;
    GetClipOwner(w, p);
    if (!w && !p) return false;
    return w != wnd || p != pid;
}

bool CZELGatrel::SetProtectedData(UINT format, HANDLE mem) {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return false;
    WriteScope w(LockId::Hook);
    for (int i = 0; i < kProtectedDataSlots; ++i) {
        if (g_shared.ProtectedData[i].uFormat == format) {
            ReleaseEntryLocked(i);
            break;
        }
    }
    for (int i = 0; i < kProtectedDataSlots; ++i) {
        if (g_shared.ProtectedData[i].uFormat == 0) {
            g_shared.ProtectedData[i].uFormat = format;
            g_shared.ProtectedData[i].hMem = H32(mem);
            g_shared.ProtectedDataPid[i] = GetCurrentProcessId();
            return true;
        }
    }
    LogError("In SetProtectedData():save clipboard data fail");
    return false;
}

HANDLE CZELGatrel::GetProtectedData(UINT format) {
    uint32_t h = 0;
    store::ReadConsistent([&] {
        h = 0;
        for (int i = 0; i < kProtectedDataSlots; ++i)
            if (g_shared.ProtectedData[i].uFormat == format) {
                h = g_shared.ProtectedData[i].hMem;
                break;
            }
    });
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(h));
}

void CZELGatrel::ClearProtectedData() {
    NamedLock lock(LockId::Hook);
    if (!lock.owned()) return;
    WriteScope w(LockId::Hook);
    for (int i = 0; i < kProtectedDataSlots; ++i) ReleaseEntryLocked(i);
}
