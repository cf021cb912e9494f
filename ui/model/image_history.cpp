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
    const std::string strAll = "All Files (*.*)|*.*||";
    proposal.strDefaultExt = bCompressed ? "gmz" : "gmi";
    proposal.strFilter = bCompressed ? strCompressed + strRaw + strAll : strRaw + strCompressed + strAll;
    return proposal;
}
