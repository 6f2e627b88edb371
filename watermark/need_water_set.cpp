#include "support/log.h"
#include "watermark/print_water.h"
#include "support/held_locks.h"

void CPrintWater::AddNeedPrintWaterHDC(HDC hdc) {
    LogError("Add Need Print Water HDC=%x", HandleWord(hdc));
    support::CriticalHold lock(m_csLock);
    m_mapNeedWaterHDC.emplace(hdc, PageState{});
}

void CPrintWater::DeleteNeedPrintWaterHDC(HDC hdc) {
    LogError("Delete Need Print Water HDC=%x", HandleWord(hdc));
    PageState gone;  // its region goes after the lock
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

void CPrintWater::ClearPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it != m_mapNeedWaterHDC.end()) it->second.bAddWater = false;
}

bool CPrintWater::MarkPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    if (it == m_mapNeedWaterHDC.end() || it->second.bAddWater) return false;
    it->second.bAddWater = true;
    return true;
}

bool CPrintWater::IsPageWaterAdded(HDC hdc) {
    support::CriticalHold lock(m_csLock);
    auto it = m_mapNeedWaterHDC.find(hdc);
    return it != m_mapNeedWaterHDC.end() && it->second.bAddWater;
}
