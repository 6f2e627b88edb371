// The watermark record comes from the store only here, so that programs which
// prepare a record of their own (the preview) need none of the store.
#include "store/shared_settings.h"
#include "watermark/print_water.h"
#include "support/held_locks.h"

void CPrintWater::GetWaterInfo() {
    // The store copies under its own lock; this one keeps the record whole
    // for readers of this object meanwhile.
    support::CriticalHold lock(m_csLock);
    store::GetWaterInfo(&m_WaterInfo);
}

void CPrintWater::LoadWaterInfo(HDC hdc) {
    GetWaterInfo();
    DeviceWaterSurface device(hdc);
    PrepareWaterInfo(hdc, device.surface());
}
