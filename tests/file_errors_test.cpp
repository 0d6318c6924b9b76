#include <gtest/gtest.h>

#include "engine/base/FileErrors.h"
#include "engine/base/Texts.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"

using namespace engine;

namespace {

TEST(FileErrors, SystemErrorMessagesOnlyForKnownCodes) {
    const std::pair<ErrorCode, const char*> shown[] = {
        {15, "Invalid Drive...\n Retry with another disk"},
        {21, "Device not ready \n Press OK after inserting the disk"},
        {30, "Error reading file"},
        {112, "Disk Full"},
        {1117, "I/O device error occured"},
    };
    for (const auto& [code, text] : shown) EXPECT_STREQ(SystemErrorText(code), text) << code;
    EXPECT_EQ(std::size(texts::kSystemErrorTexts), 17u);
    for (ErrorCode silent : {0u, 2u, 3u, 5u, 19u, 39u, 1000u}) {
        EXPECT_EQ(SystemErrorText(silent), nullptr) << silent;
    }
}

TEST(FileErrors, DriveQuestionFollowsTheDriveType) {
    EXPECT_EQ(DriveRetryText("A:\\", DriveType::Removable),
              "Operations on drive A:\\ removable media unsuccessful \n You can continue by clicking "
              "OK \n after inserting another disk for a write operation");
    for (DriveType other : {DriveType::Fixed, DriveType::Remote, DriveType::Unknown}) {
        EXPECT_EQ(DriveRetryText("E:\\parts", other),
                  "Operations on drive E:\\parts fixed media (or Network drive) unsuccessful\n");
    }
}

TEST(FileErrors, CausesAndTheirTexts) {
    const struct {
        ErrorCode code;
        const char* text;
    } cases[] = {
        {0, "No error occurred."},
        {2, "P was not found."},
        {3, "P contains an invalid path."},
        {4, "P could not be opened because there are too many open files."},
        {5, "Access to P was denied."},
        {19, "Access to P was denied."},
        {6, "An invalid file handle was associated with P."},
        {16, "P could not be removed because it is the current directory."},
        {82, "P could not be created because the directory is full."},
        {25, "Seek failed on P"},
        {21, "A hardware I/O error was reported while accessing P."},
        {30, "A hardware I/O error was reported while accessing P."},
        {32, "A sharing violation occurred while accessing P."},
        {33, "A locking violation occurred while accessing P."},
        {39, "Disk full while accessing P."},
        {112, "Disk full while accessing P."},
        {38, "An attempt was made to access P past its end."},
        {1234, "An unknown error occurred while accessing P."},
    };
    for (const auto& c : cases) EXPECT_EQ(StandardFileText(CauseFromCode(c.code), "P"), c.text) << c.code;
    EXPECT_EQ(StandardFileText(FileCause::DiskFull, ""), "Disk full while accessing an unnamed file.");
}

}  // namespace
