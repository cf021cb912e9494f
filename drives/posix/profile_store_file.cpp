// The settings file on POSIX: where it lives, reading it with limits, and
// replacing it in one step.
#include "drives/posix/profile_store_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "drives/profile_store_document.h"
#include "drives/settings_path.h"

namespace {

std::string HomeFromPasswordDatabase()
{
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* pResult = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &pResult) != 0 || !pResult || !pResult->pw_dir)
        return std::string();
    return pResult->pw_dir;
}

// Links followed before a link loop is assumed, as the kernel does.
constexpr int MAX_LINKS = 40;
constexpr mode_t NEW_FILE_MODE = 0600;
constexpr mode_t NEW_FOLDER_MODE = 0700;

enum class EFileState { Read, Missing, Unreadable, TooLarge };

struct T_FILE_TEXT {
    EFileState eState = EFileState::Missing;
    std::string strText;
    mode_t nMode = NEW_FILE_MODE;
};

// Reads at most one byte more than the limit, to know that it is exceeded.
bool ReadAtMost(int fd, std::string& strText, size_t nLimit)
{
    char buffer[65536];
    while (strText.size() <= nLimit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        strText.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

T_FILE_TEXT ReadProfileFile(const std::string& strPath)
{
    T_FILE_TEXT file;
    // Non-blocking, so that a FIFO in the file's place cannot hold us up.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        file.eState = errno == ENOENT ? EFileState::Missing : EFileState::Unreadable;
        return file;
    }
    struct stat st {};
    const bool bRegular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const bool bRead = bRegular && ReadAtMost(fd, file.strText, MAX_PROFILE_FILE_BYTES);
    ::close(fd);
    file.eState = bRead ? EFileState::Read : EFileState::Unreadable;
    file.nMode = st.st_mode & 07777;
    if (bRead && file.strText.size() > MAX_PROFILE_FILE_BYTES) {
        file.eState = EFileState::TooLarge;
        file.strText.resize(MAX_PROFILE_FILE_BYTES);
        const size_t nLastBreak = file.strText.find_last_of("\r\n");
        file.strText.resize(nLastBreak == std::string::npos ? 0 : nLastBreak + 1);
    }
    return file;
}

// The file that a chain of symbolic links ends at, existing or not.
std::filesystem::path FollowLinks(std::filesystem::path path)
{
    for (int i = 0; i < MAX_LINKS; ++i) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) break;
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

bool MakeFolders(const std::filesystem::path& folder)
{
    std::filesystem::path partial;
    for (const std::filesystem::path& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), NEW_FOLDER_MODE) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool WriteAll(int fd, std::string_view strText)
{
    while (!strText.empty()) {
        const ssize_t n = ::write(fd, strText.data(), strText.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        strText.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Writes the text to a temporary file in the same folder and renames it
// over the target, so that the target is always either old or new.
bool ReplaceFile(const std::filesystem::path& target, std::string_view strText, mode_t nMode)
{
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    // Appended piece by piece: "." + name makes GCC 12 at -O3 warn of an
    // overlapping copy that cannot happen.
    std::string strName = ".";
    strName.append(target.filename().string()).append(".XXXXXX");
    std::string strTemp = (folder / strName).string();
    const int fd = ::mkostemp(strTemp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool bOk = ::fchmod(fd, nMode) == 0 && WriteAll(fd, strText) && ::fsync(fd) == 0;
    bOk = ::close(fd) == 0 && bOk;
    bOk = bOk && ::rename(strTemp.c_str(), target.c_str()) == 0;
    if (!bOk) {
        ::unlink(strTemp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int nFolder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nFolder >= 0) {
        ::fsync(nFolder);
        ::close(nFolder);
    }
    return true;
}

}  // namespace

std::string CFileProfileStore::GetString(const std::string& strPath, std::string_view strSection,
                                         std::string_view strKey, std::string_view strDefault, size_t nMaxChars)
{
    std::optional<std::string> value;
    if (!strPath.empty()) {
        const T_FILE_TEXT file = ReadProfileFile(strPath);
        if (file.eState == EFileState::Read || file.eState == EFileState::TooLarge)
            value = CProfileDocument(file.strText).Find(strSection, strKey);
    }
    return ProfileValueAsRead(value ? *value : strDefault, nMaxChars);
}

int32_t CFileProfileStore::GetInt(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                                  int32_t nDefault)
{
    const std::string strValue = GetString(strPath, strSection, strKey, "", 255);
    return strValue.empty() ? nDefault : ParseProfileInt(strValue);
}

std::vector<T_PROFILE_KEY> CFileProfileStore::ListKeys(const std::string& strPath)
{
    if (strPath.empty()) return {};
    const T_FILE_TEXT file = ReadProfileFile(strPath);
    if (file.eState != EFileState::Read && file.eState != EFileState::TooLarge) return {};
    return CProfileDocument(file.strText).Keys();
}

bool CFileProfileStore::WriteString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                                    std::string_view strValue)
{
    if (strPath.empty()) return false;
    const std::filesystem::path target = FollowLinks(strPath);
    const T_FILE_TEXT file = ReadProfileFile(target.string());
    if (file.eState == EFileState::Unreadable || file.eState == EFileState::TooLarge) return false;
    CProfileDocument document(file.strText);
    if (!document.Set(strSection, strKey, strValue)) return false;
    const std::string strText = document.Text();
    if (file.eState == EFileState::Read && strText == file.strText) return true;
    if (!target.parent_path().empty() && !MakeFolders(target.parent_path())) return false;
    return ReplaceFile(target, strText, file.nMode);
}

std::unique_ptr<IProfileStore> CreateProfileStore()
{
    return std::make_unique<CFileProfileStore>();
}

std::string GetSettingsFilePath()
{
    const char* pXdg = std::getenv("XDG_CONFIG_HOME");
    const char* pHome = std::getenv("HOME");
    const std::string strHome = pHome && *pHome ? std::string(pHome) : HomeFromPasswordDatabase();
    return SettingsPathInConfigHome(pXdg ? pXdg : "", strHome);
}
