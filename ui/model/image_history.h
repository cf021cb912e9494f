#pragma once
// The image path box's history and the proposals of the image file
// dialog. The history holds at most ten paths, most recent first; a path
// used again moves to the top in its new spelling, as paths compare without
// regard to letter case.
#include <string>
#include <string_view>
#include <vector>

// Puts the path of a job that starts now at the top of the history.
void PutInHistory(std::vector<std::string>& arrHistory, const std::string& strPath);

// What the image file dialog proposes.
struct T_BROWSE_PROPOSAL {
    std::string strFileName;
    std::string strDefaultExt;
    std::string strFilter;
};
// From the box's text and whether compressed images are chosen (and can be
// written): a text without a folder ("\" after its first character) gets
// the name "diskimage" appended. The filter offers the kinds a read makes
// (the chosen one of raw and .gmz first, then .zst), then every kind the
// other jobs read, then all files: the dialog is opened before the job is
// chosen.
T_BROWSE_PROPOSAL BrowseProposal(std::string_view strBoxText, bool bCompressed);
