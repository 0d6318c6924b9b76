// A split or rejoin set up on the fake platform: a source of patterned bytes
// on D:, a destination folder on E:, and helpers to run the job through the
// start checks exactly as a front end does and to look at the result.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/base/Checksum.h"
#include "engine/base/Names.h"
#include "engine/ops/RunJob.h"
#include "engine/set/PiecePlan.h"
#include "engine/set/SplitInfo.h"
#include "engine/set/SplitState.h"
#include "engine/io/RunOutputs.h"
#include "engine/ops/Prepare.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"

#include "support/Pattern.h"

namespace support {

class SplitFixture : public ::testing::Test {
public:
    void SetUp() override {
        fs.drive('D');
        fs.drive('E');
        fs.AddFolder("E:\\parts");
        request.mode = engine::Mode::Split;
        request.destinationText = "E:\\parts";
    }

    void Source(std::size_t size, const std::string& name = "movie.avi") {
        source = Pattern(size);
        sourceName = name;
        sourcePath = "D:\\video\\" + name;
        request.sourceText = sourcePath;
        fs.AddFile(sourcePath, source);
    }

    void Preset(std::uint32_t bytes) {
        request.size.custom = false;
        request.size.presetBytes = bytes;
    }
    void Custom(const std::string& text, std::uint32_t unit) {
        request.size.custom = true;
        request.size.customText = text;
        request.size.unit = unit;
    }

    // The start checks, then the run, as every front end does; a refusal is
    // shown the way the window shows it.
    engine::Outcome Run() {
        const engine::Prepared prepared = engine::PrepareJob(request, fs, settings);
        if (!prepared.ok) {
            if (!prepared.refusal.silent) host.Tell(prepared.refusal.text, prepared.refusal.caption);
            refused = true;
            return engine::Outcome::Stopped;
        }
        refused = false;
        job = prepared.job;
        engine::OperationContext ctx(fs, host, settings, checkpoint);
        return engine::RunJob(job, ctx);
    }

    std::string Destination() const { return request.destinationText; }
    std::string Piece(std::uint32_t i) const { return engine::PieceName(fs, Destination(), sourceName, i); }
    std::string Info() const { return engine::InfoPath(fs, Destination(), sourceName); }

