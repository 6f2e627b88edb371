#include "store/hook_interface.h"

#include "store/zel_gatrel.h"

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
    static CHookInterface obj;
    return obj;
}

void CHookInterface::AddHookInfo(void* rec) {
    if (m_pStore) m_pStore->AddHookInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::DelHookInfo(DWORD ownerPid) {
    if (m_pStore) m_pStore->DelHookInfo(ownerPid);
}
void CHookInterface::SetHookInfo(DWORD ownerPid, const char* letters) {
    if (m_pStore) m_pStore->SetHookInfo(ownerPid, letters);
}
void CHookInterface::SetHookInfo(std::string& path, const char* letters) {
    if (m_pStore) m_pStore->SetHookInfo(path.c_str(), letters);
}
int CHookInterface::FindZELFileName(const char* name, _ZEL_HOOK_INFO_& rec) {
    return m_pStore ? m_pStore->FindZELFileName(name, &rec) : -1;
}
void CHookInterface::SetWaterInfo(void* info) {
    if (m_pStore) m_pStore->SetWaterInfo(static_cast<const WaterInfo*>(info));
}
void CHookInterface::SetKORBInfo(DWORD value) {
    if (m_pStore) m_pStore->SetKORBInfo(value);
}
void CHookInterface::SetKORBClassName(const char* cls) {
    if (m_pStore) m_pStore->SetKORBClassName(cls);
}
void CHookInterface::SetOfficeTempPath(const char* path, const char* tempPath) {
    if (m_pStore) m_pStore->SetOfficeTempPath(path, tempPath);
}
std::string CHookInterface::GetOfficeTempPath(const char* path) {
    return m_pStore ? m_pStore->GetOfficeTempPath(path) : std::string();
}
int CHookInterface::AddOstrumInfo(void* rec) {
    return m_pStore ? m_pStore->AddOstrumInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec)) : 0;
}
void CHookInterface::DelGuardInfo(void* rec) {
    if (m_pStore) m_pStore->DelGuardInfo(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::DelGuardInfo1(void* rec) {
    if (m_pStore) m_pStore->DelGuardInfo1(static_cast<const _ZEL_HOOK_INFO_*>(rec));
}
void CHookInterface::GetAllOstrumInfo(void* table) {
    if (m_pStore) m_pStore->GetAllOstrumInfo(table);
}
int CHookInterface::GetOstrumCount() { return m_pStore ? m_pStore->GetOstrumCount() : 0; }
