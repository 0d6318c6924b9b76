#include "engine/io/SetRepair.h"

#include <algorithm>
#include <cstring>

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Names.h"
#include "engine/par2/Packets.h"
#include "engine/par2/Solve.h"
#include "engine/set/PiecePlan.h"
#include "engine/base/Texts.h"

namespace engine {

namespace {

constexpr std::uint64_t kHeadSize = 16 * 1024;
constexpr std::uint32_t kChunk = 1u << 20;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// A slice larger than every piece only adds padding to hash: beyond this
// much, a slice size no piece needs is not this set's.
constexpr std::uint64_t kSmallSlice = 1u << 20;
// The rebuild's table of factors, one per lost slice and input.
constexpr std::uint64_t kMaxFactorCells = 64ull << 20;

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
    std::uint32_t pieceSize = 0;  // as the set chosen agrees with
};

const char* RebuiltNotExactText(const SetInfo& set) {
    return set.hasChecksums ? texts::kRebuiltNotExact : texts::kRebuiltNotAsRecorded;
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
    return !state_->sets.empty();
}

RecoveryState SetRepair::Assess(const std::vector<bool>& bad, const PieceParts& parts, bool proven,
                                std::uint32_t pieceSize) {
    State& st = *state_;
    RecoveryState result;
    const SetInfo& info = job_.set;
    const std::uint32_t count = info.pieceCount;
    st.set = nullptr;
    st.files.clear();
    st.fileOfPiece.assign(count, kNone);
    const auto read = [&](const std::vector<PiecePart>& at, std::uint64_t offset, unsigned char* data,
                          std::uint32_t size) { st.reader->Read(at, offset, data, size); };
    std::unique_ptr<Md5> md5 = platform_.NewMd5();

    // Where each piece lies: as read, or for a bad one, its file wherever it
    // is first found (a piece damaged or cut short still has slices to give).
    const std::vector<std::string> folders = SetFolders(job_);
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
    bool anyPresent = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        where[i] = !bad[i] && i < parts.size() && !parts[i].empty() ? parts[i] : locate(PieceFileName(info.name, i));
        anyPresent = anyPresent || !where[i].empty();
    }
    // What a description says of a piece that can be compared cheaply: its
    // length and the MD5 of its first 16 KiB (its name is how it was found).
    std::vector<std::optional<par2::Hash>> headOf(count);
    std::vector<bool> headRead(count, false);
    const auto matches = [&](std::uint32_t i, const par2::FileDescription& d) {
        if (where[i].empty() || PartsLength(where[i]) != d.length) return false;
        if (!headRead[i]) {
            headRead[i] = true;
            std::vector<unsigned char> head(static_cast<std::size_t>(std::min(d.length, kHeadSize)));
            try {
                read(where[i], 0, head.data(), static_cast<std::uint32_t>(head.size()));
                headOf[i] = par2::Md5Of(*md5, head.data(), head.size());
            } catch (const FileError&) {
            }
        }
        return headOf[i] == d.md5Head;
    };

