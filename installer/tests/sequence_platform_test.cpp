// Window placement and the single-instance lock, on both backends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/lock_file.h"
#include "platform/status_window.h"

namespace {

bool FailingQuery(platform::WorkArea*) {
    return false;
}

bool FullHd(platform::WorkArea* area) {
    *area = platform::WorkArea{0, 0, 1920, 1040};
    return true;
}

// A work area that does not start at the origin: only its right and bottom edges count.
bool Offset(platform::WorkArea* area) {
    *area = platform::WorkArea{1000, 500, 1600, 900};
    return true;
}

bool Narrow(platform::WorkArea* area) {
    *area = platform::WorkArea{0, 0, 299, 79};
    return true;
}

TEST(StatusWindowPlacement, CentresOnTheWorkAreaAndFallsBackToTheOrigin) {
    const platform::WindowOrigin fallback = platform::PlaceStatusWindow(FailingQuery);
    EXPECT_EQ(fallback.x, 0);
    EXPECT_EQ(fallback.y, 0);

    const platform::WindowOrigin centred = platform::PlaceStatusWindow(FullHd);
    EXPECT_EQ(centred.x, 810);
    EXPECT_EQ(centred.y, 480);

    const platform::WindowOrigin offset = platform::PlaceStatusWindow(Offset);
    EXPECT_EQ(offset.x, 650);
    EXPECT_EQ(offset.y, 410);

    // (299 - 300) / 2 rounds toward zero.
    const platform::WindowOrigin narrow = platform::PlaceStatusWindow(Narrow);
    EXPECT_EQ(narrow.x, 0);
    EXPECT_EQ(narrow.y, 0);
}

TEST(LockFile, HeldExclusivelyUntilClosed) {
    const std::string path = testing::TempDir() + "sequence-lock-test.mutex";
    std::FILE* first = platform::OpenLockFile(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform::OpenLockFile(path), nullptr);
    std::fclose(first);

    std::FILE* again = platform::OpenLockFile(path);
    ASSERT_NE(again, nullptr);
    std::fclose(again);
    std::remove(path.c_str());
}

}  // namespace
