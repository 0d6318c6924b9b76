#include "FakePlatform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "engine/base/Names.h"

namespace fake {

using engine::ErrorCode;
namespace err = engine::err;

namespace {
// What Windows answers for a handle on a disk that was taken out.
constexpr ErrorCode kFileInvalid = 1006;

char LetterOf(const std::string& key) {
    return key.size() >= 2 && key[1] == ':' ? static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))) : 0;
}
}  // namespace

struct FakePlatform::FolderRecord {
    std::string key;   // upper case, no final separator (except a root)
    char letter = 0;
    std::uint64_t serial = 0;  // the disk it was opened on
};

class FakeFile : public engine::File {
public:
    FakeFile(FakePlatform& fs, std::string path, std::shared_ptr<FakePlatform::Node> node,
             engine::OpenMode mode)
        : fs_(fs), path_(std::move(path)), node_(std::move(node)), mode_(mode) {
        ++fs_.openHandles_;
        if (mode_.share == engine::Share::None) ++node_->exclusive;
        if (mode_.share == engine::Share::Read) ++node_->denyWrite;
        if (mode_.access != engine::Access::Write) ++node_->readers;
        if (mode_.access != engine::Access::Read) ++node_->writers;
    }
    ~FakeFile() override { static_cast<void>(Close()); }

    ErrorCode Read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        got = 0;
        if (!node_) return err::kInvalidHandle;
        if (mode_.access == engine::Access::Write) return err::kAccessDenied;
        if (Drive* d = fs_.DriveOf(path_); d && d->notReady) return err::kNotReady;
        if (fs_.onRead) fs_.onRead(path_, size);
        std::uint64_t available = node_->data.size() > position_ ? node_->data.size() - position_ : 0;
        std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, available));
        if (const Fault* f = fs_.MatchFault(Op::Read, path_, passed_, want)) {
            const std::uint64_t upTo = f->afterBytes > passed_ ? f->afterBytes - passed_ : 0;
            want = static_cast<std::uint32_t>(std::min<std::uint64_t>(want, upTo));
            if (want) std::memcpy(buffer, node_->data.data() + position_, want);
            position_ += want;
            passed_ += want;
            got = want;
            const ErrorCode code = f->code;
            fs_.Consume(f);
            return code;
        }
        if (want) std::memcpy(buffer, node_->data.data() + position_, want);
        position_ += want;
        passed_ += want;
        got = want;
        return err::kNone;
    }

    ErrorCode Write(const void* buffer, std::uint32_t size, std::uint32_t& written) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        written = 0;
        if (!node_) return err::kInvalidHandle;
        if (mode_.access == engine::Access::Read) return err::kAccessDenied;
        Drive* d = fs_.DriveOf(path_);
        if (d && d->notReady) return err::kNotReady;
        std::uint32_t want = size;
        ErrorCode code = err::kNone;
        if (const Fault* f = fs_.MatchFault(Op::Write, path_, passed_, want)) {
            const std::uint64_t upTo = f->afterBytes > passed_ ? f->afterBytes - passed_ : 0;
            want = static_cast<std::uint32_t>(std::min<std::uint64_t>(want, upTo));
            code = f->code;
            fs_.Consume(f);
        }
        // Only growth of the file takes room on the disk.
        const std::uint64_t end = position_ + want;
        const std::uint64_t growth = end > node_->data.size() ? end - node_->data.size() : 0;
        if (d && growth > d->freeBytes) {
            want = static_cast<std::uint32_t>(want - (growth - d->freeBytes));
            if (code == err::kNone) code = err::kDiskFull;
        }
        if (position_ + want > node_->data.size()) {
            const std::uint64_t grown = position_ + want - node_->data.size();
            if (d) d->freeBytes -= grown;
            node_->data.resize(position_ + want);
        }
        if (want) std::memcpy(node_->data.data() + position_, buffer, want);
        position_ += want;
        passed_ += want;
        written = want;
        if (want && fs_.onWrite) fs_.onWrite(path_, want);
        node_->modified = node_->changed = fs_.Tick();
        fs_.Step();
        return code;
    }

    ErrorCode Seek(std::uint64_t position) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (!node_) return err::kInvalidHandle;
        position_ = position;
        return err::kNone;
    }

    ErrorCode Length(std::uint64_t& length) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (!node_) return err::kInvalidHandle;
        length = node_->data.size();
        return err::kNone;
    }

    ErrorCode Flush() override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (!node_) return err::kInvalidHandle;
        if (const Fault* f = fs_.MatchFault(Op::Flush, path_, 0, 0)) {
            const ErrorCode code = f->code;
            fs_.Consume(f);
            return code;
        }
        node_->stored = node_->data;
        fs_.Step();
        return err::kNone;
    }

    ErrorCode Status(engine::FileStatus& status) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (!node_) return err::kInvalidHandle;
        status = engine::FileStatus{};
        status.kind = engine::FileKind::Regular;
        status.size = node_->data.size();
        const Drive* d = fs_.DriveOf(path_);
        status.id = {d ? d->serial : 0, node_->index};
        status.modified = node_->modified;
        status.changed = node_->changed;
        status.permissions = node_->permissions;
        return err::kNone;
    }

    ErrorCode Close() override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (!node_) return err::kNone;
        ErrorCode code = err::kNone;
        // A close that fails (buffered data the disk refused): the handle is
        // spent all the same.
        if (const Fault* f = fs_.MatchFault(Op::Close, path_, 0, 0)) {
            code = f->code;
            fs_.Consume(f);
        }
        --fs_.openHandles_;
        if (mode_.share == engine::Share::None) --node_->exclusive;
        if (mode_.share == engine::Share::Read) --node_->denyWrite;
        if (mode_.access != engine::Access::Write) --node_->readers;
        if (mode_.access != engine::Access::Read) --node_->writers;
        node_.reset();
        return code;
    }