    // Each recovery set read is judged against the info file, then by how
    // many pieces present it describes as they are.
    RecoveryProblem firstProblem = RecoveryProblem::None;
    const auto note = [&](RecoveryProblem p) {
        if (firstProblem == RecoveryProblem::None || firstProblem == RecoveryProblem::OtherFile) firstProblem = p;
    };
    int bestScore = -1;
    std::uint32_t bestPieceSize = 0;
    for (const par2::RecoverySet& s : st.sets) {
        if (s.flaw == par2::SetFlaw::Conflicting) {
            note(RecoveryProblem::Conflicting);
            continue;
        }
        if (s.flaw == par2::SetFlaw::TooLarge) {
            note(RecoveryProblem::TooLarge);
            continue;
        }
        if (!s.hasMain) {
            // Packets of a set whose main packet is lost or unsound.
            if (!s.descriptions.empty() || !s.recovery.empty()) note(RecoveryProblem::Incomplete);
            continue;
        }
        const std::uint32_t size = pieceSize != 0 ? pieceSize : PieceSizeFrom(s, info);
        RecoveryProblem problem = RecoveryProblem::None;
        std::vector<bool> named(count, false);
        std::vector<const par2::FileDescription*> seen;
        std::uint64_t slices = 0, longest = 0;
        int score = 0, pieces = 0, contradicted = 0;
        for (const par2::Hash& f : s.files) {
            const par2::FileDescription* d = s.Describe(f);
            if (!d) {
                problem = RecoveryProblem::Incomplete;
                break;
            }
            if (std::find(seen.begin(), seen.end(), d) != seen.end()) {
                problem = RecoveryProblem::Conflicting;
                break;
            }
            seen.push_back(d);
            const std::uint64_t fileSlices = d->length / s.sliceSize + (d->length % s.sliceSize != 0);
            if (fileSlices > par2::kMaxInputSlices || slices + fileSlices > par2::kMaxInputSlices) {
                problem = RecoveryProblem::TooLarge;
                break;
            }
            slices += fileSlices;
            longest = std::max(longest, d->length);
            const std::vector<par2::SliceCheck>* checks = s.ChecksOf(f);
            if (checks && checks->size() != fileSlices) {
                problem = RecoveryProblem::Disagrees;
                break;
            }
            std::uint64_t index = 0;
            if (!IsPieceOf(d->name, info.name, true, &index)) {
                // A file beside the pieces that a PAR2 tool was given with
                // them: read, never written. Anything that is no plain name
                // in the set's folder is not this set's.
                if (!IsPlainFileName(d->name)) problem = RecoveryProblem::Disagrees;
                if (problem != RecoveryProblem::None) break;
                continue;
            }
            if (index >= count) {
                problem = RecoveryProblem::Disagrees;
                break;
            }
            const auto i = static_cast<std::uint32_t>(index);
            if (named[i]) {
                problem = RecoveryProblem::Conflicting;
                break;
            }
            named[i] = true;
            ++pieces;
            const std::optional<std::uint64_t> expected =
                count == 1 ? std::optional<std::uint64_t>(info.size)
                : size == 0 ? std::nullopt
                            : std::optional<std::uint64_t>(PieceLength(info.size, count, size, i));
            if (!expected || *expected != d->length) {
                problem = RecoveryProblem::Disagrees;
                break;
            }
            if (matches(i, *d)) {
                ++score;
            } else if (proven && !bad[i]) {
                ++contradicted;  // proven intact by its checksum, and described otherwise
            }
        }
        if (problem == RecoveryProblem::None && contradicted > 0) {
            problem = score == 0 ? RecoveryProblem::OtherFile : RecoveryProblem::Disagrees;
        }
        if (problem == RecoveryProblem::None && pieces == 0) problem = RecoveryProblem::OtherFile;
        if (problem == RecoveryProblem::None && s.sliceSize > std::max(kSmallSlice, (longest + 3) / 4 * 4)) {
            problem = RecoveryProblem::Disagrees;
        }
        // Only a set proven by its checksums may be rebuilt from recovery
        // data that no piece can confirm: when none is there to.
        if (problem == RecoveryProblem::None && score == 0 && !(proven && !anyPresent)) {
            problem = RecoveryProblem::OtherFile;
        }
        if (problem != RecoveryProblem::None) {
            note(problem);
            continue;
        }
        if (score > bestScore) {
            bestScore = score;
            st.set = &s;
            bestPieceSize = size;
        }
    }
    if (!st.set) {
        result.problem = firstProblem;
        return result;
    }
    const par2::RecoverySet& set = *st.set;
    st.pieceSize = bestPieceSize;

    std::uint64_t slices = 0, widest = 1;
    for (const par2::Hash& f : set.files) {
        State::FileAt at;
        at.description = set.Describe(f);
        at.checks = set.ChecksOf(f);
        at.firstSlice = slices;
        at.slices = set.SlicesOf(at.description->length);
        slices += at.slices;
        std::uint64_t index = 0;
        if (IsPieceOf(at.description->name, info.name, true, &index)) {
            at.piece = static_cast<std::size_t>(index);
            st.fileOfPiece[at.piece] = st.files.size();
            at.parts = where[at.piece];
            widest = std::max(widest, at.slices);
        } else {
            at.parts = locate(at.description->name);
        }
        st.files.push_back(std::move(at));
    }

