// Without --buffer a job takes "Buffer" from this user's settings file,
// found through XDG_CONFIG_HOME (pointed at a temporary folder here).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "cli/cli_buffer.h"
#include "cli/cli_job.h"
#include "drives/settings_keys.h"
#include "drives/settings_path.h"
#include "tests/support/temp_dir.h"

namespace {

class ConfigHomeTest : public ::testing::Test {
protected:
    ConfigHomeTest()
    {
        if (const char* pOld = std::getenv("XDG_CONFIG_HOME")) m_strOld = pOld;
        ::setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
    }
    ~ConfigHomeTest() override
    {
        if (m_strOld) {
            ::setenv("XDG_CONFIG_HOME", m_strOld->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }

    CTempDir m_dir;
    std::optional<std::string> m_strOld;
};

TEST_F(ConfigHomeTest, AJobWithoutBufferTakesTheUsersSetting)
{
    EXPECT_EQ(DefaultBufferMiB(), 16u);  // no settings file yet
    const std::string strPath = GetSettingsFilePath();
    ASSERT_EQ(strPath, m_dir.File("gravelmoor/gravelmoor.ini"));
    ASSERT_TRUE(CreateProfileStore()->WriteString(strPath, SETTINGS_SECTION, SettingsKey::Buffer, "96"));
    EXPECT_EQ(DefaultBufferMiB(), 96u);
    EXPECT_EQ(ProcessCliEnv().nDefaultBufferMiB, 96u);
}

}  // namespace
