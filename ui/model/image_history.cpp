// Image path history and file dialog proposals.
#include "ui/model/image_history.h"

#include <algorithm>

#include "ui/model/window_settings.h"

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SamePath(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace

void PutInHistory(std::vector<std::string>& arrHistory, const std::string& strPath)
{
    const auto it = std::find_if(arrHistory.begin(), arrHistory.end(),
                                 [&](const std::string& strEntry) { return SamePath(strEntry, strPath); });
    if (it != arrHistory.end()) {
        arrHistory.erase(it);
    } else {
        while (arrHistory.size() >= IMAGE_HISTORY_MAX) arrHistory.pop_back();
    }
    arrHistory.insert(arrHistory.begin(), strPath);
}

T_BROWSE_PROPOSAL BrowseProposal(std::string_view strBoxText, bool bCompressed)
{
    T_BROWSE_PROPOSAL proposal;
    proposal.strFileName = strBoxText;
    if (strBoxText.size() < 2 || strBoxText.find('\\', 1) == std::string_view::npos)
        proposal.strFileName += "diskimage";
    const std::string strRaw = "Gravelmoor Image Files(*.gmi; *.dd)|*.gmi; *.dd|";
    const std::string strCompressed = "Compressed Gravelmoor Image Files(*.gmz)|*.gmz|";
    // The kinds a read makes come first (the chosen one leading); then every
    // kind a write, a verify or the checksum reads.
    const std::string strZstd = "Zstandard Image Files(*.zst)|*.zst|";
    const std::string strReadable = "Readable Image Files(*.gmi; *.dd; *.img; *.iso; *.gmz; *.gz; *.xz; *.zst; *.bz2; "
                                    "*.zip)|*.gmi; *.dd; *.img; *.iso; *.gmz; *.gz; *.xz; *.zst; *.zstd; *.bz2; *.zip|";
    const std::string strAll = "All Files (*.*)|*.*||";
    proposal.strDefaultExt = bCompressed ? "gmz" : "gmi";
    const std::string strMade = bCompressed ? strCompressed + strRaw : strRaw + strCompressed;
    proposal.strFilter = strMade + strZstd + strReadable + strAll;
    return proposal;
}
