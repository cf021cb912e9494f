// The list command: the inventory's drives as the command line names them.
#include "cli/cli_commands.h"

#include "cli/cli_drive_selector.h"
#include "cli/cli_output.h"
#include "engine/core/format.h"

namespace {

// The selector takes 8 columns ("cdrom:12"), the text's lock mark the 9th:
// the lines below a drive start where its kind word does.
constexpr const char* INDENT = "         ";

std::string TrimEnd(std::string strText)
{
    while (!strText.empty() && strText.back() == ' ') strText.pop_back();
    return strText;
}

std::string SizeLine(const T_ITEM_DATA& item)
{
    if (item.bNotReady) return item.strPath + ", no medium";
    if (item.bError || item.nSize == 0) return item.strPath + ", size unknown";
    return FormatText("%s, %I64u bytes", item.strPath, item.nSize);
}

std::string VolumeLine(const T_CLI_VOLUME& volume)
{
    std::string strLine = "volume " + volume.strName;
    if (volume.strPath != volume.strName) strLine += " (" + volume.strPath + ")";
    if (volume.arrMountPoints.empty()) return strLine + " not mounted";
    for (size_t i = 0; i < volume.arrMountPoints.size(); ++i) {
        strLine += (i ? ", " : " mounted on ") + volume.arrMountPoints[i];
    }
    return strLine;
}

}  // namespace

std::string DriveListing(CCliInventory& inventory, bool bFloppyLetters)
{
    const std::vector<T_ITEM_DATA>& arrItems = inventory.Items();
    if (arrItems.empty()) {
        return "No drives could be opened; listing them may need administrator (root) rights.\n";
    }
    std::string strText;
    for (const T_ITEM_DATA& item : arrItems) {
        strText += FormatText("%-8s%s\n", DriveSelector(item, bFloppyLetters), TrimEnd(item.strText));
        strText += INDENT + SizeLine(item) + "\n";
        for (const T_CLI_VOLUME& volume : inventory.Volumes(item)) strText += INDENT + VolumeLine(volume) + "\n";
    }
    return strText;
}

int RunListCommand(CCliInventory& inventory, const T_CONSOLE_IO& io)
{
    return PrintWholeText(DriveListing(inventory), io);
}
