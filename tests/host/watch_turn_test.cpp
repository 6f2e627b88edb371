// A watch thread's turn when "ProtectMutex" could not be had (its name taken
// by another kind of object, or refused by the controller's security): the
// turn still takes its second, so the thread never spins and the daemon is
// not tested.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/daemon_check.h"
#include "store/named_lock.h"

namespace {

TEST(WatchTurn, WithoutItsMutexATurnStillTakesItsSecond) {
    ASSERT_EQ(nullptr, store::ProtectMutex()) << "this program made no mutex of the store";
    for (int i = 0; i < 3; ++i) {
        const DWORD start = GetTickCount();
        DaemonCheckTurn();
        EXPECT_GE(GetTickCount() - start, 900u) << "turn " << i;
    }
}

}  // namespace
