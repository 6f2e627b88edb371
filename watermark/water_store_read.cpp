// The watermark record comes from the store only here, so that programs which
// prepare a record of their own (the preview) need none of the store.
#include <ctime>
#include <new>

#include "store/shared_settings.h"
#include "support/log.h"
#include "support/wide_text.h"
#include "watermark/print_water.h"

std::shared_ptr<const WaterJob> CPrintWater::LoadWaterInfo(HDC hdc) {
    // 10 KB: too large for the stack of every thread that may print. Read
    // without any lock of this object: the store's read may wait for a
    // writer in another process.
    std::unique_ptr<WaterInfo> info(new (std::nothrow) WaterInfo);
    if (!info || !store::ReadWaterInfo(info.get())) {
        LogError("Read WaterInfo Fail. hdc=%x", HandleWord(hdc));
        return nullptr;
    }
    const DeviceWaterSurface device(hdc);
    auto job = std::make_shared<const WaterJob>(PrepareWaterJob(*info, hdc, device.surface(), time(nullptr)));
    LogError("FontName=%s,FontSize=%f,WaterContent=%s", text::WideToAnsi(job->fontName).c_str(),
             static_cast<double>(job->fontSize), text::WideToAnsi(job->content).c_str());
    return job;
}
