// The system's error texts as the log lines append them.
#include <gtest/gtest.h>

#include "engine/core/system_error.h"

TEST(SystemErrorText, TheCodesTheEnginesReportHaveTextEndingInExactlyOneLineFeed)
{
    for (uint32_t nCode : {SystemError::FileExists(), SystemError::IoError(), SystemError::NotSupported()}) {
        const std::string strText = GetSystemErrorText(nCode);
        ASSERT_GE(strText.size(), 2u) << nCode;
        EXPECT_TRUE(strText.back() == '\n' && strText[strText.size() - 2] != '\n') << strText;
        EXPECT_EQ(strText.find('\r'), std::string::npos) << strText;
    }
}
