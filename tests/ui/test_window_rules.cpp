// The smaller rules of the window: options that hold each other in check,
// when the drive list is rebuilt, the image path history and the file
// dialog's proposal, bar and label colours, and the confirmation lines.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "jobs/dump_task_param.h"
#include "ui/model/bar_colours.h"
#include "ui/model/confirm_lines.h"
#include "ui/model/control_colours.h"
#include "ui/model/control_ids.h"
#include "ui/model/image_history.h"
#include "ui/model/refresh_rules.h"
#include "ui/model/window_options.h"

TEST(OptionRules, EjectAndSharedReadExcludeEachOtherAndTheMd5CheckNeedsVerify)
{
    T_WINDOW_OPTIONS options;
    options.bEject = true;
    options.bShareRead = true;
    OptionClicked(options, IDC_OPT_SHARE_READ);
    EXPECT_TRUE(options.bShareRead && !options.bEject);
    options.bEject = true;
    OptionClicked(options, IDC_OPT_EJECT);
    EXPECT_TRUE(options.bEject && !options.bShareRead);
    options.bEject = false;  // clearing one leaves the other alone
    OptionClicked(options, IDC_OPT_EJECT);
    EXPECT_FALSE(options.bShareRead);

    options.bVerify = options.bMD5Verify = true;
    OptionClicked(options, IDC_OPT_MD5_VERIFY);
    EXPECT_TRUE(options.bMD5Verify);
    options.bVerify = false;
    OptionClicked(options, IDC_OPT_VERIFY);
    EXPECT_FALSE(options.bMD5Verify);

    T_WINDOW_OPTIONS loaded;  // from a settings file that has both
    loaded.bEject = loaded.bShareRead = loaded.bMD5Verify = true;
    NormaliseOptions(loaded);
    EXPECT_TRUE(loaded.bEject && !loaded.bShareRead && !loaded.bMD5Verify);
}

TEST(RefreshRules, ArrivalsRefreshAtOnceOtherEventsAfterTheirPause)
{
    EXPECT_TRUE(OnDeviceChange(0x8000).bRefreshNow);
    EXPECT_TRUE(OnDeviceChange(0x8004).bRefreshNow);
    const T_REFRESH_ACTION other = OnDeviceChange(0x0007);  // DBT_DEVNODES_CHANGED
    EXPECT_TRUE(!other.bRefreshNow && other.bArmTimer && other.nTimerMs == 1000);
    for (uint32_t nEvent : {0x20u, 0x40u, 0x80u, 0x100u, 0x2000u, 0x8000u}) {
        const T_REFRESH_ACTION shell = OnShellChange(nEvent | 0x1);
        EXPECT_TRUE(shell.bArmTimer && shell.nTimerMs == 100 && !shell.bRefreshNow) << nEvent;
    }
    EXPECT_FALSE(OnShellChange(0x7FFFFFFF & ~0xA1E0u).bArmTimer);  // files, folders, ...
}

TEST(RefreshRules, TheSecondTimerAsksOnlyRemovableDrivesWithoutAMedium)
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

TEST(ImageHistory, TenPathsMostRecentFirstAndAReusedPathMovesUpInItsNewSpelling)
{
    std::vector<std::string> history;
    for (int i = 0; i < 10; ++i) PutInHistory(history, "C:\\img\\" + std::to_string(i) + ".gmi");
    EXPECT_EQ(history.front(), "C:\\img\\9.gmi");
    PutInHistory(history, "C:\\IMG\\3.GMI");
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), "C:\\IMG\\3.GMI");
    EXPECT_EQ(history.back(), "C:\\img\\0.gmi");
    PutInHistory(history, "C:\\img\\new.gmi");  // the eleventh: the oldest goes
    EXPECT_EQ(history.size(), 10u);
    EXPECT_EQ(history.back(), "C:\\img\\1.gmi");
    EXPECT_EQ(std::count(history.begin(), history.end(), "C:\\IMG\\3.GMI"), 1);
}

