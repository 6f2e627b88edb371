#pragma once
// Names a file replacement has decided, for the time of its real call.
//
// The system's file functions call each other (a copy opens its files, a move
// across volumes copies and deletes, a replace moves its files, FindFirstFileW
// goes through FindFirstFileExW), and the real call of one replacement meets
// the replacements of the others. A name one replacement has decided (a
// redirected name, a user's file it chose, the client folder's copy) is used
// as it is by the replacements met inside: every rule applies once.
//
// The record lives on the deciding replacement's stack and is listed on the
// thread's ledger of held objects (support/held_locks.h), so an application's
// handler that unwinds through the replacement takes it off the thread too.
#include <windows.h>

#include "support/held_locks.h"

class SettledNames {
public:
    // Null names are left out.
    explicit SettledNames(const wchar_t* a, const wchar_t* b = nullptr, const wchar_t* c = nullptr);
    ~SettledNames();
    SettledNames(const SettledNames&) = delete;
    SettledNames& operator=(const SettledNames&) = delete;

private:
    friend bool IsSettled(const wchar_t* name);
    static void Abandon(void* self);
    void Unlink();

    const wchar_t* names_[3];
    SettledNames* outer_ = nullptr;
    bool linked_ = false;
    support::HeldLock held_;
};

// True when a replacement running further out on this thread decided name
// (compared ignoring case). Keeps the last error.
bool IsSettled(const wchar_t* name);