private:
    FakePlatform& fs_;
    std::string path_;
    std::shared_ptr<FakePlatform::Node> node_;
    engine::OpenMode mode_;
    std::uint64_t position_ = 0;
    std::uint64_t passed_ = 0;
};

// Held on the lock file itself, wherever its folder goes meanwhile.
class FakeLock : public engine::Lock {
public:
    FakeLock(FakePlatform& fs, std::shared_ptr<FakePlatform::FolderRecord> folder, std::string name,
             std::shared_ptr<FakePlatform::Node> node)
        : fs_(fs), folder_(std::move(folder)), name_(std::move(name)), node_(std::move(node)) {}
    ~FakeLock() override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        fs_.held_.erase(node_.get());
        Drive* d = fs_.DriveOf(folder_->key);
        // A lock on a disk that was taken out stays on that disk.
        if (!d || d->serial != folder_->serial) return;
        const std::string key = engine::AsciiUpper(folder_->key.back() == '\\' ? folder_->key + name_ : folder_->key + '\\' + name_);
        auto it = fs_.files_.find(key);
        if (it == fs_.files_.end() || it->second != node_) return;
        fs_.files_.erase(it);
        fs_.Journal({FakePlatform::Change::Remove, key, "", nullptr});
    }

private:
    FakePlatform& fs_;
    std::shared_ptr<FakePlatform::FolderRecord> folder_;
    std::string name_;
    std::shared_ptr<FakePlatform::Node> node_;
};

class FakeFolder : public engine::Folder {
public:
    FakeFolder(FakePlatform& fs, std::string path, std::shared_ptr<FakePlatform::FolderRecord> record)
        : fs_(fs), path_(std::move(path)), record_(std::move(record)) {}

