// Which device contexts print a watermarked job, and whether the current page
// of each has its overlay yet: two jobs printed at once in one process keep
// their pages apart.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "tests/hooks/log_tail.h"
#include "watermark/print_water.h"

using testing_support::LogTail;

namespace {

HDC Handle(uintptr_t v) { return reinterpret_cast<HDC>(v); }

std::shared_ptr<const WaterJob> JobOfText(const wchar_t* text) {
    auto job = std::make_shared<WaterJob>();
    job->content = text;
    return job;
}

TEST(NeedWaterSet, AddingTwiceAndDeletingOnceLeavesTheHandleOutAndEveryCallIsLogged) {
    CPrintWater water;
    LogTail log;
    const HDC dc = Handle(0x5a01);
    water.AddNeedPrintWaterHDC(dc, JobOfText(L"x"));
    water.AddNeedPrintWaterHDC(dc, JobOfText(L"x"));
    EXPECT_TRUE(water.IsNeedPrintWaterHDC(dc));
    EXPECT_FALSE(water.IsNeedPrintWaterHDC(Handle(0x5a02)));
    water.DeleteNeedPrintWaterHDC(dc);
    EXPECT_FALSE(water.IsNeedPrintWaterHDC(dc));
    water.DeleteNeedPrintWaterHDC(dc);
    EXPECT_EQ(2, log.CountEndingWith("Add Need Print Water HDC=5a01"));
    EXPECT_EQ(2, log.CountEndingWith("Delete Need Print Water HDC=5a01"));
}

TEST(NeedWaterSet, EachDeviceContextKeepsItsOwnPagesPasses) {
    CPrintWater water;
    const HDC first = CreateCompatibleDC(nullptr), second = CreateCompatibleDC(nullptr), other = Handle(0x5b03);
    water.AddNeedPrintWaterHDC(first, JobOfText(L"x"));
    water.AddNeedPrintWaterHDC(second, JobOfText(L"x"));
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
    water.AddNeedPrintWaterHDC(second, JobOfText(L"x"));
    EXPECT_TRUE(water.MarkPageWaterAdded(second)) << "a new job starts without an overlay";

    // The underlay is a pass of its own: marked once per page, and a page
    // that begins or ends clears both.
    EXPECT_TRUE(water.MarkPageUnderlaid(first));
    EXPECT_FALSE(water.MarkPageUnderlaid(first));
    water.ClearPageWaterAdded(first);
    EXPECT_TRUE(water.MarkPageUnderlaid(first));
    EXPECT_TRUE(water.MarkPageWaterAdded(first));
    EXPECT_FALSE(water.MarkPageUnderlaid(other));
    DeleteDC(first);
    DeleteDC(second);
}

// A job that ended without EndDoc (AbortDoc through another path, DeleteDC)
// leaves its entry: the next job on that handle value replaces it, and the
// entries of handles that no longer name a device context go when another
// job is added.
TEST(NeedWaterSet, ANewJobReplacesItsHandlesEntryAndEntriesOfDeletedDeviceContextsGo) {
    CPrintWater water;
    HDC kept = CreateCompatibleDC(nullptr);
    HDC deleted = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(kept && deleted);
    water.AddNeedPrintWaterHDC(kept, JobOfText(L"FIRST"));
    water.MarkPageWaterAdded(kept);
    water.AddNeedPrintWaterHDC(kept, JobOfText(L"SECOND"));
    ASSERT_NE(nullptr, water.JobOf(kept));
    EXPECT_EQ(L"SECOND", water.JobOf(kept)->content) << "the job that started last owns the entry";
    EXPECT_FALSE(water.IsPageWaterAdded(kept)) << "and starts without an overlay";

    water.AddNeedPrintWaterHDC(deleted, JobOfText(L"LEFT"));
    HDC next = CreateCompatibleDC(nullptr);  // made first: it cannot take the deleted one's handle
    DeleteDC(deleted);
    EXPECT_EQ(2u, water.NeedPrintWaterCount());
    water.AddNeedPrintWaterHDC(next, JobOfText(L"NEXT"));
    EXPECT_EQ(2u, water.NeedPrintWaterCount()) << "the deleted device context's entry is gone";
    EXPECT_TRUE(water.IsNeedPrintWaterHDC(kept));
    EXPECT_TRUE(water.IsNeedPrintWaterHDC(next));
    DeleteDC(kept);
    DeleteDC(next);
}

TEST(NeedWaterSet, ThreadsEndingTheSamePageDrawOneOverlay) {
    CPrintWater water;
    const HDC dc = Handle(0x5c01);
    water.AddNeedPrintWaterHDC(dc, JobOfText(L"x"));
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
