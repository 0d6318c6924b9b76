// Every text the user can see from the engines, in one place. The wording,
// blanks and line breaks are the program's own and must not be "tidied":
// users and documentation quote them.
#pragma once

namespace texts {

// The caption of every message box that has none of its own.
inline constexpr const char* kAppTitle = "Corvane.Split";

// Settings
inline constexpr const char* kCreateFolderSuffix = " does not exist. \n Create it?";
inline constexpr const char* kCannotCreateFolder = "Cannot create directory ";
inline constexpr const char* kCannotCreateCaption = "Error creating directory";
inline constexpr const char* kCreateWorkingCaption = "Create working directory";
inline constexpr const char* kCreateStartupCaption = "Create startup directory";
// %1 is the name of a setting.
inline constexpr const char* kSettingNotSaved =
    "The setting \"%1\" could not be saved in the registry; it keeps its earlier value.";
// %1 is the folder. The settings keep a path of at most 259 characters.
inline constexpr const char* kSettingTooLong =
    "%1\nis too long to be kept in the settings (259 characters at most).\nChoose a folder with a "
    "shorter path.";

// Piece plan
inline constexpr const char* kVerifyValues = "Verify the values entered \nand retry the operation";
inline constexpr const char* kCheckValues = "Check the values entered.";
inline constexpr const char* kWholeNumber = "A size in bytes or a number of files is a whole number.";
// The custom size refuses what it cannot take as it is typed: %1 is the
// user's decimal separator.
inline constexpr const char* kSizeCharacters = "Only digits and one decimal separator (%1) can be typed here.";
inline constexpr const char* kMemoryInsufficient = "Memory insufficient";
inline constexpr const char* kChunkLarger = "Size of chunk should be lesser than source file";
inline constexpr const char* kChunkSame =
    "The chunk size and source file size are same. Splitting is not necessary.";
inline constexpr const char* kChunkZero = "Destination file length should be greater than zero";
inline constexpr const char* kFilesNotExact =
    "The file cannot be cut into exactly that number of pieces of one size.\nChoose another number of "
    "files and retry the operation.";

// The main window
inline constexpr const char* kFileSizeFormat = "File size is %u bytes";
// What a split of the chosen file will make: %1 the count, %2 the size.
inline constexpr const char* kPlanPieces = "\xE2\x86\x92 %1 pieces of %2";
inline constexpr const char* kPlanOnePiece = "\xE2\x86\x92 1 piece of %2";
// %1 the share of the file.
inline constexpr const char* kPlanRecovery = "with recovery data of %1 %";
inline constexpr const char* kPlanNoRecovery = "without recovery data";
inline constexpr const char* kNoStatusBar = "Could not create status bar";
inline constexpr const char* kNoProgressBar = "Progress Bar not created";
inline constexpr const char* kFileMissing = "File does not exist or\ncould not be accessed";
inline constexpr const char* kNotFoundSuffix = " not found.";
inline constexpr const char* kEnterSio = "Enter .sio file";
inline constexpr const char* kEnterSioOrSpl = "Enter .sio or .spl file";
inline constexpr const char* kSingleDrop = "Drag-and-drop a single file/folder";
// A queue of several files: the caption's place (%1 of %2) and the summary's
// line for each file (%1).
inline constexpr const char* kQueuePlace = "%1 of %2: ";
inline constexpr const char* kQueueDone = "%1: done";
inline constexpr const char* kQueueFailed = "%1: failed";
inline constexpr const char* kQueueStopped = "%1: stopped";
inline constexpr const char* kQueueNotStarted = "%1: not started";
inline constexpr const char* kNotAFolder = "Path is not a folder";
// A path longer than the platform takes is refused, never cut.
inline constexpr const char* kPathTooLong =
    "The path is too long.\nChoose a file or folder whose full path is shorter.";

// Checks before an operation starts
inline constexpr const char* kSourceNotDefined = "Source file not defined \n or is not correct";
inline constexpr const char* kDestinationNotDefined = "Destination folder is not defined \n or is wrong";
inline constexpr const char* kNoRoomForSource =
    "Destination path does not have \r\nenough disk space to perform this operation";
inline constexpr const char* kNoRoomCaption = "No disk space.";

// Interrupting an operation
inline constexpr const char* kSuspended = "The current operation is suspended.\n Continue?";
inline constexpr const char* kSuspendedCaption = "User interruption";
inline constexpr const char* kContinueButton = "&Continue";
// The status bar after a run that did not complete; %1 is Split, Rejoin or Verify.
inline constexpr const char* kStatusStopped = "%1 stopped";
// Progress: %1 done of %2 (sizes such as "120.0 MB"); %1 a duration.
inline constexpr const char* kProgressAmount = "%1 of %2";
inline constexpr const char* kTimeLeft = "about %1 left";
inline constexpr const char* kStatusFailed = "%1 failed";
inline constexpr const char* kStopButton = "&Stop";

// Split operation
inline constexpr const char* kNoDiskInfo = "Aborting due to failure in \n obtaining disk info...";
inline constexpr const char* kProgressFormat = "Processed: %d\nRemaining: %d";
inline constexpr const char* kOutOfMemory = "Out of memory.";
// Anything that is neither a file failure nor a refusal.
inline constexpr const char* kUnexpectedFault =
    "An unexpected fault ended the operation.\nWhat it had written was removed; retry the operation.";

// Refusals before anything is written, each naming its reason.
inline constexpr const char* kNameTooLong =
    "The file name is too long for the names of its pieces.\nRename the file to a shorter name "
    "and retry the operation.";
// %1 is the name, %2 what is wrong with it.
inline constexpr const char* kBadName =
    "The name \"%1\" cannot be used on Windows: it %2.\nRename the file and retry the operation.";
inline constexpr const char* kNotAFile =
    "%1 is not an ordinary file (it is a folder, a device or a pipe).\nNothing was written.";
inline constexpr const char* kOutputIsSource =
    "%1 is the file being split; its pieces cannot replace it.\nChoose another destination and "
    "retry the operation.";
inline constexpr const char* kEraseWouldTakeSource =
    "The file to split lies in the folder that \"Erase contents from removable drive before "
    "splitting\" would empty.\nChoose another destination, or turn the setting off.";
inline constexpr const char* kTooManyPieces =
    "This piece size would make more than 1,000,000 pieces.\nChoose a larger piece size and "
    "retry the operation.";
inline constexpr const char* kSourceChanged =
    "%1 changed while it was being split.\nNothing was split; retry the operation.";
// %1 is a piece's path.
inline constexpr const char* kPieceReplaced =
    "%1 was replaced by another program while the split ran.\nNothing was split; retry the operation.";
inline constexpr const char* kPartialChanged =
    "%1 was changed by another program while the rejoin read it.\nNothing was rejoined; retry the operation.";
// %1 is the set: its folder and name.
inline constexpr const char* kSetInUse =
    "%1 is being split or rejoined by another run of Corvane.Split.\nWait until that run has ended and "
    "retry the operation.";
// %1 is a file this run made and could not remove again.
// A quick check's report: %1 recovery files, %2 recovery blocks.
inline constexpr const char* kQuickRecoveryFiles = "recovery files: %1, with %2 recovery blocks (their data not checked)";
inline constexpr const char* kQuickNoDataRead =
    "Quick check: no data was read. The pieces' checksums were not compared; verify reads every piece.";
// %1 a piece another program holds open.
inline constexpr const char* kPieceInUse =
    "%1 is in use by another program and cannot be read, so it was not replaced. Close that program, then repair "
    "the set again.";
// %1 an old recovery file of the set that a protect could not remove.
inline constexpr const char* kStaleRecoveryFile =
    "The new recovery files are in place, but %1 could not be removed: it is left from the old ones. Delete it "
    "yourself.";
// %1 the piece the split had reached, %2 the piece count (both grouped).
inline constexpr const char* kContinueSplit =
    "Continue the split stopped at piece %1 of %2?\nThe pieces already written are checked before they are kept; "
    "Start over writes them all again.";
// A split that stopped once every piece was written (while its recovery data,
// info file or Go.bat were made); %1 is the count.
inline constexpr const char* kContinueSplitDone =
    "Continue the split stopped after all %1 pieces were written?\nThe pieces are checked before they are kept; "
    "Start over writes them all again.";
inline constexpr const char* kContinueLabel = "Continue";
inline constexpr const char* kStartOverLabel = "Start over";
// %1 the state file's path.
inline constexpr const char* kStateIgnored =
    "%1 is the record of another split, or is damaged: this split starts over.";
// %1 how many pieces, %2 the piece count, %3 the source's path.
inline constexpr const char* kSplitKept =
    "The pieces finished (%1 of %2) are kept: split %3 to the same folder again to continue after them.";
// %1 the piece the rejoin had reached, %2 the piece count (both grouped).
inline constexpr const char* kContinueRejoin =
    "Continue the rejoin stopped at piece %1 of %2?\nWhat was rejoined already is checked before it is kept; "
    "Start over rejoins it all again.";
// %1 the state file's path.
inline constexpr const char* kRejoinStateIgnored =
    "%1 is the record of another rejoin, or is damaged: this rejoin starts over.";
// %1 how many pieces, %2 the piece count, %3 the info file's path.
inline constexpr const char* kRejoinKept =
    "The part rejoined (%1 of %2 pieces) is kept: rejoin %3 to the same folder again to continue after it.";
inline constexpr const char* kNotRemoved =
    "%1 could not be removed after the operation ended. Delete it yourself.";
inline constexpr const char* kBatchBesidePieces =
    "Go.bat rejoins the pieces only in their own folder.\nChoose another name in the destination folder.";
inline constexpr const char* kErasing = "Erasing the removable disk...";

// Rejoin
inline constexpr const char* kFilesMissing =
    "Some files are missing... \r\nCopy all the files to a single location and retry the operation.";
// The same, naming the first piece that is missing (%1, its path).
inline constexpr const char* kFilesMissingNamed =
    "Some files are missing... %1 was not found.\r\nCopy all the files to a single location and retry the operation.";
// The same, naming every piece that is missing (%1, their paths).
inline constexpr const char* kFilesMissingNamedMany =
    "Some files are missing... %1 were not found.\r\nCopy all the files to a single location and retry the operation.";
// After the first names of a long list; %1 how many more.
inline constexpr const char* kAndMore = " and %1 more";
inline constexpr const char* kFilesMissingCaption = "Cannot Continue";
// %1 is the source's path.
inline constexpr const char* kEmptySource = "%1 is empty: there is nothing to split.";
inline constexpr const char* kErrorReadingFile = "Error reading file";
inline constexpr const char* kCompleted = "Completed Successfully";
// An info file that cannot be trusted is refused before anything is written;
// %1 is its path.
inline constexpr const char* kBadInfoFile =
    "%1 is not a valid split info file.\nNothing was rejoined.";
// %1 is the piece's full path.
inline constexpr const char* kPieceDamaged =
    "%1 is damaged: its checksum does not match. Nothing was rejoined.";
inline constexpr const char* kPieceWrongLength =
    "%1 is damaged: its length does not match the split. Nothing was rejoined.";
// %1 is a folder given for the later disks of a set.
inline constexpr const char* kNoSuchFolder =
    "%1 is not a folder.\nName the folders that hold the copies of the later disks.";
// %1 is the info file.
inline constexpr const char* kWholeDamaged =
    "The pieces do not make the file that %1 records: its checksum does not match. Nothing was rejoined.";
// A set cut across removable disks is read disk by disk.
inline constexpr const char* kNextDisk = "Insert the next disk and press OK";
inline constexpr const char* kNextDiskCaption = "Insert next disk";
inline constexpr const char* kSameDiskAgain =
    "The disk in the drive is the one just read.\nInsert the next disk and press OK";
// A continued rejoin asks for the disk it goes on from; %1 is a piece's name.
inline constexpr const char* kDiskWithPiece = "Insert the disk that holds %1 and press OK";
inline constexpr const char* kNotTheDiskWithPiece =
    "The disk in the drive does not hold %1.\nInsert the disk that holds it and press OK";
// %1 is the set's name.
inline constexpr const char* kNotTheNextDisk =
    "The disk in the drive holds no further piece of %1.\nInsert the next disk and press OK";
inline constexpr const char* kOutputOnTheDisks =
    "The pieces continue on other disks in the same drive, so the rejoined file cannot be written "
    "there.\nChoose a destination on another drive and retry the operation.";
inline constexpr const char* kOutputIsInput =
    "The rejoined file cannot replace its own info file or one of its pieces.\nChoose another "
    "destination and retry the operation.";

// Recovery files (PAR2)
inline constexpr const char* kRecoveryTooManyPieces =
    "Recovery data can be made for a set of at most 32768 pieces.\nChoose a larger piece size, or no recovery data.";
inline constexpr const char* kRecoveryTooManySlices =
    "Recovery data can be made for at most 32768 slices.\nChoose fewer or larger slices, or a larger piece size.";
inline constexpr const char* kRecoverySliceSize =
    "A slice of the recovery data must be a multiple of 4 bytes and under 1 GB.";
inline constexpr const char* kRecoveryPercentRange = "The recovery data must be from 0 to 100 % of the file.";
// %1 is how many pieces.
inline constexpr const char* kRecoveryCanRebuildOne = "The recovery data can rebuild 1 lost or damaged piece.";
inline constexpr const char* kRecoveryCanRebuild = "The recovery data can rebuild up to %1 lost or damaged pieces.";
// The file-exists question; %1 is the existing file's path.
inline constexpr const char* kFileExistsQuestion =
    "%1 already exists.\nReplace it, save under a new name, or stop with nothing changed.";
inline constexpr const char* kRebuilding = "Rebuilding from the recovery data...";
// The settings pane, beside the percentage: %1 is a size such as "2.9 MB".
inline constexpr const char* kRecoveryRoom = "about %1 here";
inline constexpr const char* kRecoveryNotHere = "too many pieces";
inline constexpr const char* kMakingRecovery = "Making the recovery data...";
// %1 is the list of pieces.
// %1 the rejoined file, %2 the pieces.
inline constexpr const char* kRebuiltPieces =
    "%1 is complete: the recovery data stood in for %2.\nThose pieces were left as they were; Repair rebuilds them "
    "in place.";
inline constexpr const char* kOfferRepair = "Repair the pieces in place now, from the recovery data?";
inline constexpr const char* kRepairButton = "Repair";
inline constexpr const char* kNotNowButton = "Not now";
// %1 the bad pieces' count; the second part says what the recovery data can do.
inline constexpr const char* kBadPiecesCount = "%1 pieces damaged or missing";
inline constexpr const char* kOneBadPiece = "1 piece damaged or missing";
inline constexpr const char* kRecoveryRebuildsThem = "; the recovery data can rebuild them.";
inline constexpr const char* kRecoveryRebuildsIt = "; the recovery data can rebuild it.";
// %1 how many more recovery blocks the rebuild would need.
inline constexpr const char* kRecoveryNeedsMore =
    "; the recovery data cannot rebuild them: it needs %1 more recovery blocks.";
inline constexpr const char* kRecoveryNeedsMoreOne =
    "; the recovery data cannot rebuild it: it needs %1 more recovery blocks.";
inline constexpr const char* kRecoveryNeedsOneMore =
    "; the recovery data cannot rebuild them: it needs 1 more recovery block.";
inline constexpr const char* kRecoveryNeedsOneMoreOne =
    "; the recovery data cannot rebuild it: it needs 1 more recovery block.";
inline constexpr const char* kRecoveryNotCovering =
    "; the recovery files do not cover every damaged piece.";
inline constexpr const char* kRecoveryNotCoveringOne = "; the recovery files do not cover it.";
inline constexpr const char* kRecoveryCannotSolve =
    "; the recovery blocks found cannot rebuild them together.";
inline constexpr const char* kRecoveryCannotSolveOne = "; the recovery blocks found cannot rebuild it.";
// Recovery files that are there but not used, said after "; " or on a line
// of their own.
inline constexpr const char* kRecoveryOtherFile = "recovery files found, but they belong to another file";
inline constexpr const char* kRecoveryDisagrees =
    "recovery files found, but they do not agree with the info file or with the intact pieces";
inline constexpr const char* kRecoveryConflicting =
    "recovery files found, but they contradict themselves (one file, slice or recovery block described twice, "
    "differently)";
inline constexpr const char* kRecoveryIncomplete =
    "recovery files found, but the packets that describe the pieces are missing or damaged";
inline constexpr const char* kRecoveryTooLarge =
    "recovery files found, but the rebuild they would need is larger than this program takes on";
inline constexpr const char* kNoRecoveryFilesMade = "No recovery files were made: the recovery data is 0 %.";
inline constexpr const char* kNoRecoveryData = "; there are no recovery files for this set.";
inline constexpr const char* kNothingToRepair = "Every piece is intact: nothing to repair.";
// %1 is the piece's full path.
inline constexpr const char* kRebuiltNotExact =
    "The piece rebuilt for %1 does not match the set's checksums. Nothing was changed.";
inline constexpr const char* kRebuiltNotAsRecorded =
    "The piece rebuilt for %1 does not match what the recovery files record. Nothing was changed.";
// %1 is the output's path.
inline constexpr const char* kOutputWrongLength =
    "%1 did not come out at the length the info file records. Nothing was changed.";
inline constexpr const char* kRepairFromDisks =
    "A set on removable disks can be repaired only from copies of its disks: copy each disk into a "
    "folder of its own and name those folders for the later disks.";
// %1 is a piece; the recovery data was made from the source, whose piece differs.
inline constexpr const char* kPieceNotAsRecorded =
    "%1 does not match the set's checksums, so no recovery data was made for the set.";

// %1 the lines of kLeftOnDisk.
inline constexpr const char* kStoppedAcrossDisks =
    "The split was stopped before the set was complete. These files of it stay on the disks taken out, and "
    "they cannot be rejoined: delete them, or split the file again.\n%1";
// %1 the disk's number, %2 its files.
inline constexpr const char* kLeftOnDisk = "Disk %1: %2";
inline constexpr const char* kSetNameBesidePieces =
    "The new set goes in the same folder under another name: choose a name there that Windows can store.";

// End-of-split notice ("Read This")
inline constexpr const char* kNoticeRecoveryFiles =
    "Keep the recovery files (*.par2) with the pieces, and send them along: with them, lost or damaged "
    "pieces are rebuilt.";
inline constexpr const char* kNoticeLine1 =
    "Successfully sliced. \n____________________________________________________________";
inline constexpr const char* kNoticeLine2 =
    "1) While transferring the sliced files, also copy the go.bat in that folder if the "
    "destination computer does not have Corvane.Split 6.0 installed in it [.SIO file is not "
    "needed]. You can also rename the \"Go.bat\" to any other name.";
inline constexpr const char* kNoticeLine3 =
    "2) If the destination computer has Corvane.Split 6.0 / 6.5 installed in it, then copy the "
    ".SIO file too to rejoin the sliced files from within the Windows Environment [Do not edit "
    "the .SIO file]. \"Go.bat\" is not required in this case.";

// Standard texts of a file failure; %1 is the file's full path.
inline constexpr const char* kUnnamedFile = "an unnamed file";
inline constexpr const char* kCauseNone = "No error occurred.";
inline constexpr const char* kCauseGeneric = "An unknown error occurred while accessing %1.";
inline constexpr const char* kCauseNotFound = "%1 was not found.";
inline constexpr const char* kFileNotFolder = "%1 is a file, not a folder.";
inline constexpr const char* kIsAFolder = "%1 is a folder, not a file.";
// A verification, repair or protect started from a file that is no set's.
inline constexpr const char* kNotAnInfoFile = "%1 is not a valid split info file.";
inline constexpr const char* kChooseASetFile =
    "Choose the set's info file (.sio), one of its pieces (.spl) or one of its recovery files (.par2).";
inline constexpr const char* kCauseBadPath = "%1 contains an invalid path.";
inline constexpr const char* kCauseTooManyOpen =
    "%1 could not be opened because there are too many open files.";
inline constexpr const char* kCauseAccessDenied = "Access to %1 was denied.";
inline constexpr const char* kCauseInvalidFile = "An invalid file handle was associated with %1.";
inline constexpr const char* kCauseRemoveCurrentDir =
    "%1 could not be removed because it is the current directory.";
inline constexpr const char* kCauseDirFull =
    "%1 could not be created because the directory is full.";
inline constexpr const char* kCauseBadSeek = "Seek failed on %1";
inline constexpr const char* kCauseHardIO = "A hardware I/O error was reported while accessing %1.";
inline constexpr const char* kCauseSharing = "A sharing violation occurred while accessing %1.";
inline constexpr const char* kCauseLock = "A locking violation occurred while accessing %1.";
inline constexpr const char* kCauseDiskFull = "Disk full while accessing %1.";
inline constexpr const char* kCauseEndOfFile = "An attempt was made to access %1 past its end.";

// Drive question after a failed file creation
inline constexpr const char* kDrivePrefix = "Operations on drive ";
inline constexpr const char* kDriveRemovableSuffix =
    " removable media unsuccessful \n You can continue by clicking OK \n after inserting another "
    "disk for a write operation";
inline constexpr const char* kDriveFixedSuffix = " fixed media (or Network drive) unsuccessful\n";
inline constexpr const char* kDriveCaption = "Continue?";

// Removable-media spanning
inline constexpr const char* kDiskNotInserted = "Disk not inserted";
inline constexpr const char* kInsertDisk = "Insert another disk and press OK";
inline constexpr const char* kInsertDiskCaption = "Inset new disk";
// OK was pressed with the full disk still in the drive.
inline constexpr const char* kSameDisk =
    "The disk in the drive is the one that is full.\nInsert another disk and press OK";

}  // namespace texts

namespace texts {

// Messages for system error codes after a failed file creation. Codes not
// listed here deliberately show nothing: the drive question that follows still
// lets the user retry or give up.
struct SystemErrorText {
    unsigned code;
    const char* text;
};
inline constexpr SystemErrorText kSystemErrorTexts[] = {
    {15, "Invalid Drive...\n Retry with another disk"},
    {21, "Device not ready \n Press OK after inserting the disk"},
    {23, "Data Error..."},
    {25, "File Seek error"},
    {26, "Cannot understand disk format"},
    {29, "Cannot write to the disk...\n Retry with another disk"},
    {30, "Error reading file"},
    {31, "The device attached to the system is not functioning"},
    {32, "The file is being used by other process\n Press OK after completing that operation"},
    {33, "The process cannot access the file because \n another process has locked a portion of "
         "the file."},
    {57, "Network adapter error occured"},
    {111, "The file name is too long"},
    {112, "Disk Full"},
    {161, "Invalid path"},
    {1001, "Very deep recursion..\n Overflow of stack occured"},
    {1006, "The file is altered outside this application \n The file is now considered invalid"},
    {1117, "I/O device error occured"},
};

}  // namespace texts
