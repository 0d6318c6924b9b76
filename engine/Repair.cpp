#include "Repair.h"

#include <algorithm>
#include <cstring>

#include "FileErrors.h"
#include "Format.h"
#include "Names.h"
#include "Par2Format.h"
#include "PiecePlan.h"
#include "Texts.h"

namespace engine {

namespace {

constexpr std::uint64_t kHeadSize = 16 * 1024;
constexpr std::uint32_t kChunk = 1u << 20;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

}  // namespace

// A file of the recovery set as found here: its description and checks,
// which piece it is, and where its bytes lie.
struct SetRepair::State {
    struct FileAt {
        const par2::FileDescription* description = nullptr;
        const std::vector<par2::SliceCheck>* checks = nullptr;
        std::size_t piece = kNone;
        std::uint64_t firstSlice = 0;
        std::uint64_t slices = 0;
        std::vector<PiecePart> parts;  // empty: nothing to read
    };
    std::vector<par2::RecoverySet> sets;
    const par2::RecoverySet* set = nullptr;
    std::vector<FileAt> files;
    std::vector<std::size_t> fileOfPiece;
    std::vector<bool> known;           // every slice, in the constants' order
    std::vector<std::uint64_t> lost;   // the slices to compute
    std::vector<std::size_t> used;     // the recovery slices that do it
    gf16::Matrix inverse{0, 0};
    std::unique_ptr<PartsReader> reader;
};

PartsReader::PartsReader(Platform& platform) : platform_(platform) {}
PartsReader::~PartsReader() { Close(); }
void PartsReader::Close() {
    CloseQuietly(open_);
    openPath_.clear();
}

void PartsReader::Read(const std::vector<PiecePart>& parts, std::uint64_t offset, unsigned char* data,
                       std::uint32_t size) {
    std::uint64_t partStart = 0;
    for (const PiecePart& part : parts) {
        if (size == 0) return;
        if (offset < partStart + part.length) {
            const std::string path = FolderPrefix(platform_, part.folder) + part.name;
            if (!open_ || openPath_ != path) {
                Close();
                if (const ErrorCode code =
                        platform_.Open(path, {Access::Read, Share::Read, Creation::OpenExisting, false}, open_)) {
                    open_.reset();
                    throw FileError(code, path);
                }
                openPath_ = path;
            }
            const std::uint64_t inPart = offset - partStart;
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, part.length - inPart));
            SeekOrThrow(*open_, path, inPart);
            for (std::uint32_t done = 0; done < n;) {
                std::uint32_t got = 0;
                ReadOrThrow(*open_, path, data + done, n - done, got);
                if (got == 0) throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
                done += got;
            }
            data += n;
            offset += n;
            size -= n;
        }
        partStart += part.length;
    }
    if (size != 0) {
        const std::string path = parts.empty() ? std::string() : FolderPrefix(platform_, parts.back().folder) + parts.back().name;
        throw FileError(FileCause::EndOfFile, err::kHandleEof, path);
    }
}

std::string RecoverySentence(const RecoveryState& state, std::size_t badPieces) {
    std::string text = badPieces == 1 ? std::string(texts::kOneBadPiece)
                                      : Fill(texts::kBadPiecesCount, std::to_string(badPieces));
    if (!state.found) return text + texts::kNoRecoveryData;
    if (state.canRebuild) return text + (badPieces == 1 ? texts::kRecoveryRebuildsIt : texts::kRecoveryRebuildsThem);
    if (state.notCovered > 0) return text + texts::kRecoveryNotCovering;
    if (state.blocksNeeded > state.blocksAvailable) {
        return text + Fill(texts::kRecoveryNeedsMore, std::to_string(state.blocksNeeded - state.blocksAvailable));
    }
    return text + texts::kRecoveryCannotSolve;
}

std::vector<std::string> RecoveryFilesOf(Platform& platform, const RejoinJob& job) {
    std::vector<std::string> folders{job.infoFolder};
    folders.insert(folders.end(), job.laterFolders.begin(), job.laterFolders.end());
    std::vector<std::string> paths;
    const bool exact = platform.CaseSensitiveNames();
    for (const std::string& folder : folders) {
        std::vector<FolderEntry> entries;
        if (platform.ListFolder(folder, entries) != err::kNone) continue;
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        for (const FolderEntry& e : entries) {
            if (!e.isFolder && par2::IsRecoveryFileOf(e.name, job.set.name, exact)) {
                paths.push_back(FolderPrefix(platform, folder) + e.name);
            }
        }
    }
    return paths;
}

