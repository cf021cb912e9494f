#pragma once
// A loop device for the device and inventory tests over a temporary file:
// 16 MiB with a DOS partition table that sfdisk writes (one partition,
// 1 MiB to 15 MiB), attached with partition scanning, or a file attached as
// it is.
// Everything it mounted is unmounted, and the device is detached, when it
// goes out of scope, whatever the test's outcome.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace loop_test {

inline constexpr uint64_t MIB = 0x100000;
inline constexpr uint64_t DISK_SIZE = 16 * MIB;
inline constexpr uint64_t PART_START = 1 * MIB;
inline constexpr uint64_t PART_SIZE = 14 * MIB;

// Runs a shell command quietly; true when it exits 0.
inline bool RunQuietly(const std::string& strCommand)
{
    return std::system((strCommand + " >/dev/null 2>&1").c_str()) == 0;
}

// The first line a command prints, without its line feed.
inline std::string FirstLineOf(const std::string& strCommand)
{
    std::string strLine;
    if (FILE* pPipe = ::popen((strCommand + " 2>/dev/null").c_str(), "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, pPipe)) strLine.assign(line, std::strcspn(line, "\n"));
        ::pclose(pPipe);
    }
    return strLine;
}

inline bool IsBlockDevice(const std::string& strPath)
{
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

class CLoopDisk {
public:
    CLoopDisk() = default;
    CLoopDisk(const CLoopDisk&) = delete;
    CLoopDisk& operator=(const CLoopDisk&) = delete;
    ~CLoopDisk()
    {
        for (auto it = m_arrMounts.rbegin(); it != m_arrMounts.rend(); ++it) RunQuietly("umount '" + *it + "'");
        if (!m_strDisk.empty()) RunQuietly("losetup -d " + m_strDisk);
    }

    // Partitions strBacking (which must hold DISK_SIZE bytes) and attaches
    // it; unpartitioned, attaches it as it is (read-only when asked). False
    // with the reason when this machine cannot (not root, no sfdisk or loop
    // support, the partition never shows).
    bool Attach(const std::string& strBacking, std::string& strWhy, bool bPartitioned = true, bool bReadOnly = false)
    {
        if (bPartitioned && !RunQuietly("echo 'start=" + std::to_string(PART_START / 512) + ", size=" +
                                        std::to_string(PART_SIZE / 512) + ", type=83' | sfdisk -q '" + strBacking + "'")) {
            strWhy = "sfdisk could not write the partition table";
            return false;
        }
        m_strDisk = FirstLineOf(std::string("losetup -f --show ") + (bPartitioned ? "-P " : "") +
                                (bReadOnly ? "-r " : "") + "'" + strBacking + "'");
        if (m_strDisk.rfind("/dev/loop", 0) != 0) {
            m_strDisk.clear();
            strWhy = "no loop device can be attached here (not root, no loop support)";
            return false;
        }
        if (!bPartitioned) return true;
        m_strPartition = m_strDisk + "p1";
        // A fresh partition table may need telling the kernel again.
        for (int i = 0; i < 100 && !IsBlockDevice(m_strPartition); ++i) {
            if (i % 20 == 0) RunQuietly("partx -a " + m_strDisk);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!IsBlockDevice(m_strPartition)) strWhy = "the loop device's partition did not show";
        return IsBlockDevice(m_strPartition);
    }

    // Mounts the partition on strDir, remembered for unmounting.
    bool Mount(const std::string& strDir)
    {
        ::mkdir(strDir.c_str(), 0700);
        if (!RunQuietly("mount -t ext4 " + m_strPartition + " '" + strDir + "'")) return false;
        m_arrMounts.push_back(strDir);
        return true;
    }

    const std::string& Disk() const { return m_strDisk; }
    const std::string& Partition() const { return m_strPartition; }

private:
    std::string m_strDisk;
    std::string m_strPartition;
    std::vector<std::string> m_arrMounts;
};

}  // namespace loop_test
