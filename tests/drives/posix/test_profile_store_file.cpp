// The POSIX settings file: files that are not settings at all (binary,
// huge, a folder, a FIFO) never stop a read and are never destroyed by a
// write; writes replace the file in one step, make private folders and
// follow a symbolic link.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>

#include "drives/posix/profile_store_file.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class ProfileFile : public ::testing::Test {
protected:
    std::string Text() const
    {
        const std::vector<uint8_t> bytes = ReadWholeFile(m_strPath);
        return std::string(bytes.begin(), bytes.end());
    }
    int32_t Buffer(const std::string& strPath) { return m_store.GetInt(strPath, "Gravelmoor", "Buffer", 16); }
    bool SetBuffer(const std::string& strPath, const char* pValue)
    {
        return m_store.WriteString(strPath, "Gravelmoor", "Buffer", pValue);
    }

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("gravelmoor.ini");
    CFileProfileStore m_store;
};

}  // namespace

TEST_F(ProfileFile, ABinaryFileReadsAsDefaultsAndKeepsItsBytesWhenWritten)
{
    std::mt19937 random(7);
    std::string strBinary(4096, '\n');
    for (size_t i = 0; i + 1 < strBinary.size(); ++i) strBinary[i] = static_cast<char>(random());
    WriteWholeFile(m_strPath, {strBinary.begin(), strBinary.end()});
    EXPECT_EQ(Buffer(m_strPath), 16);
    ASSERT_TRUE(SetBuffer(m_strPath, "64"));
    EXPECT_EQ(Buffer(m_strPath), 64);
    EXPECT_TRUE(Text().starts_with(strBinary));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()), 1);  // no temporary left
}

TEST_F(ProfileFile, AHugeFileIsReadUpToItsLimitAndNeverRewritten)
{
    std::string strText = "[Gravelmoor]\nBuffer=64\n" + std::string(MAX_PROFILE_FILE_BYTES, 'x') + "\nShowCDROM=1\n";
    WriteWholeFile(m_strPath, {strText.begin(), strText.end()});
    EXPECT_EQ(Buffer(m_strPath), 64);
    EXPECT_EQ(m_store.GetInt(m_strPath, "Gravelmoor", "ShowCDROM", 0), 0);  // beyond the limit
    EXPECT_FALSE(SetBuffer(m_strPath, "32"));
    EXPECT_EQ(Text(), strText);
}

TEST_F(ProfileFile, WhatCannotBeReadGivesDefaultsAndIsNeverReplaced)
{
    const std::string strFolder = m_dir.File("folder.ini"), strFifo = m_dir.File("fifo.ini");
    fs::create_directory(strFolder);
    ASSERT_EQ(::mkfifo(strFifo.c_str(), 0600), 0);  // a read must not wait for a writer
    WriteWholeFile(m_dir.File("plain"), {'x'});
    for (const std::string& strPath : {strFolder, strFifo, m_dir.File("plain/gravelmoor.ini")}) {
        EXPECT_EQ(Buffer(strPath), 16) << strPath;
        EXPECT_FALSE(SetBuffer(strPath, "32")) << strPath;
    }
    EXPECT_TRUE(fs::is_directory(strFolder) && fs::is_fifo(strFifo));
}

TEST_F(ProfileFile, AWriteMakesPrivateFoldersAndKeepsTheFileModeAndSymbolicLinks)
{
    ASSERT_TRUE(SetBuffer(m_dir.File("config/gravelmoor/gravelmoor.ini"), "32"));
    EXPECT_EQ(fs::status(m_dir.File("config/gravelmoor")).permissions(), fs::perms::owner_all);
    WriteWholeFile(m_strPath, {'\n'});
    fs::permissions(m_strPath, fs::perms(0644));
    fs::create_symlink("gravelmoor.ini", m_dir.File("link.ini"));
    ASSERT_TRUE(SetBuffer(m_dir.File("link.ini"), "48"));
    EXPECT_TRUE(fs::is_symlink(m_dir.File("link.ini")));
    EXPECT_EQ(Buffer(m_strPath), 48);
    EXPECT_EQ(fs::status(m_strPath).permissions(), fs::perms(0644));
}
