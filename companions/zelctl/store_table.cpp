#include "companions/zelctl/store_table.h"

#include <cstring>
#include <string>

#include "store/gatrel_interface.h"
#include "host/diagnostics.h"
#include "support/ansi_text.h"

namespace zelctl {

namespace {

bool IsBlank(const _ZEL_HOOK_INFO_& r) {
    static const _ZEL_HOOK_INFO_ zero{};
    return memcmp(&r, &zero, sizeof r) == 0;
}

const char* TypeName(unsigned type) {
    switch (type) {
        case 0: return "-";
        case 1: return "word";
        case 2: return "excel";
        case 3: return "ppt";
        case 4: return "pdf";
        case 6: return "korb";
        default: return "other";
    }
}

}  // namespace

int SlotHolding(CHookInterface& iface, const _ZEL_HOOK_INFO_& rec) {
    static _ZEL_HOOK_INFO_ table[kHookInfoSlots];
    iface.GetAllOstrumInfo(table);
    for (int i = 0; i < kHookInfoSlots; ++i)
        if (memcmp(&table[i], &rec, sizeof rec) == 0) return i;
    return -1;
}

void PrintStore(CHookInterface& iface, bool all, FILE* out) {
    static _ZEL_HOOK_INFO_ table[kHookInfoSlots];
    iface.GetAllOstrumInfo(table);
    int used = 0;
    for (const auto& r : table)
        if (r.dwOwnerPid) ++used;
    fprintf(out, "records: %d of %d slots\n", used, kHookInfoSlots);
    fprintf(out, "%-4s %-7s %-7s %-9s %-10s %-10s %-20s %-5s %-10s %s\n", "slot", "pid", "owner",
            "type", "window", "letters", "zel file name", "extra", "dwextra", "document path");
    for (int i = 0; i < kHookInfoSlots; ++i) {
        const _ZEL_HOOK_INFO_& r = table[i];
        if (!all && IsBlank(r)) continue;
        char type[16];
        snprintf(type, sizeof type, "%u %s", r.byDocType, TypeName(r.byDocType));
        fprintf(out, "%-4d %-7lu %-7lu %-9s 0x%08lx %-10s %-20s %-5u %-10lu %s\n", i,
                static_cast<unsigned long>(r.dwProcessId), static_cast<unsigned long>(r.dwOwnerPid),
                type, static_cast<unsigned long>(r.hDocWnd),
                text::FromField(r.szPermission).c_str(), text::FromField(r.szZelFileName).c_str(),
                r.byExtra, static_cast<unsigned long>(r.dwExtra),
                text::FromField(r.szFilePath).c_str());
        const std::string temp = text::FromField(r.szOfficeTempPath);
        if (!temp.empty()) fprintf(out, "%-4s temp path: %s\n", "", temp.c_str());
    }

    const GatrelDiagnostics* store = GatrelDiagnosticTable();
    if (!store) return;
    static WaterInfo water;
    store->GetWaterInfo(&water);
    char layout[8];
    if (water.chLayout >= 0x20 && water.chLayout < 0x7f)
        snprintf(layout, sizeof layout, "'%c'", water.chLayout);
    else
        snprintf(layout, sizeof layout, "0x%02x", static_cast<unsigned char>(water.chLayout));
    fprintf(out, "watermark: layout=%s size=%g opacity=%u lines=%u text=\"%s\"\n", layout,
            static_cast<double>(water.fFontSize), water.wOpacity, water.wLineCount,
            text::FromField(water.szContent).c_str());
    fprintf(out, "korb: info=%lu class=\"%s\"\n", static_cast<unsigned long>(store->GetKORBInfo()),
            store->GetKORBClassName().c_str());
}

}  // namespace zelctl
