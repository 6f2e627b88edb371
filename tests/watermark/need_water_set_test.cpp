// Which device contexts print a watermarked job, and whether the current page
// of each has its overlay yet: two jobs printed at once in one process keep
// their pages apart.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/hooks/log_tail.h"
#include "watermark/print_water.h"

using testing_support::LogTail;

namespace {

HDC Handle(uintptr_t v) { return reinterpret_cast<HDC>(v); }

TEST(NeedWaterSet, AddingTwiceAndDeletingOnceLeavesTheHandleOutAndEveryCallIsLogged) {
    CPrintWater water;
    LogTail log;
    const HDC dc = Handle(0x5a01);
    water.AddNeedPrintWaterHDC(dc);
    water.AddNeedPrintWaterHDC(dc);
    EXPECT_TRUE(water.IsNeedPrintWaterHDC(dc));
    EXPECT_FALSE(water.IsNeedPrintWaterHDC(Handle(0x5a02)));
    water.DeleteNeedPrintWaterHDC(dc);
    EXPECT_FALSE(water.IsNeedPrintWaterHDC(dc));
    water.DeleteNeedPrintWaterHDC(dc);
    EXPECT_EQ(2, log.CountEndingWith("Add Need Print Water HDC=5a01"));
    EXPECT_EQ(2, log.CountEndingWith("Delete Need Print Water HDC=5a01"));
}

TEST(NeedWaterSet, EachDeviceContextKeepsItsOwnPageOverlayFlag) {
    CPrintWater water;
    const HDC first = Handle(0x5b01), second = Handle(0x5b02), other = Handle(0x5b03);
    water.AddNeedPrintWaterHDC(first);
    water.AddNeedPrintWaterHDC(second);
    water.ClearPageWaterAdded(first);
    water.ClearPageWaterAdded(second);

    EXPECT_TRUE(water.MarkPageWaterAdded(first));
    EXPECT_FALSE(water.MarkPageWaterAdded(first)) << "one overlay per page";
    EXPECT_TRUE(water.IsPageWaterAdded(first));
    EXPECT_FALSE(water.IsPageWaterAdded(second)) << "the other job's page has no overlay yet";
    EXPECT_TRUE(water.MarkPageWaterAdded(second));
    water.ClearPageWaterAdded(first);  // the next page of the first job
    EXPECT_TRUE(water.MarkPageWaterAdded(first));

    EXPECT_FALSE(water.MarkPageWaterAdded(other)) << "a device context outside the set gets none";
    EXPECT_FALSE(water.IsPageWaterAdded(other));
    water.DeleteNeedPrintWaterHDC(second);
    EXPECT_FALSE(water.IsPageWaterAdded(second));
    water.AddNeedPrintWaterHDC(second);
    EXPECT_TRUE(water.MarkPageWaterAdded(second)) << "a new job starts without an overlay";
}

TEST(NeedWaterSet, ThreadsEndingTheSamePageDrawOneOverlay) {
    CPrintWater water;
    const HDC dc = Handle(0x5c01);
    water.AddNeedPrintWaterHDC(dc);
    for (int page = 0; page < 50; ++page) {
        water.ClearPageWaterAdded(dc);
        std::atomic<int> ready{0}, drawn{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                ++ready;
                while (ready < 4) std::this_thread::yield();
                if (water.MarkPageWaterAdded(dc)) ++drawn;
            });
        for (auto& t : threads) t.join();
        ASSERT_EQ(1, drawn) << "page " << page;
    }
}

}  // namespace