RecoveryFilesSummary SummarizeRecoveryFiles(Platform& platform, const RejoinJob& job) {
    RecoveryFilesSummary summary;
    const std::vector<std::string> paths = RecoveryFilesOf(platform, job);
    summary.files = static_cast<std::uint32_t>(paths.size());
    for (const par2::RecoverySet& s : par2::ReadRecoveryFiles(platform, paths, false, nullptr)) {
        std::uint64_t widest = 0;
        for (const par2::FileDescription& d : s.descriptions) {
            std::uint64_t index = 0;
            if (IsPieceOf(d.name, job.set.name, true, &index)) widest = std::max(widest, s.SlicesOf(d.length));
        }
        if (widest == 0 || s.recovery.size() <= summary.blocks) continue;
        summary.blocks = static_cast<std::uint32_t>(s.recovery.size());
        summary.wholePieces = static_cast<std::uint32_t>(s.recovery.size() / widest);
    }
    return summary;
}

SetRepair::SetRepair(const RejoinJob& job, Platform& platform, std::function<void()> checkpoint,
                     par2::ComputeProgress progress)
    : job_(job), platform_(platform), checkpoint_(std::move(checkpoint)),
      progress_(std::move(progress)), state_(std::make_unique<State>()) {
    state_->reader = std::make_unique<PartsReader>(platform);
}

SetRepair::~SetRepair() = default;

bool SetRepair::Load() {
    state_->sets = par2::ReadRecoveryFiles(platform_, RecoveryFilesOf(platform_, job_), true, checkpoint_);
    for (const par2::RecoverySet& s : state_->sets) {
        for (const par2::FileDescription& d : s.descriptions) {
            std::uint64_t index = 0;
            if (IsPieceOf(d.name, job_.set.name, true, &index) && index < job_.set.pieceCount) return true;
        }
    }
    return false;
}

namespace {

std::uint64_t LengthOf(const std::vector<PiecePart>& parts) {
    std::uint64_t total = 0;
    for (const PiecePart& p : parts) total += p.length;
    return total;
}

}  // namespace

