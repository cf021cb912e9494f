// Error texts from the Windows message tables.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/system_error.h"

namespace {

void ExpectOneTrailingLineFeedAndNoCarriageReturn(const std::string& strText)
{
    ASSERT_GE(strText.size(), 2u) << "no text";
    EXPECT_EQ(strText.find('\r'), std::string::npos) << strText;
    EXPECT_EQ(strText.back(), '\n') << strText;
    EXPECT_NE(strText[strText.size() - 2], '\n') << "more than one line feed at the end: " << strText;
}

TEST(Win32SystemErrorText, AccessDeniedHasNoCarriageReturnAndEndsInOneLineFeed)
{
    const std::string strText = GetSystemErrorText(ERROR_ACCESS_DENIED);
    ExpectOneTrailingLineFeedAndNoCarriageReturn(strText);
    EXPECT_NE(strText.find("ccess"), std::string::npos) << strText;
}

TEST(Win32SystemErrorText, TheCodesTheEnginesReportAllHaveText)
{
    for (uint32_t nCode : {SystemError::FileExists(), SystemError::NoMemory(), SystemError::IoError(),
                           SystemError::NotReady(), SystemError::NotSupported(),
                           static_cast<uint32_t>(ERROR_SHARING_VIOLATION)}) {
        SCOPED_TRACE(nCode);
        ExpectOneTrailingLineFeedAndNoCarriageReturn(GetSystemErrorText(nCode));
    }
}

TEST(Win32SystemErrorText, ATextWithInsertsIsKeptWithItsInsertsUnfilled)
{
    // "%1 is not a valid Win32 application.": there are no arguments to
    // fill in, and the text must not be lost for want of them.
    const std::string strText = GetSystemErrorText(ERROR_BAD_EXE_FORMAT);
    ExpectOneTrailingLineFeedAndNoCarriageReturn(strText);
    EXPECT_NE(strText.find("%1"), std::string::npos) << strText;
}

TEST(Win32SystemErrorText, ACodeWithoutTextGivesTheEmptyString)
{
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFFu), "");
}

}  // namespace
