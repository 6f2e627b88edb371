#pragma once
// Objects that live as long as the library is loaded in the process.
//
// Hazard: when the process ends, the runtime runs the library's static
// destructors after DllMain has returned, while the detours are still in
// place; a replaced function called from another library's detach would then
// meet a destroyed object. So these objects are never destroyed at the
// process's end: their storage is static, their destructor does not run there,
// and the system reclaims the memory. When FreeLibrary unloads the library
// (nothing is replaced any more), ReleaseProcessLifetimeObjects destroys them
// from DllMain, newest first, so that a library loaded and unloaded again and
// again keeps nothing behind. Their destructors therefore run under the loader
// lock: plain memory only, no GDI, GDI+ or window call.
//
//   ProcessContext& GetProcessContext() {
//       static ProcessLifetime<ProcessContext> context;  // built on first use
//       return *context;
//   }
#include <new>
#include <utility>

void ReleaseAtUnload(void (*destroy)(void*), void* object);
void ReleaseProcessLifetimeObjects();

template <class T>
class ProcessLifetime {
public:
    template <class... Args>
    explicit ProcessLifetime(Args&&... args) {
        ReleaseAtUnload(&Destroy, new (storage_) T(std::forward<Args>(args)...));
    }
    ProcessLifetime(const ProcessLifetime&) = delete;
    ProcessLifetime& operator=(const ProcessLifetime&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() { return &**this; }

private:
    static void Destroy(void* object) { static_cast<T*>(object)->~T(); }
    alignas(T) unsigned char storage_[sizeof(T)];
};

// An object that is never destroyed, not even when the library is unloaded:
// for one whose destructor must not run under the loader lock, and that only
// a process which never unloads the library fills.
template <class T>
class NeverDestroyed {
public:
    template <class... Args>
    explicit NeverDestroyed(Args&&... args) {
        new (storage_) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() { return &**this; }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};
