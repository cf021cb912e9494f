// The smaller rules of the window: which drives are asked for a new medium,
// when the image is looked at again, and the file dialog's proposal.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "jobs/job_runner_param.h"
#include "ui/model/image_history.h"
#include "ui/model/refresh_rules.h"

TEST(RefreshRules, TheSecondTimerAsksOnlyRemovableDrivesWithoutAMediumAndAsksThemAll)
{
    std::vector<T_ITEM_DATA> items(5);
    items[0].nKind = DRIVE_KIND_DISK;  // fixed, no medium: not asked
    items[0].bNotReady = true;
    items[1].nKind = DRIVE_KIND_DISK;  // card reader without a card
    items[1].bNotReady = items[1].bRemovable = true;
    items[2].nKind = DRIVE_KIND_FLOPPY;  // floppies are never polled
    items[2].bNotReady = items[2].bRemovable = true;
    items[3].nKind = DRIVE_KIND_CDROM;  // a disc is in
    items[3].bRemovable = true;
    items[4].nKind = DRIVE_KIND_CDROM;  // empty tray
    items[4].bNotReady = items[4].bRemovable = true;
    EXPECT_EQ(MediaPollEntries(items), (std::vector<size_t>{1, 4}));
    std::vector<uint32_t> asked;
    auto present = [&](bool bAnswer) {
        return [&asked, bAnswer](const T_ITEM_DATA& item) {
            asked.push_back(item.nKind);
            return bAnswer && item.nKind == DRIVE_KIND_DISK;
        };
    };
    EXPECT_TRUE(MediaArrived(items, present(true)));
    EXPECT_EQ(asked, (std::vector<uint32_t>{DRIVE_KIND_DISK, DRIVE_KIND_CDROM}));
    EXPECT_FALSE(MediaArrived(items, present(false)));
    EXPECT_TRUE(RecheckImageAfterJob(DUMPTASK_READ, false));
    EXPECT_FALSE(RecheckImageAfterJob(DUMPTASK_WRITE, false));
    EXPECT_TRUE(RecheckImageAfterJob(DUMPTASK_VERIFY, true));
}

// The kinds a read makes come first, the chosen one of raw and .gmz
// leading, then .zst; then every kind the other jobs read; then all files.
TEST(ImageHistory, TheFileDialogProposesANameOnlyWithoutAFolderAndOffersTheKindsTheJobsUse)
{
    EXPECT_EQ(BrowseProposal("", false).strFileName, "diskimage");
    EXPECT_EQ(BrowseProposal("\\", false).strFileName, "\\diskimage");
    EXPECT_EQ(BrowseProposal("D:\\images\\", false).strFileName, "D:\\images\\");
    const std::string strRaw = "Gravelmoor Image Files(*.gmi; *.dd)|*.gmi; *.dd|";
    const std::string strGzip = "Compressed Gravelmoor Image Files(*.gmz)|*.gmz|";
    const std::string strRest = "Zstandard Image Files(*.zst)|*.zst|Readable Image Files(*.gmi; *.dd; *.img; "
                                "*.iso; *.gmz; *.gz; *.xz; *.zst; *.bz2; *.zip)|*.gmi; *.dd; *.img; *.iso; *.gmz; "
                                "*.gz; *.xz; *.zst; *.zstd; *.bz2; *.zip|All Files (*.*)|*.*||";
    const struct {
        bool bCompressed;
        const char* pszExt;
        std::string strFilter;
    } cases[] = {{false, "gmi", strRaw + strGzip + strRest}, {true, "gmz", strGzip + strRaw + strRest}};
    for (const auto& c : cases) {
        const T_BROWSE_PROPOSAL proposal = BrowseProposal("D:\\a.gmi", c.bCompressed);
        EXPECT_EQ(proposal.strDefaultExt, c.pszExt);
        EXPECT_EQ(proposal.strFilter, c.strFilter);
    }
}
