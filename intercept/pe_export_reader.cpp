#include "intercept/pe_export_reader.h"

#include <cstring>

namespace pe {
namespace {

constexpr size_t kMaxSections = 96;
constexpr size_t kMaxNameLength = 512;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Fits(size_t offset, size_t length, size_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace

bool ParseForwarder(const std::string& text, ForwardTarget& out) {
    out = ForwardTarget{};
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= text.size()) return false;
    out.module = text.substr(0, dot);
    if (out.module.find('.') == std::string::npos) out.module += ".dll";
    const std::string rest = text.substr(dot + 1);
    if (rest[0] == '#') {
        if (rest.size() < 2 || rest.size() > 6) return false;
        uint32_t n = 0;
        for (size_t i = 1; i < rest.size(); ++i) {
            if (rest[i] < '0' || rest[i] > '9') return false;
            n = n * 10 + static_cast<uint32_t>(rest[i] - '0');
        }
        if (n == 0 || n > 0xFFFF) return false;
        out.ordinal = n;
    } else {
        out.name = rest;
    }
    return true;
}

bool ExportReader::Open(const uint8_t* data, size_t size) {
    *this = ExportReader{};
    if (!data || size < 0x40) return false;
    if (data[0] != 'M' || data[1] != 'Z') return false;
    const uint32_t ntOffset = Le32(data + 0x3C);
    // Signature, file header (20 bytes), then at least the fixed part of the
    // optional header up to SizeOfHeaders.
    if (!Fits(ntOffset, 4 + 20 + 64, size)) return false;
    const uint8_t* nt = data + ntOffset;
    if (memcmp(nt, "PE\0\0", 4) != 0) return false;
    const uint16_t sections = Le16(nt + 4 + 2);
    const uint16_t optionalSize = Le16(nt + 4 + 16);
    const size_t optional = ntOffset + 24;
    if (!Fits(optional, optionalSize, size)) return false;
    const uint16_t magic = Le16(data + optional);
    size_t directories = 0;
    size_t directoryCountAt = 0;
    if (magic == 0x10B) {
        directoryCountAt = 92;
        directories = 96;
    } else if (magic == 0x20B) {
        directoryCountAt = 108;
        directories = 112;
    } else {
        return false;
    }
    if (optionalSize < 64) return false;
    sizeOfImage_ = Le32(data + optional + 56);
    sizeOfHeaders_ = Le32(data + optional + 60);
    sectionTable_ = optional + optionalSize;
    if (sections > kMaxSections || !Fits(sectionTable_, sections * 40u, size)) return false;
    sectionCount_ = sections;
    data_ = data;
    size_ = size;

    // The export directory is the first data directory; a file without one
    // has no exports but is still a valid image.
    if (optionalSize < directories + 8 || Le32(data + optional + directoryCountAt) < 1) return true;
    const uint32_t rva = Le32(data + optional + directories);
    const uint32_t length = Le32(data + optional + directories + 4);
    size_t offset = 0;
    if (rva == 0 || length < 40 || !RvaToOffset(rva, 40, offset)) return true;
    const uint8_t* dir = data + offset;
    exportRva_ = rva;
    exportSize_ = length;
    exportOffset_ = offset;
    base_ = Le32(dir + 16);
    functionCount_ = Le32(dir + 20);
    nameCount_ = Le32(dir + 24);
    functionsRva_ = Le32(dir + 28);
    namesRva_ = Le32(dir + 32);
    ordinalsRva_ = Le32(dir + 36);
    return true;
}

bool ExportReader::Locate(uint32_t rva, size_t& offset, size_t& contiguous) const {
    if (!data_) return false;
    // The headers are mapped at RVA 0 exactly as they lie in the file.
    if (rva < sizeOfHeaders_) {
        if (rva >= size_) return false;
        offset = rva;
        contiguous = (sizeOfHeaders_ < size_ ? sizeOfHeaders_ : size_) - rva;
        return true;
    }
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint8_t* s = data_ + sectionTable_ + i * 40;
        const uint32_t va = Le32(s + 12);
        const uint32_t rawSize = Le32(s + 16);
        const uint32_t rawPointer = Le32(s + 20);
        // Bytes beyond the raw data are zero-filled in memory: not in the file.
        if (rva < va || rva - va >= rawSize) continue;
        const uint64_t at = static_cast<uint64_t>(rawPointer) + (rva - va);
        if (at >= size_) return false;
        offset = static_cast<size_t>(at);
        const uint64_t inSection = rawSize - (rva - va);
        const uint64_t inFile = size_ - offset;
        contiguous = static_cast<size_t>(inSection < inFile ? inSection : inFile);
        return true;
    }
    return false;
}

bool ExportReader::IsExecutable(uint32_t rva) const {
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint8_t* s = data_ + sectionTable_ + i * 40;
        const uint32_t va = Le32(s + 12);
        const uint32_t virtualSize = Le32(s + 8) ? Le32(s + 8) : Le32(s + 16);
        if (rva >= va && rva - va < virtualSize) return (Le32(s + 36) & 0x20000000u) != 0;
    }
    return false;
}