RecoveryState SetRepair::Assess(const std::vector<bool>& bad, const PieceParts& parts, bool proven) {
    State& st = *state_;
    RecoveryState result;
    const std::uint32_t count = job_.set.pieceCount;
    const auto read = [&](const std::vector<PiecePart>& at, std::uint64_t offset, unsigned char* data,
                          std::uint32_t size) { st.reader->Read(at, offset, data, size); };
    std::unique_ptr<Md5> md5 = platform_.NewMd5();

    // Where each piece lies: as read, or for a bad one, its file wherever it
    // is first found (a piece damaged or cut short still has slices to give).
    std::vector<std::string> folders{job_.infoFolder};
    folders.insert(folders.end(), job_.laterFolders.begin(), job_.laterFolders.end());
    const auto locate = [&](const std::string& name) {
        std::vector<PiecePart> at;
        for (const std::string& folder : folders) {
            FileStatus status;
            if (platform_.Status(FolderPrefix(platform_, folder) + name, status) == err::kNone &&
                status.kind == FileKind::Regular) {
                at.push_back({folder, name, status.size});
                break;
            }
        }
        return at;
    };
    std::vector<std::vector<PiecePart>> where(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        where[i] = !bad[i] && i < parts.size() && !parts[i].empty() ? parts[i] : locate(PieceFileName(job_.set.name, i));
    }
    // The identity the format gives each intact piece: name, length, head.
    std::vector<std::optional<par2::Hash>> idOf(count);
    const auto identity = [&](std::uint32_t i) -> std::optional<par2::Hash> {
        if (idOf[i] || where[i].empty()) return idOf[i];
        const std::uint64_t length = LengthOf(where[i]);
        std::vector<unsigned char> head(static_cast<std::size_t>(std::min(length, kHeadSize)));
        try {
            read(where[i], 0, head.data(), static_cast<std::uint32_t>(head.size()));
        } catch (const FileError&) {
            return std::nullopt;
        }
        const par2::Hash h = par2::Md5Of(*md5, head.data(), head.size());
        idOf[i] = par2::FileId(*md5, h, length, PieceFileName(job_.set.name, i));
        return idOf[i];
    };

    // The recovery set that describes most of the intact pieces as they are.
    int bestScore = -1;
    for (const par2::RecoverySet& s : st.sets) {
        if (!s.hasMain) continue;
        bool complete = true;
        int score = 0, named = 0;
        for (const par2::Hash& f : s.files) {
            const par2::FileDescription* d = s.Describe(f);
            if (!d) {
                complete = false;
                break;
            }
            std::uint64_t index = 0;
            if (!IsPieceOf(d->name, job_.set.name, true, &index) || index >= count) continue;
            ++named;
            const auto i = static_cast<std::uint32_t>(index);
            if (!bad[i] && identity(i) == d->id) ++score;
        }
        if (!complete || named == 0) continue;
        const int total = score * 65536 + named;
        if (total > bestScore) {
            bestScore = total;
            st.set = &s;
        }
    }
    if (!st.set) return result;
    const par2::RecoverySet& set = *st.set;
    result.found = true;

    st.files.clear();
    st.fileOfPiece.assign(count, kNone);
    std::uint64_t slices = 0, widest = 1;
    for (const par2::Hash& f : set.files) {
        State::FileAt at;
        at.description = set.Describe(f);
        at.checks = set.ChecksOf(f);
        at.firstSlice = slices;
        at.slices = set.SlicesOf(at.description->length);
        slices += at.slices;
        std::uint64_t index = 0;
        if (IsPieceOf(at.description->name, job_.set.name, true, &index) && index < count) {
            at.piece = static_cast<std::size_t>(index);
            st.fileOfPiece[at.piece] = st.files.size();
            at.parts = where[at.piece];
            widest = std::max(widest, at.slices);
        } else if (IsPlainFileName(at.description->name)) {
            at.parts = locate(at.description->name);
        }
        st.files.push_back(std::move(at));
    }
    if (slices > par2::kMaxInputSlices) {
        st.set = nullptr;
        result.found = false;
        return result;
    }

    // Which slices are intact.
    st.known.assign(static_cast<std::size_t>(slices), false);
    std::vector<unsigned char> buffer(kChunk);
    const std::vector<unsigned char> zeros(kChunk, 0);
    const auto sliceIntact = [&](const State::FileAt& at, std::uint64_t k) {
        if (!at.checks || k >= at.checks->size()) return false;
        const std::uint64_t start = k * set.sliceSize;
        const std::uint64_t n = std::min(set.sliceSize, at.description->length - start);
        if (LengthOf(at.parts) < start + n) return false;
        std::uint32_t crc = 0;
        try {
            for (std::uint64_t done = 0; done < n;) {
                const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, n - done));
                read(at.parts, start + done, buffer.data(), part);
                md5->Update(buffer.data(), part);
                crc = par2::Crc32(crc, buffer.data(), part);
                done += part;
                if (checkpoint_) checkpoint_();
            }
        } catch (const FileError&) {
            md5->Final();
            return false;
        }
        for (std::uint64_t left = set.sliceSize - n; left > 0;) {
            const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, left));
            md5->Update(zeros.data(), part);
            crc = par2::Crc32(crc, zeros.data(), part);
            left -= part;
        }
        const par2::Hash digest = md5->Final();
        return crc == (*at.checks)[static_cast<std::size_t>(k)].crc &&
               digest == (*at.checks)[static_cast<std::size_t>(k)].md5;
    };
    for (const State::FileAt& at : st.files) {
        const bool wholeAsRecorded = at.piece != kNone && !bad[at.piece] && proven &&
                                     identity(static_cast<std::uint32_t>(at.piece)) == at.description->id;
        for (std::uint64_t k = 0; k < at.slices; ++k) {
            st.known[static_cast<std::size_t>(at.firstSlice + k)] = wholeAsRecorded || sliceIntact(at, k);
        }
    }

    toWrite_.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t f = st.fileOfPiece[i];
        bool lostHere = false;
        for (std::uint64_t k = 0; f != kNone && k < st.files[f].slices; ++k) {
            if (!st.known[static_cast<std::size_t>(st.files[f].firstSlice + k)]) lostHere = true;
        }
        if (!bad[i] && !lostHere) continue;
        if (f == kNone) {
            ++result.notCovered;
        } else {
            toWrite_.push_back(i);
        }
    }
    st.lost.clear();
    for (std::size_t g = 0; g < st.known.size(); ++g) {
        if (!st.known[g]) st.lost.push_back(g);
    }
    result.blocksNeeded = static_cast<std::uint32_t>(st.lost.size());
    result.blocksAvailable = static_cast<std::uint32_t>(set.recovery.size());
    result.wholePieces = static_cast<std::uint32_t>(set.recovery.size() / widest);
    if (result.notCovered > 0 || st.lost.size() > set.recovery.size()) return result;

    // The lost slices from the recovery slices: a square system over the
    // field, from rows that are independent.
    gf16::Matrix candidates(set.recovery.size(), st.lost.size());
    for (std::size_t r = 0; r < set.recovery.size(); ++r) {
        for (std::size_t u = 0; u < st.lost.size(); ++u) {
            candidates.at(r, u) = gf16::Power(gf16::InputConstant(static_cast<std::uint32_t>(st.lost[u])),
                                              set.recovery[r].exponent);
        }
    }
    result.canRebuild = gf16::SelectAndInvert(candidates, st.used, st.inverse);
    return result;
}

