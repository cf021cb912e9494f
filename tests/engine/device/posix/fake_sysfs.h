#pragma once
// A temporary folder laid out as sysfs lays out block devices (and as udev
// keeps its device data), for the tests of what is read from there: disks
// with or without hardware behind them, partitions, layers over members.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/device/posix/posix_sysfs.h"
#include "tests/support/temp_dir.h"

class CFakeSysfs {
public:
    CFakeSysfs()
    {
        m_roots.sys = m_dir.Path() / "sys";
        m_roots.udev = m_dir.Path() / "udev";
        std::filesystem::create_directories(m_roots.udev);
    }

    const T_SYSFS_ROOTS& Roots() const { return m_roots; }
    std::filesystem::path Folder() const { return m_dir.Path(); }

    // A file under sys/, its folders made as needed.
    void Write(const std::string& strFile, const std::string& strText)
    {
        const std::filesystem::path path = m_roots.sys / strFile;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << strText;
    }
    // udev's data of a block device ("8:32").
    void Udev(const std::string& strDev, const std::string& strText)
    {
        std::ofstream(m_roots.udev / ("b" + strDev)) << strText;
    }
    // A whole device; bHardware gives it a device folder (a drive behind it).
    void Disk(const std::string& strName, const std::string& strDev, int nSectors, bool bRemovable,
              bool bHardware = true)
    {
        Write("block/" + strName + "/dev", strDev + "\n");
        Write("block/" + strName + "/size", std::to_string(nSectors) + "\n");
        Write("block/" + strName + "/removable", bRemovable ? "1\n" : "0\n");
        if (bHardware) std::filesystem::create_directories(m_roots.sys / "block" / strName / "device");
        Link(strDev, strName);
    }
    void Partition(const std::string& strDisk, const std::string& strName, const std::string& strDev, int nNumber,
                   int nStart, int nSectors)
    {
        const std::string strFolder = strDisk + "/" + strName;
        Write("block/" + strFolder + "/dev", strDev + "\n");
        Write("block/" + strFolder + "/partition", std::to_string(nNumber) + "\n");
        Write("block/" + strFolder + "/start", std::to_string(nStart) + "\n");
        Write("block/" + strFolder + "/size", std::to_string(nSectors) + "\n");
        Link(strDev, strFolder);
    }
    // A layer device strName over the members (folders under block/).
    void Layer(const std::string& strName, const std::string& strDev, int nSectors,
               const std::vector<std::string>& arrMembers)
    {
        Disk(strName, strDev, nSectors, false, false);
        std::filesystem::create_directories(m_roots.sys / "block" / strName / "slaves");
        for (const std::string& strMember : arrMembers) {
            const std::string strLeaf = std::filesystem::path(strMember).filename().string();
            std::filesystem::create_directory_symlink("../../" + strMember,
                                                      m_roots.sys / "block" / strName / "slaves" / strLeaf);
        }
    }

private:
    void Link(const std::string& strDev, const std::string& strFolder)
    {
        std::filesystem::create_directories(m_roots.sys / "dev/block");
        std::filesystem::create_directory_symlink("../../block/" + strFolder, m_roots.sys / "dev/block" / strDev);
    }

    CTempDir m_dir;
    T_SYSFS_ROOTS m_roots;
};