    Bytes Joined(std::uint32_t count) const {
        Bytes all;
        std::size_t size = 0;
        for (std::uint32_t i = 0; i < count; ++i) size += fs.Content(Piece(i)).size();
        all.reserve(size);
        for (std::uint32_t i = 0; i < count; ++i) {
            const Bytes& part = fs.Content(Piece(i));
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    // After every ending nothing stays open and the window is usable again.
    void ExpectIdle() const {
        EXPECT_FALSE(host.running);
        EXPECT_EQ(fs.openHandles(), 0);
    }

    fake::FakePlatform fs;
    fake::FakeHost host;
    engine::StartRequest request;
    engine::EngineSettings settings;
    engine::Checkpoint* checkpoint = nullptr;
    engine::Job job;
    bool refused = false;
    Bytes source;
    std::string sourceName, sourcePath;
};

// Every file of a drive (or below a path) with its bytes.
inline std::map<std::string, Bytes> FilesOn(const fake::FakePlatform& fs, const std::string& root) {
    std::map<std::string, Bytes> all;
    for (const std::string& path : fs.FilesUnder(root)) all[path] = fs.Content(path);
    return all;
}

// The files under `root` besides what a stopped split of `setName` in
// `folder` keeps for the next run: its state file and the pieces it lists,
// each of which must be as the state records.
inline std::vector<std::string> BesidesKept(const fake::FakePlatform& fs, const std::string& root,
                                            const std::string& folder = "E:\\parts",
                                            const std::string& setName = "movie.avi") {
    const std::string statePath = folder + "\\" + engine::StateFileName(setName);
    std::vector<std::string> kept;
    if (fs.HasFile(statePath)) {
        const Bytes& bytes = fs.Content(statePath);
        engine::SplitState state;
        EXPECT_TRUE(engine::DecodeSplitState(std::string(bytes.begin(), bytes.end()), state));
        kept.push_back(engine::AsciiUpper(statePath));
        for (std::uint32_t i = 0; i < state.pieces.size(); ++i) {
            const std::string piece = engine::PieceName(fs, folder, setName, i);
            EXPECT_TRUE(fs.HasFile(piece)) << piece;
            if (!fs.HasFile(piece)) continue;
            EXPECT_EQ(engine::ChecksumOf(fs.Content(piece).data(), fs.Content(piece).size()), state.pieces[i]);
            kept.push_back(engine::AsciiUpper(piece));
        }
    }
    std::vector<std::string> others;
    for (const std::string& path : fs.FilesUnder(root)) {
        if (std::find(kept.begin(), kept.end(), path) == kept.end()) others.push_back(path);
    }
    return others;
}

// What a stopped rejoin keeps in `folder`: its state file and the part of
// the output the state lists, each listed piece there as in `whole` (when
// given); `listed` is told how many. The files under `root` besides those.
inline std::vector<std::string> BesidesPartial(const fake::FakePlatform& fs, const std::string& root,
                                               const std::string& folder, const std::string& outputName,
                                               const Bytes* whole = nullptr, std::uint32_t* listed = nullptr) {
    const std::string statePath = folder + "\\" + engine::RejoinStateFileName(outputName);
    const std::string partialPath = folder + "\\" + engine::PartialFileName(outputName);
    std::vector<std::string> kept;
    if (listed) *listed = 0;
    if (fs.HasFile(statePath)) {
        const Bytes& bytes = fs.Content(statePath);
        engine::SplitState state;
        EXPECT_TRUE(engine::DecodeSplitState(std::string(bytes.begin(), bytes.end()), state));
        // A state outlives its part only where that part became the file.
        kept = {engine::AsciiUpper(statePath), engine::AsciiUpper(partialPath)};
        if (listed) *listed = static_cast<std::uint32_t>(state.pieces.size());
        if (whole && fs.HasFile(partialPath)) {
            const Bytes& part = fs.Content(partialPath);
            const std::size_t proven = static_cast<std::size_t>(
                std::min<std::uint64_t>(whole->size(), std::uint64_t{state.pieceSize} * state.pieces.size()));
            EXPECT_GE(part.size(), proven);
            EXPECT_TRUE(part.size() >= proven && std::equal(whole->begin(), whole->begin() + proven, part.begin()));
        }
    }
    std::vector<std::string> others;
    for (const std::string& path : fs.FilesUnder(root)) {
        if (std::find(kept.begin(), kept.end(), path) == kept.end()) others.push_back(path);
    }
    return others;
}

// `whole` cut in pieces of `pieceSize`, with the record and checksums a
// split writes for them.
struct CheckedSet {
    engine::SetInfo set;
    std::vector<Bytes> pieces;
};

inline CheckedSet CutWithChecksums(const std::string& name, const Bytes& whole, std::size_t pieceSize) {
    CheckedSet cut;
    cut.set.name = name;
    cut.set.size = whole.size();
    cut.set.pieceSize = static_cast<std::uint32_t>(pieceSize);
    cut.set.extended = cut.set.hasChecksums = true;
    cut.set.whole = engine::ChecksumOf(whole.data(), whole.size());
    for (std::size_t from = 0; from < whole.size(); from += pieceSize) {
        cut.pieces.emplace_back(whole.begin() + from, whole.begin() + std::min(whole.size(), from + pieceSize));
        cut.set.pieces.push_back(engine::ChecksumOf(cut.pieces.back().data(), cut.pieces.back().size()));
    }
    cut.set.pieceCount = static_cast<std::uint32_t>(cut.pieces.size());
    return cut;
}

// One case of a table-driven test, outside the gtest fixture machinery.
// `whole` cut into pieces of `pieceSize` in E:\\parts as a split writes
// them, with an info file that records their checksums, and a rejoin of
// them into `out` on drive F: asked for.
inline CheckedSet LayRejoin(SplitFixture& f, const Bytes& whole, std::size_t pieceSize,
                            const std::string& out = "F:\\out") {
    f.fs.drive('F');
    f.fs.AddFolder(out);
    CheckedSet cut = CutWithChecksums("movie.avi", whole, pieceSize);
    for (std::size_t i = 0; i < cut.pieces.size(); ++i) {
        f.fs.AddFile("E:\\parts\\movie.avi." + std::to_string(i) + ".spl", cut.pieces[i]);
    }
    f.fs.AddFile("E:\\parts\\movie.avi.sio", EncodeInfoFile(cut.set, f.fs));
    f.request.mode = engine::Mode::Rejoin;
    f.request.sourceText = "E:\\parts\\movie.avi.sio";
    f.request.destinationText = out;
    return cut;
}

class SplitCase : public SplitFixture {
public:
    SplitCase() { SetUp(); }
    void TestBody() override {}
};

}  // namespace support
