#include "FakePlatform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "engine/Names.h"

namespace fake {

using engine::ErrorCode;
namespace err = engine::err;

class FakeFile : public engine::File {
public:
    FakeFile(FakePlatform& fs, std::string path, std::shared_ptr<FakePlatform::Node> node,
             engine::OpenMode mode)
        : fs_(fs), path_(std::move(path)), node_(std::move(node)), mode_(mode) {
        ++fs_.openHandles_;
        if (mode_.share == engine::Share::None) ++node_->exclusive;
        if (mode_.access != engine::Access::Write) ++node_->readers;
        if (mode_.access != engine::Access::Read) ++node_->writers;
    }
    ~FakeFile() override { Close(); }

    ErrorCode Read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        if (!node_) return err::kInvalidHandle;
        if (mode_.access == engine::Access::Write) return err::kAccessDenied;
        if (Drive* d = fs_.DriveOf(path_); d && d->notReady) return err::kNotReady;
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
        return code;
    }

    ErrorCode Seek(std::uint64_t position) override {
        if (!node_) return err::kInvalidHandle;
        position_ = position;
        return err::kNone;
    }

    ErrorCode Length(std::uint64_t& length) override {
        if (!node_) return err::kInvalidHandle;
        length = node_->data.size();
        return err::kNone;
    }

    ErrorCode Close() override {
        if (!node_) return err::kNone;
        --fs_.openHandles_;
        if (mode_.share == engine::Share::None) --node_->exclusive;
        if (mode_.access != engine::Access::Write) --node_->readers;
        if (mode_.access != engine::Access::Read) --node_->writers;
        node_.reset();
        return err::kNone;
    }

private:
    FakePlatform& fs_;
    std::string path_;
    std::shared_ptr<FakePlatform::Node> node_;
    engine::OpenMode mode_;
    std::uint64_t position_ = 0;
    std::uint64_t passed_ = 0;
};


FakePlatform::FakePlatform() { drive('C'); }

Drive& FakePlatform::drive(char letter) {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    folders_.insert(std::string(1, letter) + ":\\");
    return drives_[letter];
}

void FakePlatform::AddFolder(const std::string& path) {
    std::string at;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            at = path.substr(0, i);
            if (at.size() > 2) folders_.insert(engine::AsciiUpper(at));
        }
    }
}

void FakePlatform::AddFile(const std::string& path, Bytes content, bool readOnly) {
    AddFolder(Parent(path));
    auto node = std::make_shared<Node>();
    node->data = std::move(content);
    node->readOnly = readOnly;
    node->index = nextIndex_++;
    links_.erase(engine::AsciiUpper(path));
    if (Drive* d = DriveOf(path)) d->freeBytes -= std::min<std::uint64_t>(d->freeBytes, node->data.size());
    files_[engine::AsciiUpper(path)] = node;
}

void FakePlatform::AddHardLink(const std::string& path, const std::string& existing) {
    AddFolder(Parent(path));
    files_[engine::AsciiUpper(path)] = files_.at(engine::AsciiUpper(existing));
}

void FakePlatform::AddLink(const std::string& path, const std::string& target) {
    AddFolder(Parent(path));
    files_.erase(engine::AsciiUpper(path));
    links_[engine::AsciiUpper(path)] = target;
}

void FakePlatform::AddSpecial(const std::string& path) {
    AddFile(path, {});
    files_[engine::AsciiUpper(path)]->special = true;
}

bool FakePlatform::HasLink(const std::string& path) const { return links_.count(engine::AsciiUpper(path)) != 0; }

std::string FakePlatform::Follow(const std::string& path) const {
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
    auto it = files_.find(engine::AsciiUpper(path));
    if (it == files_.end()) throw std::out_of_range("no file " + path);
    return it->second->data;
}

std::vector<std::string> FakePlatform::FilesUnder(const std::string& prefix) const {
    std::vector<std::string> names;
    const std::string key = engine::AsciiUpper(prefix);
    for (const auto& [path, node] : files_) {
        if (path.compare(0, key.size(), key) == 0) names.push_back(path);
    }
    return names;
}

std::map<std::string, Bytes> FakePlatform::SwapDisk(char letter, std::uint64_t freeBytes) {
    const std::string root = engine::AsciiUpper(std::string(1, letter) + ":\\");
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
    drive(letter).freeBytes = freeBytes;
    ++drive(letter).serial;
    return old;
}

const Fault* FakePlatform::MatchFault(Op op, const std::string& path, std::uint64_t passed,
                                      std::uint32_t want) {
    for (const Fault& f : faults_) {
        if (f.op != op || f.times == 0) continue;
        if (engine::AsciiUpper(path).find(engine::AsciiUpper(f.pathPart)) == std::string::npos) continue;
        if (op == Op::Read || op == Op::Write) {
            if (f.afterBytes >= passed + std::max<std::uint32_t>(want, 1)) continue;
        }
        return &f;
    }
    return nullptr;
}

void FakePlatform::Consume(const Fault* fault) {
    for (Fault& f : faults_) {
        if (&f == fault && f.times > 0) --f.times;
    }
}

Drive* FakePlatform::DriveOf(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return nullptr;
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    return it == drives_.end() ? nullptr : &it->second;
}

