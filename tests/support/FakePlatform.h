// An in-memory file system with Windows paths and fault injection, for what
// cannot be arranged on a real disk here: removable drives, full disks, disks
// that are taken out, failing reads, and power losses.
//
// It keeps what is on the disk apart from what is only written: a file's
// bytes count as stored once a handle on it was flushed, and the names made,
// renamed and removed on a drive are kept in order in that drive's journal,
// which a folder flush makes stored up to that point. A power loss keeps any
// stored prefix of each drive's journal and only the flushed bytes
// (`PowerLossImages`).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/base/Platform.h"
#include "platform/DesktopFolders.h"

#include "support/Pattern.h"
#include "platform/SystemMd5.h"

namespace fake {

using support::Bytes;

enum class Op { Open, Read, Write, Delete, Rename, Flush, Close };

// A fault: the operation `op` on a path containing `pathPart` fails with
// `code` once `afterBytes` bytes have passed through that file object (for
// reads and writes), `times` times (-1: always). A code of 0 on a write means
// a short write that reports success. A Flush fault matches a file's path,
// or a folder's for a folder flush.
struct Fault {
    Op op;
    std::string pathPart;
    engine::ErrorCode code;
    std::uint64_t afterBytes = 0;
    int times = -1;
};

struct Drive {
    engine::DriveType type = engine::DriveType::Fixed;
    std::uint64_t serial = 1;  // the disk in the drive; a swap gives another
    std::uint64_t freeBytes = 1ull << 40;
    bool notReady = false;
    bool freeSpaceFails = false;
    bool readOnly = false;  // mounted read-only: nothing can be made or removed
};

class FakePlatform : public engine::Platform, public platform::DesktopFolders {
public:
    FakePlatform();
    ~FakePlatform() override;

    // Set-up and inspection. What set-up makes is stored at once.
    Drive& drive(char letter);
    void AddFolder(const std::string& path);
    void AddFile(const std::string& path, Bytes content, bool readOnly = false);
    // Another name for an existing file, as a hard link gives.
    void AddHardLink(const std::string& path, const std::string& existing);
    // Another program's write into an existing file: the same file, new bytes.
    void Rewrite(const std::string& path, Bytes content);
    // A symbolic link at `path` to `target` (which need not exist).
    void AddLink(const std::string& path, const std::string& target);
    // A device or pipe: it exists, but is no ordinary file.
    void AddSpecial(const std::string& path);
    void SetPermissions(const std::string& path, std::uint32_t permissions);
    // Another program writes `bytes` into the file at `offset` in place.
    void Overwrite(const std::string& path, std::uint64_t offset, const Bytes& bytes);
    // Another program renames a folder; what a run holds open follows it.
    void RenameFolder(const std::string& from, const std::string& to);
    bool HasLink(const std::string& path) const;
    bool HasFile(const std::string& path) const;
    const Bytes& Content(const std::string& path) const;
    std::uint32_t PermissionsOf(const std::string& path) const;
    std::vector<std::string> FilesUnder(const std::string& prefix) const;
    // Everything there is: folders, files with their bytes, links with their
    // targets, as one text to compare.
    std::string Tree() const;
    void AddFault(const Fault& fault) { faults_.push_back(fault); }
    void ClearFaults() { faults_.clear(); }
    // Paths that contain this take no fault (what a row does not aim at).
    std::string spared;
    // Called with the path and the bytes of each write that stores any.
    std::function<void(const std::string& path, std::uint32_t bytes)> onWrite;
    // Called with the path and the bytes asked for of each read.
    std::function<void(const std::string& path, std::uint32_t bytes)> onRead;
    // Takes the disk out of a removable drive and puts in an empty one with
    // `freeBytes` of room; returns what the old disk held.
    std::map<std::string, Bytes> SwapDisk(char letter, std::uint64_t freeBytes);
    // Puts a disk of earlier contents back (a new serial unless given).
    void InsertDisk(char letter, const std::map<std::string, Bytes>& files, std::uint64_t freeBytes,
                    std::uint64_t serial = 0);
    int openHandles() const { return openHandles_; }
    // Sizes the directory entry reports instead of the content's, for files
    // too large to hold in memory.
    std::map<std::string, std::uint64_t> reportedSizes;
    // Called with the new name before each rename (the worker's last steps
    // publish a set by renaming).
    std::function<void(const std::string&)> onRename;
    // Called before each status query (a slow disk, a folder of many files).
    std::function<void()> onStatus;