    // Which slices are intact: every slice of a piece its checksum proved,
    // and of any other what its slice checksums say.
    st.known.assign(static_cast<std::size_t>(slices), false);
    std::vector<unsigned char> buffer(kChunk);
    const std::vector<unsigned char> zeros(kChunk, 0);
    const auto sliceIntact = [&](const State::FileAt& at, std::uint64_t k) {
        if (!at.checks || k >= at.checks->size()) return false;
        const std::uint64_t start = k * set.sliceSize;
        const std::uint64_t n = std::min(set.sliceSize, at.description->length - start);
        if (PartsLength(at.parts) < start + n) return false;
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
            if (checkpoint_) checkpoint_();
        }
        const par2::Hash digest = md5->Final();
        return crc == (*at.checks)[static_cast<std::size_t>(k)].crc &&
               digest == (*at.checks)[static_cast<std::size_t>(k)].md5;
    };
    std::vector<std::uint64_t> agreeing(count, 0);
    std::uint64_t agreeingAll = 0;
    std::vector<bool> disputed(count, false);
    for (const State::FileAt& at : st.files) {
        const bool piece = at.piece != kNone;
        const bool provenIntact = piece && proven && !bad[at.piece];
        for (std::uint64_t k = 0; k < at.slices; ++k) {
            const bool intact = provenIntact || (!at.parts.empty() && sliceIntact(at, k));
            st.known[static_cast<std::size_t>(at.firstSlice + k)] = intact;
            if (!piece) continue;
            if (intact) {
                ++agreeing[at.piece];
                ++agreeingAll;
            } else if (!bad[at.piece]) {
                disputed[at.piece] = true;
            }
        }
    }
    // A set without checksums has only the recovery data's word that a
    // piece is damaged: it counts where the other pieces bear it out.
    toWrite_.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (disputed[i] && agreeingAll == agreeing[i]) {
            result.problem = RecoveryProblem::OtherFile;
            st.set = nullptr;
            return result;
        }
    }
    if (!proven && anyPresent && agreeingAll == 0) {
        result.problem = RecoveryProblem::OtherFile;
        st.set = nullptr;
        return result;
    }
    result.found = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!bad[i] && !disputed[i]) continue;
        if (st.fileOfPiece[i] == kNone) {
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
    if (st.lost.size() > gf16::kMaxUnknowns ||
        std::uint64_t{st.lost.size()} * (st.known.size() + 1) > kMaxFactorCells) {
        result.found = false;
        result.problem = RecoveryProblem::TooLarge;
        st.set = nullptr;
        return result;
    }

    std::vector<std::uint32_t> exponents;
    for (const par2::RecoverySlice& r : set.recovery) exponents.push_back(r.exponent);
    result.canRebuild = par2::SolveLost(st.lost, exponents, st.used, st.inverse, checkpoint_);
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
    std::vector<std::uint32_t> usedExponents;
    for (std::size_t t : st.used) usedExponents.push_back(set.recovery[t].exponent);
    const gf16::Matrix factors = par2::RebuildFactors(inputSlice, usedExponents, checkpoint_);
    // Which file and slice each output is.
    const std::size_t outputs = st.lost.size();
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
    // Every byte goes inside its piece: the description's length is the
    // info file's (Assess refused any other).
    const auto sink = [&](std::size_t m, std::uint64_t offset, const unsigned char* data, std::uint32_t n) {
        const State::FileAt& at = *outFile[m];
        // A file of the recovery set that is no piece is solved for, not kept.
        if (at.piece == kNone) return;
        const std::uint64_t start = outSlice[m] * slice + offset;
        if (start >= at.description->length) return;
        const auto keep = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, at.description->length - start));
        target.Write(static_cast<std::uint32_t>(at.piece), start, data, keep);
    };
    par2::CombineThen(slice, inputs, factors, st.inverse, sink, progress_);

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

std::uint32_t SetRepair::pieceSize() const { return state_->set ? state_->pieceSize : 0; }

}  // namespace engine
