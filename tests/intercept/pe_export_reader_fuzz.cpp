// libFuzzer target: the PE export reader on arbitrary files must never read
// outside the bytes it is given (AddressSanitizer checks every access).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "intercept/pe_export_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy of exactly size bytes, so any overrun hits a redzone.
    std::vector<uint8_t> file(data, data + size);
    file.shrink_to_fit();
    pe::ExportReader reader;
    if (!reader.Open(file.data(), file.size())) return 0;
    (void)reader.SizeOfImage();
    const char* probes[] = {"CreateFileW", "GetProcAddress", "A", ""};
    for (const char* name : probes) {
        const pe::Export e = reader.FindByName(name);
        if (e.kind == pe::Export::kForward) {
            pe::ForwardTarget t;
            pe::ParseForwarder(e.forwarder, t);
        }
    }
    unsigned visited = 0;
    reader.ForEachNamed([&](const char* name, const pe::Export& e) {
        if (++visited > 64) return;
        const pe::Export again = reader.FindByName(name);
        if (again.kind != e.kind && visited == 1) __builtin_trap();  // first entry must agree
        const uint8_t* bytes = nullptr;
        size_t available = 0;
        if (e.kind == pe::Export::kCode && reader.BytesAt(e.rva, bytes, available) && available)
            (void)reader.IsExecutable(e.rva), (void)bytes[available - 1];
    });
    for (uint32_t ordinal = 0; ordinal < 8; ++ordinal) (void)reader.FindByOrdinal(ordinal);
    return 0;
}
