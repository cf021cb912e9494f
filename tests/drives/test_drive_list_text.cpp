// The drive list's text of one drive: sizes in binary units, the letters,
// the states of a drive that could not be measured, and the whole line.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "drives/drive_list_text.h"

namespace {

TEST(DriveListTextTest, SizesKeepTheNumberAtAThousandOrBelowInThreeCharacterUnits)
{
    const struct {
        uint64_t nSize;
        const char* pText;
    } cases[] = {
        {0, "(  0.00B  ) "},
        {1000, "(1000.00B  ) "},
        {1001, "(  0.98KiB) "},
        {1024000, "(1000.00KiB) "},
        {16008609792ull, "( 14.91GiB) "},
        {250059350016ull, "(232.89GiB) "},
        {4000787030016ull, "(  3.64TiB) "},
        {UINT64_MAX, "( 16.00EiB) "},
    };
    for (const auto& c : cases) EXPECT_EQ(DriveSizeText(c.nSize), c.pText) << c.nSize;
}

TEST(DriveListTextTest, LettersAreListedWithColonsAndVolumeNamesAsTheyAre)
{
    EXPECT_EQ(DriveLettersText({"E", "F"}), "(E:, F:) ");
    EXPECT_EQ(DriveLettersText({"C", "C"}), "(C:, C:) ");
    EXPECT_EQ(DriveLettersText({"sdb1", "sdb2"}), "(sdb1, sdb2) ");
    EXPECT_EQ(DriveLettersText({}), "(--) ");
}

TEST(DriveListTextTest, EachKindOfDriveReadsAsInTheList)
{
    T_DRIVE_TEXT stick;
    stick.nKind = DRIVE_KIND_DISK;
    stick.nNumber = 1;
    stick.arrLetters = {"E", "F"};
    stick.eMeasure = EDriveMeasure::Size;
    stick.nSize = 16008609792ull;
    stick.strVendor = "USB     ";
    stick.strProduct = "Flash Disk      ";
    EXPECT_EQ(DriveListText(stick), " DRIVE#01 (E:, F:) ( 14.91GiB) USB     Flash Disk      ");
    stick.bLocked = true;
    stick.nNumber = 12;
    EXPECT_EQ(DriveListText(stick), "*DRIVE#12 (E:, F:) ( 14.91GiB) USB     Flash Disk      ");

    T_DRIVE_TEXT cdrom;
    cdrom.nKind = DRIVE_KIND_CDROM;
    cdrom.arrLetters = {"D"};
    cdrom.eMeasure = EDriveMeasure::NotReady;
    cdrom.strVendor = "HL-DT-ST";
    cdrom.strProduct = "DVDRAM";
    EXPECT_EQ(DriveListText(cdrom), " CDROM#00 (D:) *NOT READY* HL-DT-STDVDRAM");

    T_DRIVE_TEXT floppy;
    floppy.nKind = DRIVE_KIND_FLOPPY;
    floppy.arrLetters = {"A"};
    floppy.eMeasure = EDriveMeasure::NotReady;
    floppy.strVendor = "never shown";
    EXPECT_EQ(DriveListText(floppy), " FLOPPY#0 (A:) *NOT READY* ");

    // A refused length request, and a drive that could not be identified.
    T_DRIVE_TEXT denied;
    denied.nKind = DRIVE_KIND_DISK;
    denied.nNumber = 3;
    denied.eMeasure = EDriveMeasure::Error;
    denied.nError = 5;
    EXPECT_EQ(DriveListText(denied), " DRIVE#03 (--) ERR00000005 ");
    denied.eMeasure = EDriveMeasure::None;
    denied.arrLetters = {"sdd1"};
    EXPECT_EQ(DriveListText(denied), " DRIVE#03 (sdd1) ");
}

}  // namespace