bool ExportReader::RvaToOffset(uint32_t rva, uint32_t length, size_t& offset) const {
    size_t contiguous = 0;
    if (!Locate(rva, offset, contiguous)) return false;
    return length <= contiguous;
}

bool ExportReader::BytesAt(uint32_t rva, const uint8_t*& bytes, size_t& available) const {
    size_t offset = 0;
    if (!Locate(rva, offset, available)) return false;
    bytes = data_ + offset;
    return true;
}

bool ExportReader::ReadU32(uint32_t rva, uint32_t& v) const {
    size_t at = 0;
    if (!RvaToOffset(rva, 4, at)) return false;
    v = Le32(data_ + at);
    return true;
}

bool ExportReader::ReadU16(uint32_t rva, uint16_t& v) const {
    size_t at = 0;
    if (!RvaToOffset(rva, 2, at)) return false;
    v = Le16(data_ + at);
    return true;
}

bool ExportReader::ReadString(uint32_t rva, size_t maxLength, std::string& out) const {
    size_t at = 0;
    size_t contiguous = 0;
    if (!Locate(rva, at, contiguous)) return false;
    const size_t bound = contiguous < maxLength + 1 ? contiguous : maxLength + 1;
    const void* end = memchr(data_ + at, 0, bound);
    if (!end) return false;
    out.assign(reinterpret_cast<const char*>(data_ + at),
               static_cast<const uint8_t*>(end) - (data_ + at));
    return true;
}

bool ExportReader::NameEquals(uint32_t rva, const char* name) const {
    const size_t length = strlen(name);
    size_t at = 0;
    if (length > kMaxNameLength || !RvaToOffset(rva, static_cast<uint32_t>(length + 1), at))
        return false;
    return memcmp(data_ + at, name, length) == 0 && data_[at + length] == 0;
}

Export ExportReader::FunctionAt(uint32_t index) const {
    Export e;
    uint32_t rva = 0;
    if (index >= functionCount_ || index > 0x3FFFFFFF ||
        !ReadU32(functionsRva_ + index * 4, rva) || rva == 0)
        return e;
    if (rva >= exportRva_ && rva - exportRva_ < exportSize_) {
        // The RVA names a forwarder text inside the export directory, not code.
        std::string text;
        if (!ReadString(rva, kMaxNameLength, text) ||
            static_cast<uint64_t>(rva) + text.size() >= static_cast<uint64_t>(exportRva_) + exportSize_)
            return e;
        e.kind = Export::kForward;
        e.rva = rva;
        e.forwarder = std::move(text);
        return e;
    }
    e.kind = Export::kCode;
    e.rva = rva;
    return e;
}

Export ExportReader::FindByName(const char* name) const {
    if (!HasExports() || !name) return Export{};
    for (uint32_t i = 0; i < nameCount_ && i < 0x3FFFFFFF; ++i) {
        uint32_t nameRva = 0;
        if (!ReadU32(namesRva_ + i * 4, nameRva) || nameRva == 0) break;
        if (!NameEquals(nameRva, name)) continue;
        uint16_t index = 0;
        if (!ReadU16(ordinalsRva_ + i * 2, index)) return Export{};
        return FunctionAt(index);
    }
    return Export{};
}

Export ExportReader::FindByOrdinal(uint32_t ordinal) const {
    if (!HasExports() || ordinal < base_) return Export{};
    return FunctionAt(ordinal - base_);
}

void ExportReader::ForEachNamed(
    const std::function<void(const char* name, const Export& e)>& visit) const {
    if (!HasExports()) return;
    for (uint32_t i = 0; i < nameCount_ && i < 0x3FFFFFFF; ++i) {
        uint32_t nameRva = 0;
        if (!ReadU32(namesRva_ + i * 4, nameRva) || nameRva == 0) break;
        std::string name;
        if (!ReadString(nameRva, kMaxNameLength, name)) continue;
        uint16_t index = 0;
        if (!ReadU16(ordinalsRva_ + i * 2, index)) continue;
        visit(name.c_str(), FunctionAt(index));
    }
}

}  // namespace pe
