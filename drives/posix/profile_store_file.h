#pragma once
// The settings store on POSIX: an INI file of our own with the rules of the
// private-profile functions (see profile_store_document.h). A file larger
// than MAX_PROFILE_FILE_BYTES is read up to its last line within that size
// and never rewritten, so that no tail of it is lost. A file that cannot be
// read (no permission, not a regular file) gives defaults and is never
// replaced. Writing replaces the file at once: a temporary file beside it
// is written, flushed to disk and renamed over it; a symbolic link is
// followed and stays a link. New folders are made private to the user.
#include "drives/profile_store.h"

constexpr size_t MAX_PROFILE_FILE_BYTES = 1024 * 1024;

class CFileProfileStore : public IProfileStore {
public:
    std::string GetString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                          std::string_view strDefault, size_t nMaxChars) override;
    int32_t GetInt(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                   int32_t nDefault) override;
    std::vector<T_PROFILE_KEY> ListKeys(const std::string& strPath) override;
    bool WriteString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                     std::string_view strValue) override;
};