    const std::string& Path() const override { return path_; }
    ErrorCode Open(const std::string& name, const engine::OpenMode& mode,
                   std::unique_ptr<engine::File>& file) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        return fs_.Open(Inside(name), mode, file);
    }
    ErrorCode Status(const std::string& name, engine::FileStatus& status) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        return fs_.Status(Inside(name), status);
    }
    ErrorCode Delete(const std::string& name) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        return fs_.Delete(Inside(name));
    }
    ErrorCode Rename(const std::string& from, const std::string& to) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        return fs_.Rename(Inside(from), Inside(to));
    }
    ErrorCode List(std::vector<engine::FolderEntry>& entries) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        return fs_.ListFolder(record_->key, entries);
    }
    ErrorCode Flush() override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        if (const Fault* f = fs_.MatchFault(Op::Flush, record_->key, 0, 0)) {
            const ErrorCode code = f->code;
            fs_.Consume(f);
            return code;
        }
        fs_.FlushJournal(record_->letter);
        fs_.Step();
        return err::kNone;
    }
    ErrorCode Lock(const std::string& name, std::unique_ptr<engine::Lock>& lock) override {
        std::lock_guard<std::recursive_mutex> hold(fs_.mutex_);
        if (const ErrorCode code = Usable()) return code;
        const std::string key = engine::AsciiUpper(Inside(name));
        auto it = fs_.files_.find(key);
        if (it != fs_.files_.end() && fs_.held_.count(it->second.get())) return err::kSharingViolation;
        Drive* d = fs_.DriveOf(key);
        if (d && d->readOnly) return err::kWriteProtect;
        if (it == fs_.files_.end()) {
            // Made as the system makes it: no handle of ours, no fault.
            auto node = std::make_shared<FakePlatform::Node>();
            node->index = fs_.nextIndex_++;
            node->modified = node->changed = fs_.Tick();
            it = fs_.files_.emplace(key, node).first;
            fs_.storedNames_[key] = Inside(name);
            fs_.Journal({FakePlatform::Change::Make, key, "", node});
        }
        fs_.held_.insert(it->second.get());
        lock = std::make_unique<FakeLock>(fs_, record_, name, it->second);
        return err::kNone;
    }

private:
    ErrorCode Usable() const {
        Drive* d = fs_.DriveOf(record_->key);
        if (!d) return err::kPathNotFound;
        if (d->notReady) return err::kNotReady;
        if (d->serial != record_->serial) return kFileInvalid;
        return err::kNone;
    }
    std::string Inside(const std::string& name) const {
        return record_->key.back() == '\\' ? record_->key + name : record_->key + '\\' + name;
    }

    FakePlatform& fs_;
    std::string path_;
    std::shared_ptr<FakePlatform::FolderRecord> record_;
};


FakePlatform::FakePlatform() { drive('C'); }
FakePlatform::~FakePlatform() = default;

Drive& FakePlatform::drive(char letter) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    folders_.insert(std::string(1, letter) + ":\\");
    return drives_[letter];
}

void FakePlatform::AddFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::string at;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            at = path.substr(0, i);
            if (at.size() > 2 && folders_.insert(engine::AsciiUpper(at)).second) storedNames_[engine::AsciiUpper(at)] = at;
        }
    }
}

void FakePlatform::AddFile(const std::string& path, Bytes content, bool readOnly) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddFolder(Parent(path));
    auto node = std::make_shared<Node>();
    node->data = std::move(content);
    node->stored = node->data;
    node->readOnly = readOnly;
    node->index = nextIndex_++;
    node->modified = node->changed = Tick();
    const std::string key = engine::AsciiUpper(path);
    links_.erase(key);
    base_[LetterOf(key)].links.erase(key);
    if (Drive* d = DriveOf(path)) d->freeBytes -= std::min<std::uint64_t>(d->freeBytes, node->data.size());
    files_[key] = node;
    base_[LetterOf(key)].files[key] = node;
    storedNames_[key] = path;
}

void FakePlatform::Rewrite(const std::string& path, Bytes content) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::shared_ptr<Node>& node = files_.at(engine::AsciiUpper(path));
    node->data = std::move(content);
    node->stored = node->data;
    node->modified = node->changed = Tick();
}

void FakePlatform::AddHardLink(const std::string& path, const std::string& existing) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddFolder(Parent(path));
    const std::string key = engine::AsciiUpper(path);
    files_[key] = files_.at(engine::AsciiUpper(existing));
    base_[LetterOf(key)].files[key] = files_[key];
    storedNames_[key] = path;
}

void FakePlatform::AddLink(const std::string& path, const std::string& target) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddFolder(Parent(path));
    const std::string key = engine::AsciiUpper(path);
    files_.erase(key);
    base_[LetterOf(key)].files.erase(key);
    links_[key] = target;
    base_[LetterOf(key)].links[key] = target;
    storedNames_[key] = path;
}

void FakePlatform::AddSpecial(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddFile(path, {});
    files_[engine::AsciiUpper(path)]->special = true;
}

