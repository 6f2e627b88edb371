#pragma once
// The clipboard handles this process withheld and has not released yet: the
// only handles it ever hands out or releases. The shared section says which
// handle belongs to which process, but any process can write it, so a value
// read there is acted on only when it is on this list. Process-global; every
// operation is guarded and takes no other lock.
#include <windows.h>

namespace store {

// Capacity: the withheld table's entries plus the notices that may be
// outstanding for them.
constexpr int kWithheldHandleCapacity = 300;

// False when the list is full.
bool AddWithheldHandle(UINT format, HANDLE mem);
// Takes one entry of the pair off the list; false when there was none.
// Whoever takes it releases the handle, so each is released once.
bool TakeWithheldHandle(UINT format, HANDLE mem);
bool IsWithheldHandle(UINT format, HANDLE mem);

}  // namespace store
