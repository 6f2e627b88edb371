// The file-lock driver's request, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/filelock_request.h"

namespace {

uint32_t U32At(const filelock::Request& r, size_t at) {
    return uint32_t(r[at]) | uint32_t(r[at + 1]) << 8 | uint32_t(r[at + 2]) << 16 |
           uint32_t(r[at + 3]) << 24;
}

bool AllZero(const filelock::Request& r, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (r[i]) return false;
    return true;
}

TEST(FilelockRequest, LaysOutHeaderAndPattern) {
    const std::string pattern = "C:\\Docs\\*";
    const filelock::Request r = filelock::BuildRequest(0x12345678, pattern);
    ASSERT_EQ(1570u, r.size());
    EXPECT_EQ(0u, U32At(r, 0));
    EXPECT_EQ(0x12345678u, U32At(r, 4));
    EXPECT_EQ(0x78, r[4]);  // little-endian
    EXPECT_EQ(2u, U32At(r, 8));
    EXPECT_TRUE(AllZero(r, 12, 34));
    EXPECT_EQ(0, memcmp(r.data() + 34, pattern.data(), pattern.size()));
    EXPECT_TRUE(AllZero(r, 34 + pattern.size(), r.size()));
    EXPECT_EQ(0x762720E8u, filelock::kIoctlAllowProcess);
}

TEST(FilelockRequest, CutsAPatternThatDoesNotFitAndKeepsItsTerminator) {
    const std::string fits(1535, 'a');
    filelock::Request r = filelock::BuildRequest(1, fits);
    EXPECT_EQ(0, memcmp(r.data() + 34, fits.data(), fits.size()));
    EXPECT_EQ(0, r[1569]);

    const std::string tooLong = std::string(1600, 'b');
    r = filelock::BuildRequest(1, tooLong);
    EXPECT_EQ('b', r[34]);
    EXPECT_EQ('b', r[1568]);
    EXPECT_EQ(0, r[1569]);
    EXPECT_EQ(2u, U32At(r, 8));
}

TEST(FilelockRequest, PatternIsTheFolderOfThePathOrTheProtectedArea) {
    EXPECT_EQ("C:\\Docs\\Sub\\*", filelock::PatternFor("C:\\Docs\\Sub\\(ZEL-1)a.doc", "Z:\\Root"));
    EXPECT_EQ("C:\\Docs\\*", filelock::PatternFor("C:\\Docs\\", "Z:\\Root"));
    EXPECT_EQ("report.doc\\*", filelock::PatternFor("report.doc", "Z:\\Root"));
    EXPECT_EQ("\\*", filelock::PatternFor("", "Z:\\Root"));
    EXPECT_EQ("Z:\\Root\\ZELFILETEMP\\*", filelock::PatternFor(nullptr, "Z:\\Root"));
    EXPECT_EQ("\\ZELFILETEMP\\*", filelock::PatternFor(nullptr, ""));
}

}  // namespace
