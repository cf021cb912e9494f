// Error texts from the Windows message tables, beyond what every platform
// shares (test_system_error.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/core/system_error.h"

TEST(Win32SystemErrorText, InsertsStayUnfilledAndACodeWithoutTextGivesNothing)
{
    // "%1 is not a valid Win32 application.": there are no arguments to fill
    // in, and the text must not be lost for want of them.
    const std::string strText = GetSystemErrorText(ERROR_BAD_EXE_FORMAT);
    EXPECT_NE(strText.find("%1"), std::string::npos) << strText;
    EXPECT_TRUE(strText.ends_with("\n") && !strText.ends_with("\n\n") && strText.find('\r') == std::string::npos)
        << strText;
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFFu), "");
}