TEST(ImageHistory, TheFileDialogProposesANameAndPutsTheChosenKindFirst)
{
    EXPECT_EQ(BrowseProposal("", false).strFileName, "diskimage");
    EXPECT_EQ(BrowseProposal("\\", false).strFileName, "\\diskimage");
    EXPECT_EQ(BrowseProposal("D:\\images\\", false).strFileName, "D:\\images\\");
    const T_BROWSE_PROPOSAL raw = BrowseProposal("D:\\a.gmi", false);
    EXPECT_EQ(raw.strDefaultExt, "gmi");
    EXPECT_TRUE(raw.strFilter.starts_with("Gravelmoor Image Files(*.gmi; *.dd)|"));
    const T_BROWSE_PROPOSAL gz = BrowseProposal("D:\\a.gmz", true);
    EXPECT_EQ(gz.strDefaultExt, "gmz");
    EXPECT_EQ(gz.strFilter,
              "Compressed Gravelmoor Image Files(*.gmz)|*.gmz|Gravelmoor Image Files(*.gmi; *.dd)|*.gmi; "
              "*.dd|All Files (*.*)|*.*||");
}

TEST(Colours, JobsPaintReadPlacesGreenAndWrittenPlacesRedBrighterOverAPicture)
{
    for (bool bPicture : {true, false}) {
        const uint32_t green = bPicture ? 0x00FF00 : 0x008000, red = bPicture ? 0x0000FF : 0x000080;
        EXPECT_TRUE(JobBarColours(DUMPTASK_READ, bPicture).crRows == green &&
                    JobBarColours(DUMPTASK_READ, bPicture).crImage == red);
        EXPECT_TRUE(JobBarColours(DUMPTASK_WRITE, bPicture).crRows == red &&
                    JobBarColours(DUMPTASK_WRITE, bPicture).crImage == green);
        EXPECT_TRUE(JobBarColours(DUMPTASK_ERASE, bPicture).crRows == red);
        EXPECT_TRUE(JobBarColours(DUMPTASK_VERIFY, bPicture).crRows == green &&
                    JobBarColours(DUMPTASK_VERIFY, bPicture).crImage == green);
    }
    EXPECT_EQ(StartupBarColours(true), (T_BAR_COLOURS{0x00C0FF, 0xFF00FF, 0xFFFF00, 0x00C0FF}));
    EXPECT_EQ(StartupBarColours(false), (T_BAR_COLOURS{0x800000, 0x008080, 0x808000, 0x800000}));
}

TEST(Colours, StatusTextsVerdictAndLabelsOverThePicture)
{
    EXPECT_EQ(RowStatusColours("NOT READY").crText, 0x808080u);
    EXPECT_EQ(RowStatusColours("ERROR").crText, 0x0000FFu);
    EXPECT_EQ(RowStatusColours("ERROR ").crText, 0u);  // exact texts only
    const T_TEXT_COLOURS ng = VerdictColours("NG");
    EXPECT_TRUE(ng.crText == 0xFFFFFF && ng.crBack == 0x0000FF && ng.bRedBrush);
    EXPECT_FALSE(VerdictColours("OK").bRedBrush);
    EXPECT_EQ(VerdictColours("OK").crText, 0u);
    // Brightness 0.257 R + 0.504 G + 0.098 B + 16 against 128.
    EXPECT_EQ(LabelTextColour(0x000000), 0xFFFFFFu);
    EXPECT_EQ(LabelTextColour(0xFFFFFF), 0x000000u);
    EXPECT_EQ(LabelTextColour(0x00DF00), 0x000000u);  // G 223: 112.4 + 16 = 128.4
    EXPECT_EQ(LabelTextColour(0x00DE00), 0xFFFFFFu);  // G 222: 111.9 + 16 = 127.9
    const std::vector<uint32_t> pixels = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    EXPECT_EQ(AverageColour(pixels, 0xF0F0F0), 0x3F3F3Fu);
    EXPECT_EQ(AverageColour({}, 0xF0F0F0), 0xF0F0F0u);
}

TEST(ConfirmLines, OnlyRowsTakingPartAreListedWithoutGaps)
{
    T_ITEM_DATA a, c;
    a.strText = " DRIVE#01 (E:) ( 14.91GiB) USB     Flash Disk      ";
    a.nSize = 16'008'609'792;
    c.strText = "*DRIVE#02 (--) (  1.00KiB) ";
    c.nSize = 1024;
    const auto lines = ConfirmationLines({&a, nullptr, &c, nullptr});
    EXPECT_EQ(lines[0], a.strText + " (16008609792)");
    EXPECT_TRUE(lines[1].empty() && lines[3].empty());
    EXPECT_EQ(DriveLinesText(lines), lines[0] + "\n" + lines[2] + "\n");
    EXPECT_EQ(DriveLinesText({}), "");
}
