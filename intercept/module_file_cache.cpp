#include "intercept/module_file_cache.h"

#include <vector>

#include "support/ansi_text.h"

namespace {

struct KeptFile {
    std::string path;
    ModuleFileView::Failure failure = ModuleFileView::kNone;
    DWORD error = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

DWORD g_keepingThread = 0;
std::vector<KeptFile> g_kept;

bool Keeping() { return g_keepingThread != 0 && g_keepingThread == GetCurrentThreadId(); }

ModuleFileView::Failure OpenFresh(const char* path, KeptFile& f) {
    f.file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f.file == INVALID_HANDLE_VALUE) {
        f.error = GetLastError();
        return f.failure = ModuleFileView::kCreateFile;
    }
    f.mapping = CreateFileMappingA(f.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!f.mapping) {
        f.error = GetLastError();
        CloseHandle(f.file);
        f.file = INVALID_HANDLE_VALUE;
        return f.failure = ModuleFileView::kCreateFileMapping;
    }
    f.data = static_cast<const uint8_t*>(MapViewOfFile(f.mapping, FILE_MAP_READ, 0, 0, 0));
    if (!f.data) {
        f.error = GetLastError();
        CloseHandle(f.mapping);
        CloseHandle(f.file);
        f.mapping = nullptr;
        f.file = INVALID_HANDLE_VALUE;
        return f.failure = ModuleFileView::kMapViewOfFile;
    }
    // The view covers the whole file: its size bounds every read.
    LARGE_INTEGER size{};
    f.size = GetFileSizeEx(f.file, &size) ? static_cast<size_t>(size.QuadPart) : 0;
    MEMORY_BASIC_INFORMATION mbi{};
    if (VirtualQuery(f.data, &mbi, sizeof mbi)) {
        const size_t mapped = reinterpret_cast<const uint8_t*>(mbi.BaseAddress) + mbi.RegionSize - f.data;
        if (mapped < f.size) f.size = mapped;
    }
    return f.failure = ModuleFileView::kNone;
}

}  // namespace

ModuleFileView::~ModuleFileView() {
    ReleaseView();
    ReleaseMappingAndFile();
}

ModuleFileView::Failure ModuleFileView::Open(const char* path, DWORD& error) {
    if (Keeping()) {
        for (const KeptFile& k : g_kept) {
            if (!text::EqualsNoCase(k.path.c_str(), path)) continue;
            error = k.error;
            data_ = k.data;
            size_ = k.size;
            shared_ = true;
            return k.failure;
        }
    }
    KeptFile f;
    f.path = path;
    const Failure failure = OpenFresh(path, f);
    error = f.error;
    if (Keeping()) {
        try {
            g_kept.push_back(f);
            data_ = f.data;
            size_ = f.size;
            shared_ = true;
            return failure;
        } catch (...) {
        }
    }
    file_ = f.file;
    mapping_ = f.mapping;
    data_ = f.data;
    size_ = f.size;
    shared_ = false;
    return failure;
}

void ModuleFileView::ReleaseView() {
    if (!shared_ && data_) UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
}

void ModuleFileView::ReleaseMappingAndFile() {
    if (!shared_) {
        if (mapping_) CloseHandle(mapping_);
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    mapping_ = nullptr;
    file_ = INVALID_HANDLE_VALUE;
}

KeptModuleFiles::KeptModuleFiles() {
    if (g_keepingThread == 0) {
        g_keepingThread = GetCurrentThreadId();
        owner_ = true;
    }
}

KeptModuleFiles::~KeptModuleFiles() {
    if (!owner_) return;
    for (KeptFile& k : g_kept) {
        if (k.data) UnmapViewOfFile(k.data);
        if (k.mapping) CloseHandle(k.mapping);
        if (k.file != INVALID_HANDLE_VALUE) CloseHandle(k.file);
    }
    g_kept.clear();
    g_keepingThread = 0;
}
