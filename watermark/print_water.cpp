#include "watermark/print_water.h"

#include "support/held_locks.h"
#include "support/log.h"
#include "support/process_lifetime.h"

namespace {

// Never destroyed, not even when the library is unloaded: its destructor
// releases GDI+ and GDI objects, which must not happen under the loader lock.
// Only a process that prints through the library's replacements fills it, and
// there the library stays loaded until the process ends.
CPrintWater& ProcessWatermark() {
    static NeverDestroyed<CPrintWater> water;
    return *water;
}

}  // namespace

CPrintWater& g_printWater = ProcessWatermark();

CPrintWater::CPrintWater() {
    // Without debug information, a lock allocates nothing: the process's
    // watermark, built at load, keeps nothing behind when the library is
    // unloaded.
    InitializeCriticalSectionEx(&m_csLock, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
}

CPrintWater::~CPrintWater() { DeleteCriticalSection(&m_csLock); }

std::string CPrintWater::PrintStringWater(HDC hdc, WaterPass pass) {
    LogError("Print Water. hdc=%x", HandleWord(hdc));
    std::shared_ptr<const WaterJob> job;
    WaterPageCache cache;
    {
        support::CriticalHold lock(m_csLock);
        const auto it = m_mapNeedWaterHDC.find(hdc);
        if (it != m_mapNeedWaterHDC.end()) {
            job = it->second.job;
            cache = it->second.cache;
        }
    }
    std::string reason = "no watermark prepared for the device context";
    if (job) {
        reason = DrawWaterPass(*job, DevicePage(hdc), pass, cache);
        // What the page made is kept for the job's next pages; what it
        // replaced goes after the lock.
        support::CriticalHold lock(m_csLock);
        const auto it = m_mapNeedWaterHDC.find(hdc);
        if (it != m_mapNeedWaterHDC.end() && it->second.job == job) std::swap(it->second.cache, cache);
    }
    if (!reason.empty()) LogError("Print Water Fail. hdc=%x,reason=%s", HandleWord(hdc), reason.c_str());
    return reason;
}
