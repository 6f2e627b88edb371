// The smallest controller: built only against the packaged header and import
// library, it adds a record, finds it again, changes its letters and removes
// it. Prints one line per step; exit code 0 when every step held.
#include <cstdio>
#include <cstring>

#include "gatrel_interface.h"

int main() {
    CHookInterface& ctl = CHookInterface::instance();
    const DWORD me = GetCurrentProcessId();
    _ZEL_HOOK_INFO_ rec{};
    rec.dwProcessId = me;
    rec.dwOwnerPid = me;
    rec.byDocType = 1;
    strcpy(rec.szFilePath, "C:\\ZEL\\ZELFILETEMP\\(ZEL-4711)tiny.doc");
    strcpy(rec.szPermission, "P");
    strcpy(rec.szZelFileName, "tiny-controller.doc");
    ctl.AddHookInfo(&rec);

    int failures = 0;
    _ZEL_HOOK_INFO_ found{};
    const int slot = ctl.FindZELFileName("TINY-CONTROLLER.DOC", found);
    const bool same = slot >= 0 && memcmp(&found, &rec, sizeof rec) == 0;
    printf("added: slot %d, %s\n", slot, same ? "read back whole" : "NOT read back");
    failures += !same;

    ctl.SetHookInfo(me, "CP");
    _ZEL_HOOK_INFO_ table[kHookInfoSlots];
    ctl.GetAllOstrumInfo(table);
    const bool letters = slot >= 0 && strcmp(table[slot].szPermission, "CP") == 0;
    printf("letters: %s\n", letters ? "CP" : "NOT changed");
    failures += !letters;

    ctl.DelHookInfo(me);
    const bool gone = ctl.FindZELFileName("tiny-controller.doc", found) < 0;
    printf("deleted: %s\n", gone ? "gone" : "STILL THERE");
    failures += !gone;
    return failures;
}