void FakePlatform::SetPermissions(const std::string& path, std::uint32_t permissions) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    files_.at(Follow(path))->permissions = permissions;
}

void FakePlatform::Overwrite(const std::string& path, std::uint64_t offset, const Bytes& bytes) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Node& node = *files_.at(Follow(path));
    if (node.data.size() < offset + bytes.size()) node.data.resize(offset + bytes.size());
    std::copy(bytes.begin(), bytes.end(), node.data.begin() + static_cast<std::ptrdiff_t>(offset));
    node.stored = node.data;
    node.modified = node.changed = Tick();
}

void FakePlatform::RenameFolder(const std::string& from, const std::string& to) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::string source = engine::AsciiUpper(from), target = engine::AsciiUpper(to);
    auto moved = [&](const std::string& key, std::string& renamed) {
        if (key == source || key.compare(0, source.size() + 1, source + "\\") == 0) {
            renamed = target + key.substr(source.size());
            return true;
        }
        return false;
    };
    std::string renamed;
    std::set<std::string> folders;
    for (const std::string& folder : folders_) folders.insert(moved(folder, renamed) ? renamed : folder);
    folders_ = folders;
    auto rekey = [&](auto& map) {
        std::remove_reference_t<decltype(map)> result;
        for (auto& [key, value] : map) result[moved(key, renamed) ? renamed : key] = value;
        map = std::move(result);
    };
    rekey(files_);
    rekey(links_);
    rekey(storedNames_);
    for (auto& [letter, names] : base_) {
        rekey(names.files);
        rekey(names.links);
    }
    for (const auto& weak : openFolders_) {
        if (auto record = weak.lock(); record && moved(record->key, renamed)) record->key = renamed;
    }
}

bool FakePlatform::HasLink(const std::string& path) const { return links_.count(engine::AsciiUpper(path)) != 0; }

std::string FakePlatform::Follow(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::string key = engine::AsciiUpper(path);
    for (int hops = 0; hops < 16; ++hops) {
        auto link = links_.find(key);
        if (link == links_.end()) return key;
        key = engine::AsciiUpper(link->second);
    }
    return std::string();  // round in a circle
}

bool FakePlatform::HasFile(const std::string& path) const { return files_.count(engine::AsciiUpper(path)) != 0; }

const Bytes& FakePlatform::Content(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto it = files_.find(engine::AsciiUpper(path));
    if (it == files_.end()) throw std::out_of_range("no file " + path);
    return it->second->data;
}

std::uint32_t FakePlatform::PermissionsOf(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto it = files_.find(engine::AsciiUpper(path));
    if (it == files_.end()) throw std::out_of_range("no file " + path);
    return it->second->permissions;
}

std::vector<std::string> FakePlatform::FilesUnder(const std::string& prefix) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::vector<std::string> names;
    const std::string key = engine::AsciiUpper(prefix);
    for (const auto& [path, node] : files_) {
        if (path.compare(0, key.size(), key) == 0) names.push_back(path);
    }
    return names;
}

std::string FakePlatform::Tree() const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::string tree;
    for (const std::string& folder : folders_) tree += "folder " + folder + "\n";
    for (const auto& [path, node] : files_) {
        tree += "file " + path + " " + std::to_string(node->data.size()) + " " +
                std::to_string(std::hash<std::string>{}(std::string(node->data.begin(), node->data.end()))) + "\n";
    }
    for (const auto& [path, target] : links_) tree += "link " + path + " -> " + target + "\n";
    return tree;
}

std::map<std::string, Bytes> FakePlatform::SwapDisk(char letter, std::uint64_t freeBytes) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const std::string root = std::string(1, letter) + ":\\";
    std::map<std::string, Bytes> old;
    for (auto it = files_.begin(); it != files_.end();) {
        if (it->first.compare(0, root.size(), root) == 0) {
            old[it->first] = it->second->data;
            it = files_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->compare(0, root.size(), root) == 0 && *it != root) it = folders_.erase(it);
        else ++it;
    }
    for (auto it = links_.begin(); it != links_.end();) {
        if (it->first.compare(0, root.size(), root) == 0) it = links_.erase(it);
        else ++it;
    }
    // The new disk's names are all it holds for certain.
    base_[letter] = Names{};
    journal_[letter].clear();
    journalStored_[letter] = 0;
    drive(letter).freeBytes = freeBytes;
    ++drive(letter).serial;
    return old;
}