void SetRepair::Rebuild(RebuildTarget& target) {
    State& st = *state_;
    const par2::RecoverySet& set = *st.set;
    const std::uint64_t slice = set.sliceSize;
    const auto read = [&](const std::vector<PiecePart>& at, std::uint64_t offset, unsigned char* data,
                          std::uint32_t size) { st.reader->Read(at, offset, data, size); };

    // Inputs: every intact slice, then the recovery slices used.
    std::vector<par2::SliceSource> inputs;
    std::vector<std::uint64_t> inputSlice;
    for (const State::FileAt& at : st.files) {
        for (std::uint64_t k = 0; k < at.slices; ++k) {
            if (!st.known[static_cast<std::size_t>(at.firstSlice + k)]) continue;
            par2::SliceSource s;
            s.length = std::min(slice, at.description->length - k * slice);
            const std::vector<PiecePart>* parts = &at.parts;
            const std::uint64_t start = k * slice;
            s.read = [&read, parts, start](std::uint64_t offset, unsigned char* data, std::uint32_t n) {
                read(*parts, start + offset, data, n);
            };
            inputs.push_back(std::move(s));
            inputSlice.push_back(at.firstSlice + k);
        }
    }
    const std::size_t knownCount = inputs.size();
    for (std::size_t t : st.used) {
        const par2::RecoverySlice& r = set.recovery[t];
        par2::SliceSource s;
        s.length = slice;
        const std::vector<PiecePart> parts{{FolderPart(platform_, r.path), FileNamePart(platform_, r.path),
                                            r.offset + r.size}};
        const std::uint64_t start = r.offset;
        s.read = [&read, parts, start](std::uint64_t offset, unsigned char* data, std::uint32_t n) {
            read(parts, start + offset, data, n);
        };
        inputs.push_back(std::move(s));
    }
    // lost[m] = sum over t of inverse(m, t) × (recovery t + sum over intact
    // g of constant(g)^e(t) × slice g), gathered into one factor per input.
    const std::size_t outputs = st.lost.size();
    gf16::Matrix factors(outputs, inputs.size());
    for (std::size_t t = 0; t < st.used.size(); ++t) {
        const std::uint32_t e = set.recovery[st.used[t]].exponent;
        for (std::size_t k = 0; k < knownCount; ++k) {
            const std::uint16_t power =
                gf16::Power(gf16::InputConstant(static_cast<std::uint32_t>(inputSlice[k])), e);
            for (std::size_t m = 0; m < outputs; ++m) {
                factors.at(m, k) ^= gf16::Multiply(st.inverse.at(m, t), power);
            }
        }
        for (std::size_t m = 0; m < outputs; ++m) factors.at(m, knownCount + t) = st.inverse.at(m, t);
    }
    // Which file and slice each output is.
    std::vector<const State::FileAt*> outFile(outputs);
    std::vector<std::uint64_t> outSlice(outputs);
    for (std::size_t m = 0; m < outputs; ++m) {
        for (const State::FileAt& at : st.files) {
            if (st.lost[m] >= at.firstSlice && st.lost[m] < at.firstSlice + at.slices) {
                outFile[m] = &at;
                outSlice[m] = st.lost[m] - at.firstSlice;
            }
        }
    }
    const auto sink = [&](std::size_t m, std::uint64_t offset, const unsigned char* data, std::uint32_t n) {
        const State::FileAt& at = *outFile[m];
        // A file of the recovery set that is no piece is solved for, not kept.
        if (at.piece == kNone) return;
        const std::uint64_t start = outSlice[m] * slice + offset;
        if (start >= at.description->length) return;
        const auto keep = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, at.description->length - start));
        target.Write(static_cast<std::uint32_t>(at.piece), start, data, keep);
    };
    par2::Combine(slice, inputs, factors, {}, sink, progress_);

    // The intact slices of the pieces rebuilt come from what is left of them.
    std::vector<unsigned char> buffer(kChunk);
    for (std::uint32_t piece : toWrite_) {
        const State::FileAt& at = st.files[st.fileOfPiece[piece]];
        for (std::uint64_t k = 0; k < at.slices; ++k) {
            if (!st.known[static_cast<std::size_t>(at.firstSlice + k)]) continue;
            const std::uint64_t start = k * slice;
            const std::uint64_t n = std::min(slice, at.description->length - start);
            for (std::uint64_t done = 0; done < n;) {
                const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, n - done));
                read(at.parts, start + done, buffer.data(), part);
                target.Write(piece, start + done, buffer.data(), part);
                done += part;
                if (checkpoint_) checkpoint_();
            }
        }
    }
    st.reader->Close();
}

std::optional<Md5Digest> SetRepair::RecordedMd5(std::uint32_t piece) const {
    const State& st = *state_;
    if (!st.set || piece >= st.fileOfPiece.size() || st.fileOfPiece[piece] == kNone) return std::nullopt;
    return st.files[st.fileOfPiece[piece]].description->md5;
}

}  // namespace engine
