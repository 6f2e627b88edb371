#include "store/gatrel_interface.h"

#include "store/hook_procedures.h"
#include "store/hook_records.h"
#include "store/shared_section.h"
#include "store/ostrum_records.h"
#include "store/shared_settings.h"
#include "store/zel_gatrel.h"
#include "support/process_lifetime.h"

// hGetMsgHook is written without "HookMutex": the members that write it are
// serialised by their caller, and hook procedures in other processes read it at
// any time. It is a single aligned 32-bit word, so a reader sees either the old
// or the new handle, never a mixture.
static_assert(offsetof(SharedSection, hGetMsgHook) % 4 == 0);

namespace {

HOOKPROC g_getMessageProc = nullptr;
HOOKPROC g_cbtProc = nullptr;

void PublishGetMsgHook(HHOOK hook) {
    __atomic_store_n(&g_shared.hGetMsgHook, HandleWord(hook), __ATOMIC_RELEASE);
}

uint32_t PublishedGetMsgHook() { return __atomic_load_n(&g_shared.hGetMsgHook, __ATOMIC_ACQUIRE); }

// The library's own module, by its module name; null when this code is not
// running inside Gatrel.dll (linked statically into a test, say).
HMODULE LibraryModuleByName() { return GetModuleHandleA("gatrel"); }

HHOOK Install(int type, HOOKPROC proc, HMODULE module) {
    if (!proc || !module) return nullptr;
    return SetWindowsHookExA(type, proc, module, 0);
}

}  // namespace

void store::SetHookProcedures(HOOKPROC getMessage, HOOKPROC cbt) {
    g_getMessageProc = getMessage;
    g_cbtProc = cbt;
}

CHookInterface::CHookInterface() : m_pStore(new CZELGatrel) {}

CHookInterface::~CHookInterface() {
    if (m_pStore) {
        try {
            delete m_pStore;
        } catch (...) {
        }
        m_pStore = nullptr;
    }
}

CHookInterface& CHookInterface::instance() {
    // Never destroyed as the process ends: a controller's library may still
    // remove its records from its own detach code.
    static ProcessLifetime<CHookInterface> obj;
    return *obj;
}

int CHookInterface::StartHook() {
    try {
        HMODULE module = LibraryModuleByName();
        if (!module) return 0;
        HHOOK hook = Install(WH_GETMESSAGE, g_getMessageProc, module);
        PublishGetMsgHook(hook);
        return hook ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

HHOOK CHookInterface::StartCBTHook() {
    try {
        return Install(WH_CBT, g_cbtProc, LibraryModuleByName());
    } catch (...) {
        return nullptr;
    }
}

int CHookInterface::StopHook() {
    // Only forgets the handle: the hook itself stays installed, and the hook
    // procedures then hand a null handle to CallNextHookEx.
    if (PublishedGetMsgHook() != 0) PublishGetMsgHook(nullptr);
    return 0;
}

int CHookInterface::StopHookEx(HHOOK hook) {
    try {
        return UnhookWindowsHookEx(hook) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

DWORD CHookInterface::RestartHook() {
    // The handles of these hooks are not kept anywhere: they live until the
    // calling process ends.
    try {
        if (!m_pStore || store::GetHookInfoCount() == 0) return 0;
        HMODULE module = LibraryModuleByName();
        Install(WH_GETMESSAGE, g_getMessageProc, module);
        Install(WH_CBT, g_cbtProc, module);
    } catch (...) {
    }
    return 0;
}

void CHookInterface::AddHookInfo(void* rec) {
    if (m_pStore) store::AddHookInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::DelHookInfo(DWORD ownerPid) {
    if (m_pStore) store::DelHookInfo(ownerPid);
}
void CHookInterface::SetHookInfo(DWORD ownerPid, const char* letters) {
    if (m_pStore) store::SetHookInfo(ownerPid, letters);
}
void CHookInterface::SetHookInfo(std::string& path, const char* letters) {
    if (m_pStore) store::SetHookInfo(path.c_str(), letters);
}
int CHookInterface::FindZELFileName(const char* name, _ZEL_HOOK_INFO_& rec) {
    return m_pStore ? store::FindZELFileName(name, &rec) : -1;
}
void CHookInterface::SetWaterInfo(void* info) {
    if (m_pStore) store::SetWaterInfo(static_cast<const WaterInfo*>(info));
}
void CHookInterface::SetKORBInfo(DWORD value) {
    if (m_pStore) store::SetKORBInfo(value);
}
void CHookInterface::SetKORBClassName(const char* cls) {
    if (m_pStore) store::SetKORBClassName(cls);
}
void CHookInterface::SetOfficeTempPath(const char* path, const char* tempPath) {
    if (m_pStore) store::SetOfficeTempPath(path, tempPath);
}
std::string CHookInterface::GetOfficeTempPath(const char* path) {
    return m_pStore ? store::GetOfficeTempPath(path) : std::string();
}
int CHookInterface::AddOstrumInfo(void* rec) {
    return m_pStore ? store::AddOstrumInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec)) : 0;
}
void CHookInterface::DelGuardInfo(void* rec) {
    if (m_pStore) store::DelGuardInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::DelGuardInfo1(void* rec) {
    if (m_pStore) store::DelGuardInfo1(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::GetAllOstrumInfo(void* table) {
    if (m_pStore) store::GetAllOstrumInfo(table);
}
int CHookInterface::GetOstrumCount() { return m_pStore ? store::GetOstrumCount() : 0; }