void FakePlatform::InsertDisk(char letter, const std::map<std::string, Bytes>& files, std::uint64_t freeBytes,
                              std::uint64_t serial) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    SwapDisk(letter, freeBytes);
    Drive& d = drive(letter);
    if (serial) d.serial = serial;
    for (const auto& [path, content] : files) AddFile(path, content);
    d.freeBytes = freeBytes;
}

const Fault* FakePlatform::MatchFault(Op op, const std::string& path, std::uint64_t passed,
                                      std::uint32_t want) {
    for (const Fault& f : faults_) {
        if (f.op != op || f.times == 0) continue;
        if (engine::AsciiUpper(path).find(engine::AsciiUpper(f.pathPart)) == std::string::npos) continue;
        if (!spared.empty() && engine::AsciiUpper(path).find(engine::AsciiUpper(spared)) != std::string::npos) {
            continue;
        }
        if (op == Op::Read || op == Op::Write) {
            if (f.afterBytes >= passed + std::max<std::uint32_t>(want, 1)) continue;
        }
        return &f;
    }
    return nullptr;
}

void FakePlatform::Consume(const Fault* fault) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (Fault& f : faults_) {
        if (&f == fault && f.times > 0) --f.times;
    }
}

Drive* FakePlatform::DriveOf(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (path.size() < 2 || path[1] != ':') return nullptr;
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    return it == drives_.end() ? nullptr : &it->second;
}

std::string FakePlatform::Parent(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::size_t pos = path.rfind('\\');
    if (pos == std::string::npos) return std::string();
    if (pos == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, pos);
}

int FakePlatform::NameCount(const Node* node) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return static_cast<int>(std::count_if(files_.begin(), files_.end(), [&](const auto& entry) { return entry.second.get() == node; }));
}

void FakePlatform::Step() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    ++steps_;
    if (afterStep) afterStep(steps_);
}

void FakePlatform::Journal(Change change) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    journal_[LetterOf(change.key)].push_back(std::move(change));
    Step();
}

void FakePlatform::FlushJournal(char letter) { journalStored_[letter] = journal_[letter].size(); }

void FakePlatform::Apply(Names& names, const Change& change) {
    switch (change.kind) {
        case Change::Make:
            names.links.erase(change.key);
            names.files[change.key] = change.node;
            break;
        case Change::Remove:
            if (!names.links.erase(change.key)) names.files.erase(change.key);
            break;
        case Change::Move: {
            auto it = names.files.find(change.key);
            if (it == names.files.end()) break;
            auto node = it->second;
            names.files.erase(it);
            names.links.erase(change.to);
            names.files[change.to] = node;
            break;
        }
    }
}

