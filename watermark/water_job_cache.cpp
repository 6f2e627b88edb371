// What the pages of a job draw alike, kept with the job's device context in
// the need-watermark set: the layout of the lines and the screen's stripes.
// Made outside the lock (measuring text and building a region take
// milliseconds), kept under it; what they replace goes after the lock.
#include "watermark/print_water.h"
#include "watermark/water_layout.h"
#include "support/held_locks.h"
#include "watermark/water_screen.h"

std::shared_ptr<const WaterLayout> CPrintWater::LayoutFor(HDC hdc, const WaterLayoutKey& key) {
    {
        support::CriticalHold lock(m_csLock);
        const auto it = m_mapNeedWaterHDC.find(hdc);
        if (it != m_mapNeedWaterHDC.end() && it->second.layout && it->second.layout->key == key)
            return it->second.layout;
    }
    std::shared_ptr<const WaterLayout> made = LayOutWater(key), replaced;
    support::CriticalHold lock(m_csLock);
    const auto it = m_mapNeedWaterHDC.find(hdc);
    if (it != m_mapNeedWaterHDC.end()) {
        replaced = std::move(it->second.layout);
        it->second.layout = made;
    }
    return made;
}

std::shared_ptr<const ScreenStripes> CPrintWater::StripesFor(HDC hdc, float coverage, const std::vector<RECT>& areas) {
    const int dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
    {
        support::CriticalHold lock(m_csLock);
        const auto it = m_mapNeedWaterHDC.find(hdc);
        if (it != m_mapNeedWaterHDC.end() && it->second.stripes && it->second.stripes->Fits(dpiY, coverage, areas))
            return it->second.stripes;
    }
    std::shared_ptr<const ScreenStripes> made = std::make_shared<ScreenStripes>(dpiY, coverage, areas), replaced;
    support::CriticalHold lock(m_csLock);
    const auto it = m_mapNeedWaterHDC.find(hdc);
    if (it != m_mapNeedWaterHDC.end()) {
        replaced = std::move(it->second.stripes);
        it->second.stripes = made;
    }
    return made;
}
