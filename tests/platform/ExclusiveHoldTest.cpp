// Two copies of the tool never hold one reader: on Linux through flock, on Windows
// (where hidapi opens devices shared) through a named mutex per device path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/ExclusiveHold.h"

namespace rq {
namespace {

TEST(ExclusiveHold, ASecondHoldOfOneDeviceIsBusyUntilTheFirstEnds) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string first = (dir / "rq-hold-first").string();
    const std::string second = (dir / "rq-hold-second").string();
    std::ofstream(first) << "";
    std::ofstream(second) << "";
    using Result = ExclusiveHold::Result;
    {
        ExclusiveHold holder;
        ASSERT_EQ(holder.take(first), Result::Held);
        ExclusiveHold other;
        EXPECT_EQ(other.take(first), Result::Busy);
        EXPECT_EQ(other.take(second), Result::Held);  // another device is free

        ExclusiveHold moved = std::move(holder);  // the hold goes along
        EXPECT_EQ(ExclusiveHold().take(first), Result::Busy);
        moved = ExclusiveHold();  // released by the assignment
        EXPECT_EQ(ExclusiveHold().take(first), Result::Held);
    }
    EXPECT_EQ(ExclusiveHold().take(second), Result::Held);  // released at the end
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}

}  // namespace
}  // namespace rq