std::string FakePlatform::Parent(const std::string& path) const {
    const std::size_t pos = path.rfind('\\');
    if (pos == std::string::npos) return std::string();
    if (pos == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, pos);
}

// The shell's root test: "\\", "X:\\", or a share "\\\\server\\share".
bool FakePlatform::IsRoot(const std::string& path) const {
    if (path == "\\") return true;
    if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return true;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        return std::count(path.begin() + 2, path.end(), '\\') <= 1;
    }
    return false;
}

std::string FakePlatform::DriveRoot(const std::string& path) const {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    return std::string();
}

ErrorCode FakePlatform::Open(const std::string& path, const engine::OpenMode& mode,
                             std::unique_ptr<engine::File>& file) {
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
        files_[key] = node;
        file = std::make_unique<FakeFile>(*this, path, node, mode);
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
    file = std::make_unique<FakeFile>(*this, path, it->second, mode);
    return err::kNone;
}

ErrorCode FakePlatform::Delete(const std::string& path) {
    Drive* d = DriveOf(path);
    if (d && d->notReady) return err::kNotReady;
    if (const Fault* f = MatchFault(Op::Delete, path, 0, 0)) {
        const ErrorCode code = f->code;
        Consume(f);
        return code;
    }
    if (d && d->readOnly) return err::kWriteProtect;
    if (links_.erase(engine::AsciiUpper(path))) return err::kNone;
    auto it = files_.find(engine::AsciiUpper(path));
    if (it == files_.end()) return folders_.count(engine::AsciiUpper(path)) ? err::kAccessDenied : err::kFileNotFound;
    const Node& n = *it->second;
    if (n.readOnly) return err::kAccessDenied;
    if (n.readers + n.writers > 0) return err::kSharingViolation;
    // The room comes back when the last name of the file goes.
    if (d && it->second.use_count() == 1) d->freeBytes += n.data.size();
    files_.erase(it);
    return err::kNone;
}

ErrorCode FakePlatform::Rename(const std::string& from, const std::string& to) {
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
        if (old->second.use_count() == 1) d->freeBytes += old->second->data.size();
    }
    links_.erase(target);
    auto node = it->second;
    files_.erase(it);
    files_[target] = node;
    return err::kNone;
}

ErrorCode FakePlatform::ListFolder(const std::string& folder, std::vector<engine::FolderEntry>& entries) {
    std::string key = engine::AsciiUpper(folder);
    if (!folders_.count(key) && !(key.size() > 3 && key.back() == '\\' && folders_.count(key.substr(0, key.size() - 1)))) {
        return err::kPathNotFound;
    }
    if (key.back() != '\\') key += '\\';
    entries = {{".", true}, {"..", true}};
    auto direct = [&](const std::string& path) {
        return path.size() > key.size() && path.compare(0, key.size(), key) == 0 &&
               path.find('\\', key.size()) == std::string::npos;
    };
    for (const auto& [path, node] : files_) {
        if (direct(path)) entries.push_back({path.substr(key.size()), false});
    }
    for (const std::string& path : folders_) {
        if (direct(path)) entries.push_back({path.substr(key.size()), true});
    }
    return err::kNone;
}

ErrorCode FakePlatform::RemoveFolder(const std::string& path) {
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
    if (!folders_.count(engine::AsciiUpper(path))) return err::kFileNotFound;
    currentFolder = path;
    return err::kNone;
}

ErrorCode FakePlatform::Status(const std::string& path, engine::FileStatus& status) {
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
    if (auto reported = reportedSizes.find(path); reported != reportedSizes.end()) status.size = reported->second;
    status.id = {DriveOf(key) ? DriveOf(key)->serial : 0, it->second->index};
    return err::kNone;
}

bool FakePlatform::Exists(const std::string& path) {
    const std::string key = engine::AsciiUpper(path);
    return files_.count(key) || folders_.count(key) || links_.count(key);
}

bool FakePlatform::IsFolder(const std::string& path) {
    const std::string key = Follow(path);
    return !key.empty() && folders_.count(key) != 0;
}

ErrorCode FakePlatform::FileSize(const std::string& path, std::uint64_t& size) {
    if (auto reported = reportedSizes.find(path); reported != reportedSizes.end()) {
        size = reported->second;
        return err::kNone;
    }
    auto it = files_.find(Follow(path));
    if (it == files_.end()) return err::kFileNotFound;
    size = it->second->data.size();
    return err::kNone;
}

std::string FakePlatform::ResolvedPath(const std::string& path) {
    const std::string key = Follow(path);
    return key.empty() ? path : key;
}

engine::DriveType FakePlatform::QueryDriveType(const std::string& path) {
    Drive* d = DriveOf(path);
    return d ? d->type : engine::DriveType::NoRootDir;
}

bool FakePlatform::GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
    Drive* d = DriveOf(path);
    if (!d || d->notReady || d->freeSpaceFails) return false;
    bytes = d->freeBytes;
    return true;
}

bool FakePlatform::VolumeIdentity(const std::string& path, std::string& identity) {
    Drive* d = DriveOf(path);
    if (!d || d->notReady) return false;
    identity = std::to_string(d->serial);
    return true;
}

bool FakePlatform::ToAnsiName(const std::string& name, std::string& ansi) const {
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
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    oem = text;
    return true;
}

}  // namespace fake
