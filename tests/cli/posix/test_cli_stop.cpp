// The stop signals' handler: the first request is only recorded, a second
// one ends the program at once. (The signals' exit statuses and stop lines
// by process: tests/e2e/test_read_file.sh.)
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/cli_stop.h"

namespace {

TEST(CliStopRequest, TheFirstIsRecordedAndASecondQuitsAtOnce)
{
    EXPECT_EXIT(
        {
            OnStopSignal(EStopSignal::Terminate);
            OnStopSignal(EStopSignal::Interrupt);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(130), "stopped at once");
    EXPECT_EXIT(
        {
            OnStopSignal(EStopSignal::HangUp);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