std::vector<std::unique_ptr<FakePlatform>> FakePlatform::PowerLossImages() const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    // For each drive, the journal lengths a power loss may keep.
    std::vector<std::pair<char, std::vector<std::size_t>>> choices;
    for (const auto& [letter, drive] : drives_) {
        auto journal = journal_.find(letter);
        const std::size_t total = journal == journal_.end() ? 0 : journal->second.size();
        auto stored = journalStored_.find(letter);
        const std::size_t from = stored == journalStored_.end() ? 0 : stored->second;
        std::vector<std::size_t> lengths;
        constexpr std::size_t kMostEach = 12;
        const std::size_t span = total - from;
        for (std::size_t k = 0; k <= span; ++k) {
            if (span < kMostEach || k == 0 || k == span || k % (span / kMostEach + 1) == 0) lengths.push_back(from + k);
        }
        choices.push_back({letter, lengths});
    }
    std::vector<std::unique_ptr<FakePlatform>> images;
    std::vector<std::size_t> pick(choices.size(), 0);
    for (;;) {
        auto image = std::make_unique<FakePlatform>();
        image->drives_ = drives_;
        image->folders_ = folders_;
        image->nextIndex_ = nextIndex_;
        image->clock_ = clock_;
        std::map<const Node*, std::shared_ptr<Node>> copies;
        for (std::size_t d = 0; d < choices.size(); ++d) {
            const char letter = choices[d].first;
            Names names;
            if (auto base = base_.find(letter); base != base_.end()) names = base->second;
            if (auto journal = journal_.find(letter); journal != journal_.end()) {
                for (std::size_t k = 0; k < choices[d].second[pick[d]]; ++k) Apply(names, journal->second[k]);
            }
            for (const auto& [key, node] : names.files) {
                auto& copy = copies[node.get()];
                if (!copy) {
                    copy = std::make_shared<Node>(*node);
                    copy->data = node->stored;
                    copy->readers = copy->writers = copy->exclusive = copy->denyWrite = 0;
                }
                image->files_[key] = copy;
                image->base_[letter].files[key] = copy;
            }
            for (const auto& [key, target] : names.links) {
                image->links_[key] = target;
                image->base_[letter].links[key] = target;
            }
        }
        for (const auto& [key, node] : image->files_) {
            auto name = storedNames_.find(key);
            image->storedNames_[key] = name == storedNames_.end() ? key : name->second;
        }
        images.push_back(std::move(image));
        std::size_t d = 0;
        while (d < pick.size() && ++pick[d] == choices[d].second.size()) pick[d++] = 0;
        if (d == pick.size()) break;
    }
    return images;
}

// The shell's root test: "\\", "X:\\", or a share "\\\\server\\share".
bool FakePlatform::IsRoot(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (path == "\\") return true;
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return true;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        return std::count(path.begin() + 2, path.end(), '\\') <= 1;
    }
    return false;
}

std::string FakePlatform::DriveRoot(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    return std::string();
}

ErrorCode FakePlatform::Open(const std::string& path, const engine::OpenMode& mode,
                             std::unique_ptr<engine::File>& file) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (!d) return err::kPathNotFound;
    if (d->notReady) return err::kNotReady;
    if (const Fault* f = MatchFault(Op::Open, path, 0, 0)) {
        const ErrorCode code = f->code;
        Consume(f);
        return code;
    }
    const bool create = mode.creation == engine::Creation::CreateNew;
    const std::string key = create ? engine::AsciiUpper(path) : Follow(path);
    if (key.empty()) return err::kCantResolveFilename;
    if (folders_.count(key)) return err::kAccessDenied;
    if (!folders_.count(engine::AsciiUpper(Parent(key)))) return err::kPathNotFound;
    auto it = files_.find(key);
    if (create) {
        if (it != files_.end() || links_.count(key)) return err::kFileExists;
        if (Drive* target = DriveOf(key); target && target->readOnly) return err::kWriteProtect;
        auto node = std::make_shared<Node>();
        node->index = nextIndex_++;
        node->modified = node->changed = Tick();
        if (mode.permissions) node->permissions = mode.permissions & 0777;
        files_[key] = node;
        storedNames_[key] = path;
        file = std::make_unique<FakeFile>(*this, path, node, mode);
        Journal({Change::Make, key, "", node});
        return err::kNone;
    }
    if (it == files_.end()) return err::kFileNotFound;
    const Node& n = *it->second;
    if (n.special) return err::kInvalidFunction;
    if (n.readOnly && mode.access != engine::Access::Read) return err::kAccessDenied;
    const bool wantsWrite = mode.access != engine::Access::Read;
    if (n.exclusive > 0) return err::kSharingViolation;
    if ((n.readers > 0 || n.writers > 0) && mode.share == engine::Share::None) return err::kSharingViolation;
    if (wantsWrite && n.readers + n.writers > 0 && mode.share != engine::Share::ReadWrite) {
        return err::kSharingViolation;
    }
    // A handle that shares only reading keeps writers out, as on Windows.
    if (wantsWrite && n.denyWrite > 0) return err::kSharingViolation;
    file = std::make_unique<FakeFile>(*this, path, it->second, mode);
    return err::kNone;
}