    // Every call that changes a file, a name or what is stored counts as a
    // step; this runs after each, with the count so far.
    std::function<void(int step)> afterStep;
    int steps() const { return steps_; }
    // The disks a power loss now could leave: for each drive, any stored
    // prefix of its journal (all of them when there are few, else the ends
    // and a sample between), with only flushed bytes in each file.
    std::vector<std::unique_ptr<FakePlatform>> PowerLossImages() const;

    // engine::Platform
    char Separator() const override { return '\\'; }
    bool IsRoot(const std::string& path) const override;
    std::string DriveRoot(const std::string& path) const override;
    engine::ErrorCode Open(const std::string& path, const engine::OpenMode& mode,
                           std::unique_ptr<engine::File>& file) override;
    engine::ErrorCode OpenFolder(const std::string& path, std::unique_ptr<engine::Folder>& folder) override;
    std::string StoredName(const std::string& path) override;
    bool CaseSensitiveNames() const override { return false; }
    engine::ErrorCode Delete(const std::string& path) override;
    engine::ErrorCode Rename(const std::string& from, const std::string& to) override;
    engine::ErrorCode ListFolder(const std::string& folder,
                                 std::vector<engine::FolderEntry>& entries) override;
    engine::ErrorCode RemoveFolder(const std::string& path) override;
    engine::ErrorCode Status(const std::string& path, engine::FileStatus& status) override;
    // DesktopFolders
    bool IsFolder(const std::string& path) override;
    engine::ErrorCode CreateFolder(const std::string& path) override;
    engine::ErrorCode SetCurrentFolder(const std::string& path) override;
    std::string currentFolder;
    std::string ResolvedPath(const std::string& path) override;
    engine::DriveType QueryDriveType(const std::string& path) override;
    bool GetFreeSpace(const std::string& path, std::uint64_t& bytes) override;
    bool VolumeIdentity(const std::string& path, std::string& identity) override;
    // Names in the ANSI code page: Latin-1 here, a stand-in for code page 1252.
    bool ToAnsiName(const std::string& name, std::string& ansi) const override;
    bool FromAnsiName(const std::string& ansi, std::string& name) const override;
    bool ToOemText(const std::string& text, std::string& oem) const override;
    bool NameTooLong(const std::string& name) const override { return name.size() > 255; }
    std::unique_ptr<engine::Md5> NewMd5() const override { return platform::NewSystemMd5(); }

    struct Node {
        Bytes data;
        Bytes stored;  // what a power loss keeps: the bytes as last flushed
        std::uint64_t index = 0;
        std::int64_t modified = 0;
        std::int64_t changed = 0;
        std::uint32_t permissions = 0666;
        bool readOnly = false;
        bool special = false;
        int readers = 0;
        int writers = 0;
        int exclusive = 0;  // handles that share nothing
        int denyWrite = 0;  // handles that share only reading
    };
    // The names of a drive: files and links, by upper-case path.
    struct Names {
        std::map<std::string, std::shared_ptr<Node>> files;
        std::map<std::string, std::string> links;  // -> target as given
    };
    // One change of names, as a drive's journal keeps it.
    struct Change {
        enum Kind { Make, Remove, Move } kind;
        std::string key, to;
        std::shared_ptr<Node> node;
    };
    struct FolderRecord;

private:
    friend class FakeFile;
    friend class FakeFolder;
    friend class FakeLock;
    const Fault* MatchFault(Op op, const std::string& path, std::uint64_t passed,
                            std::uint32_t want);
    void Consume(const Fault* fault);
    Drive* DriveOf(const std::string& path);
    std::string Parent(const std::string& path) const;
    // The key a path leads to, its final links followed.
    std::string Follow(const std::string& path) const;
    // How many names the file has (the room goes when the last one does).
    int NameCount(const Node* node) const;
    void Step();
    void Journal(Change change);
    void FlushJournal(char letter);
    std::int64_t Tick() { return ++clock_; }
    static void Apply(Names& names, const Change& change);

    std::map<char, Drive> drives_;
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::map<std::string, std::string> links_;  // upper-case path -> target as given
    std::map<std::string, std::string> storedNames_;  // upper-case path -> as made
    std::uint64_t nextIndex_ = 1;
    std::set<std::string> folders_;
    std::vector<Fault> faults_;
    int openHandles_ = 0;
    int steps_ = 0;
    std::int64_t clock_ = 0;
    // What the disks hold for certain, and the changes since, by drive.
    std::map<char, Names> base_;
    std::map<char, std::vector<Change>> journal_;
    std::map<char, std::size_t> journalStored_;
    std::vector<std::weak_ptr<FolderRecord>> openFolders_;
    std::set<const Node*> held_;  // lock files a live run holds
    // One call at a time, as a file system serves the threads of a run (the
    // recovery data is written beside the copy).
    mutable std::recursive_mutex mutex_;
};

}  // namespace fake
