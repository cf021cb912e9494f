#pragma once
// Zip archives for the zip tests, made in memory by libarchive's writer.
#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <vector>

struct T_ZIP_TEST_FILE {
    std::string strName;  // a folder's ends in '/'
    std::vector<uint8_t> data;
};

// pszOptions: the writer's options ("zip:compression=store"); pszPassphrase
// encrypts every file.
inline std::vector<uint8_t> MakeZip(const std::vector<T_ZIP_TEST_FILE>& files, const char* pszOptions = nullptr,
                                    const char* pszPassphrase = nullptr)
{
    std::vector<uint8_t> out;
    archive* pArchive = archive_write_new();
    archive_write_set_format_zip(pArchive);
    if (pszOptions) archive_write_set_options(pArchive, pszOptions);
    if (pszPassphrase) archive_write_set_passphrase(pArchive, pszPassphrase);
    const auto append = [](archive*, void* pOut, const void* pData, size_t nData) -> la_ssize_t {
        auto* pBytes = static_cast<const uint8_t*>(pData);
        static_cast<std::vector<uint8_t>*>(pOut)->insert(static_cast<std::vector<uint8_t>*>(pOut)->end(), pBytes,
                                                         pBytes + nData);
        return static_cast<la_ssize_t>(nData);
    };
    archive_write_open(pArchive, &out, nullptr, append, nullptr);
    for (const T_ZIP_TEST_FILE& file : files) {
        archive_entry* pEntry = archive_entry_new();
        archive_entry_set_pathname(pEntry, file.strName.c_str());
        archive_entry_set_filetype(pEntry, file.strName.ends_with('/') ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(pEntry, 0644);
        archive_entry_set_size(pEntry, static_cast<la_int64_t>(file.data.size()));
        archive_write_header(pArchive, pEntry);
        archive_write_data(pArchive, file.data.data(), file.data.size());
        archive_entry_free(pEntry);
    }
    archive_write_close(pArchive);
    archive_write_free(pArchive);
    return out;
}