ErrorCode FakePlatform::OpenFolder(const std::string& path, std::unique_ptr<engine::Folder>& folder) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (!d) return err::kPathNotFound;
    if (d->notReady) return err::kNotReady;
    std::string key = Follow(path);
    if (key.size() > 3 && key.back() == '\\') key.pop_back();
    if (key.empty()) return err::kCantResolveFilename;
    if (!folders_.count(key)) return files_.count(key) ? err::kDirectory : err::kPathNotFound;
    auto record = std::make_shared<FolderRecord>();
    record->key = key;
    record->letter = LetterOf(key);
    record->serial = DriveOf(key) ? DriveOf(key)->serial : 0;
    openFolders_.push_back(record);
    folder = std::make_unique<FakeFolder>(*this, path, record);
    return err::kNone;
}

std::string FakePlatform::StoredName(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto it = storedNames_.find(engine::AsciiUpper(path));
    const std::string& stored = it == storedNames_.end() ? path : it->second;
    const std::size_t cut = stored.rfind('\\');
    return cut == std::string::npos ? stored : stored.substr(cut + 1);
}

ErrorCode FakePlatform::Delete(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (d && d->notReady) return err::kNotReady;
    if (const Fault* f = MatchFault(Op::Delete, path, 0, 0)) {
        const ErrorCode code = f->code;
        Consume(f);
        return code;
    }
    if (d && d->readOnly) return err::kWriteProtect;
    const std::string key = engine::AsciiUpper(path);
    if (auto locked = files_.find(key); locked != files_.end() && held_.count(locked->second.get())) {
        return err::kSharingViolation;
    }
    if (links_.erase(key)) {
        Journal({Change::Remove, key, "", nullptr});
        return err::kNone;
    }
    auto it = files_.find(key);
    if (it == files_.end()) return folders_.count(key) ? err::kAccessDenied : err::kFileNotFound;
    const Node& n = *it->second;
    if (n.readOnly) return err::kAccessDenied;
    if (n.readers + n.writers > 0) return err::kSharingViolation;
    // The room comes back when the last name of the file goes.
    if (d && NameCount(it->second.get()) == 1) d->freeBytes += n.data.size();
    files_.erase(it);
    Journal({Change::Remove, key, "", nullptr});
    return err::kNone;
}

ErrorCode FakePlatform::Rename(const std::string& from, const std::string& to) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (onRename) onRename(to);
    Drive* d = DriveOf(from);
    if (!d || DriveOf(to) != d) return err::kNotSameDevice;
    if (d->notReady) return err::kNotReady;
    if (const Fault* f = MatchFault(Op::Rename, to, 0, 0)) {
        const ErrorCode code = f->code;
        Consume(f);
        return code;
    }
    if (d->readOnly) return err::kWriteProtect;
    const std::string source = engine::AsciiUpper(from), target = engine::AsciiUpper(to);
    auto it = files_.find(source);
    if (it == files_.end()) return err::kFileNotFound;
    if (folders_.count(target)) return err::kAccessDenied;
    if (!folders_.count(engine::AsciiUpper(Parent(to)))) return err::kPathNotFound;
    if (it->second->readers + it->second->writers > 0) return err::kSharingViolation;
    if (auto old = files_.find(target); old != files_.end() && source != target) {
        if (old->second->readOnly) return err::kAccessDenied;
        if (old->second->readers + old->second->writers > 0) return err::kSharingViolation;
        if (NameCount(old->second.get()) == 1) d->freeBytes += old->second->data.size();
    }
    links_.erase(target);
    auto node = it->second;
    files_.erase(it);
    files_[target] = node;
    storedNames_[target] = to;
    node->changed = Tick();
    Journal({Change::Move, source, target, node});
    return err::kNone;
}

ErrorCode FakePlatform::ListFolder(const std::string& folder, std::vector<engine::FolderEntry>& entries) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::string key = engine::AsciiUpper(folder);
    if (!folders_.count(key) && !(key.size() > 3 && key.back() == '\\' && folders_.count(key.substr(0, key.size() - 1)))) {
        return err::kPathNotFound;
    }
    if (key.back() != '\\') key += '\\';
    entries.clear();
    auto direct = [&](const std::string& path) {
        return path.size() > key.size() && path.compare(0, key.size(), key) == 0 &&
               path.find('\\', key.size()) == std::string::npos;
    };
    auto name = [&](const std::string& path) {
        auto stored = storedNames_.find(path);
        const std::string& full = stored == storedNames_.end() ? path : stored->second;
        return full.substr(full.rfind('\\') + 1);
    };
    for (const auto& [path, node] : files_) {
        if (direct(path)) entries.push_back({name(path), false});
    }
    for (const auto& [path, target] : links_) {
        if (direct(path)) entries.push_back({name(path), false});
    }
    for (const std::string& path : folders_) {
        if (direct(path)) entries.push_back({name(path), true});
    }
    return err::kNone;
}

