#include <vector>

#include "support/held_locks.h"
#include "support/log.h"
#include "watermark/print_water.h"

namespace {

// A handle value that no longer names a device context (one that is gone, or
// whose value now names another kind of object).
bool IsDeviceContext(HDC h) {
    switch (GetObjectType(h)) {
        case OBJ_DC:
        case OBJ_MEMDC:
        case OBJ_METADC:
        case OBJ_ENHMETADC: return true;
        default: return false;
    }
}

}  // namespace

void CPrintWater::AddNeedPrintWaterHDC(HDC hdc, std::shared_ptr<const WaterJob> job) {
    LogError("Add Need Print Water HDC=%x", HandleWord(hdc));
    PurgeEndedDeviceContexts(hdc);
    PageState entry;
    entry.job = std::move(job);
    support::CriticalHold lock(m_csLock);
    // The job that started last on the handle owns its entry.
    std::swap(m_mapNeedWaterHDC[hdc], entry);
}

void CPrintWater::PurgeEndedDeviceContexts(HDC keep) {
    // Jobs ended by DeleteDC without EndDoc leave entries whose handle is
    // gone; handle values seldom come back, so each would stay for good.
    std::vector<HDC> handles;
    {
        support::CriticalHold lock(m_csLock);
        handles.reserve(m_mapNeedWaterHDC.size());
        for (const auto& entry : m_mapNeedWaterHDC)
            if (entry.first != keep) handles.push_back(entry.first);
    }
    std::vector<HDC> ended;
    for (HDC h : handles)
        if (!IsDeviceContext(h)) ended.push_back(h);
    if (ended.empty()) return;
    std::vector<PageState> gone;  // their layouts and screens go after the lock
    support::CriticalHold lock(m_csLock);
    for (HDC h : ended) {
        const auto it = m_mapNeedWaterHDC.find(h);
        if (it == m_mapNeedWaterHDC.end()) continue;
        gone.push_back(std::move(it->second));
        m_mapNeedWaterHDC.erase(it);
    }
}

void CPrintWater::DeleteNeedPrintWaterHDC(HDC hdc) {
    LogError("Delete Need Print Water HDC=%x", HandleWord(hdc));
    PageState gone;  // its layout and screen go after the lock
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it == m_mapNeedWaterHDC.end()) return;
    gone = std::move(it->second);
    m_mapNeedWaterHDC.erase(it);
}

bool CPrintWater::IsNeedPrintWaterHDC(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    return m_mapNeedWaterHDC.count(hdc) != 0;
}

size_t CPrintWater::NeedPrintWaterCount() {
    support::CriticalHold lock(m_csLock);
    return m_mapNeedWaterHDC.size();
}

std::shared_ptr<const WaterJob> CPrintWater::JobOf(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    const auto it = m_mapNeedWaterHDC.find(hdc);
    return it == m_mapNeedWaterHDC.end() ? nullptr : it->second.job;
}

void CPrintWater::ClearPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it == m_mapNeedWaterHDC.end()) return;
    it->second.bAddWater = false;
    it->second.bUnderlay = false;
}

bool CPrintWater::MarkPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it == m_mapNeedWaterHDC.end() || it->second.bAddWater) return false;
    it->second.bAddWater = true;
    return true;
}

bool CPrintWater::MarkPageUnderlaid(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it == m_mapNeedWaterHDC.end() || it->second.bUnderlay) return false;
    it->second.bUnderlay = true;
    return true;
}

bool CPrintWater::IsPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    return it != m_mapNeedWaterHDC.end() && it->second.bAddWater;
}
