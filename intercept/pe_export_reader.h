#pragma once
// Export look-up in a PE file as it lies on disk (a read-only view of the
// whole file). Pure code: no Windows dependency, builds natively too.
//
// Every position is found through the section table and checked against the
// size of the view before it is read, so a truncated, malformed or unusually
// laid-out file gives "not found" rather than a read outside the view.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pe {

struct Export {
    enum Kind { kNotFound, kCode, kForward };
    Kind kind = kNotFound;
    uint32_t rva = 0;         // function RVA (kCode), or the forwarder text's RVA (kForward)
    std::string forwarder;    // "MODULE.Name" or "MODULE.#ordinal" (kForward)
};

// A forwarder text split into the module file name to look up and the export.
struct ForwardTarget {
    std::string module;       // with ".dll" appended when the text names no extension
    std::string name;         // empty when the forward is by ordinal
    uint32_t ordinal = 0;
};
bool ParseForwarder(const std::string& text, ForwardTarget& out);

class ExportReader {
public:
    // False when the headers do not describe a PE image inside [data, data+size).
    bool Open(const uint8_t* data, size_t size);

    uint32_t SizeOfImage() const { return sizeOfImage_; }
    bool HasExports() const { return exportSize_ != 0 && exportOffset_ != 0; }

    // File offset of [rva, rva+length) when the whole range lies in the file.
    bool RvaToOffset(uint32_t rva, uint32_t length, size_t& offset) const;
    // The file's bytes from rva on, as far as they run contiguously in the file.
    bool BytesAt(uint32_t rva, const uint8_t*& bytes, size_t& available) const;

    // True when rva lies in a section marked executable.
    bool IsExecutable(uint32_t rva) const;

    // The first name-table entry equal to name (case-sensitive). The walk ends
    // at a null name pointer or after NumberOfNames entries.
    Export FindByName(const char* name) const;
    // The export with this ordinal (biased by the directory's Base).
    Export FindByOrdinal(uint32_t ordinal) const;

    // Every named export in name-table order, until a null name pointer.
    void ForEachNamed(const std::function<void(const char* name, const Export& e)>& visit) const;

private:
    // File offset of rva and how many bytes follow it in the same range.
    bool Locate(uint32_t rva, size_t& offset, size_t& contiguous) const;
    bool ReadU32(uint32_t rva, uint32_t& v) const;
    bool ReadU16(uint32_t rva, uint16_t& v) const;
    // The NUL-terminated string at rva, bounded by the file and by maxLength.
    bool ReadString(uint32_t rva, size_t maxLength, std::string& out) const;
    bool NameEquals(uint32_t rva, const char* name) const;
    Export FunctionAt(uint32_t index) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t sectionTable_ = 0;
    uint32_t sectionCount_ = 0;
    uint32_t sizeOfHeaders_ = 0;
    uint32_t sizeOfImage_ = 0;
    uint32_t exportRva_ = 0;
    uint32_t exportSize_ = 0;
    size_t exportOffset_ = 0;
    uint32_t base_ = 0;
    uint32_t functionCount_ = 0;
    uint32_t nameCount_ = 0;
    uint32_t functionsRva_ = 0;
    uint32_t namesRva_ = 0;
    uint32_t ordinalsRva_ = 0;
};

}  // namespace pe