ErrorCode FakePlatform::RemoveFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::string key = engine::AsciiUpper(path);
    if (key.size() > 3 && key.back() == '\\') key.pop_back();
    if (!folders_.count(key)) return err::kPathNotFound;
    const std::string inside = key + "\\";
    for (const auto& [file, node] : files_) {
        if (file.compare(0, inside.size(), inside) == 0) return err::kDirNotEmpty;
    }
    for (const std::string& folder : folders_) {
        if (folder.compare(0, inside.size(), inside) == 0) return err::kDirNotEmpty;
    }
    folders_.erase(key);
    return err::kNone;
}

ErrorCode FakePlatform::CreateFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (!d) return err::kPathNotFound;
    if (d->notReady) return err::kNotReady;
    const std::string key = engine::AsciiUpper(path);
    if (folders_.count(key) || files_.count(key)) return err::kAlreadyExists;
    if (!folders_.count(engine::AsciiUpper(Parent(path)))) return err::kPathNotFound;
    folders_.insert(key);
    return err::kNone;
}

ErrorCode FakePlatform::SetCurrentFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (!folders_.count(engine::AsciiUpper(path))) return err::kFileNotFound;
    currentFolder = path;
    return err::kNone;
}

ErrorCode FakePlatform::Status(const std::string& path, engine::FileStatus& status) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (onStatus) onStatus();
    status = engine::FileStatus{};
    status.link = links_.count(engine::AsciiUpper(path)) != 0;
    const std::string key = Follow(path);
    if (key.empty()) return err::kNone;
    if (folders_.count(key)) {
        status.kind = engine::FileKind::Folder;
        status.id = {DriveOf(key) ? DriveOf(key)->serial : 0, std::hash<std::string>{}(key)};
        return err::kNone;
    }
    auto it = files_.find(key);
    if (it == files_.end()) return err::kNone;
    status.kind = it->second->special ? engine::FileKind::Other : engine::FileKind::Regular;
    status.size = it->second->data.size();
    // By any spelling of the name, as the file itself is found.
    for (const auto& [reportedPath, size] : reportedSizes) {
        if (Follow(reportedPath) == key) status.size = size;
    }
    status.id = {DriveOf(key) ? DriveOf(key)->serial : 0, it->second->index};
    status.modified = it->second->modified;
    status.changed = it->second->changed;
    status.permissions = it->second->permissions;
    return err::kNone;
}

bool FakePlatform::IsFolder(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::string key = Follow(path);
    return !key.empty() && folders_.count(key) != 0;
}

std::string FakePlatform::ResolvedPath(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::string key = Follow(path);
    return key.empty() ? path : key;
}

engine::DriveType FakePlatform::QueryDriveType(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    return d ? d->type : engine::DriveType::NoRootDir;
}

bool FakePlatform::GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (!d || d->notReady || d->freeSpaceFails) return false;
    bytes = d->freeBytes;
    return true;
}

bool FakePlatform::VolumeIdentity(const std::string& path, std::string& identity) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Drive* d = DriveOf(path);
    if (!d || d->notReady) return false;
    identity = std::to_string(d->serial);
    return true;
}

bool FakePlatform::ToAnsiName(const std::string& name, std::string& ansi) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    ansi.clear();
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            ansi += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < name.size()) {
            const auto next = static_cast<unsigned char>(name[++i]);
            ansi += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

bool FakePlatform::FromAnsiName(const std::string& ansi, std::string& name) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    name.clear();
    for (char ch : ansi) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            name += ch;
        } else {
            name += static_cast<char>(0xC0 | (c >> 6));
            name += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

bool FakePlatform::ToOemText(const std::string& text, std::string& oem) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    oem = text;
    return true;
}

}  // namespace fake
