// A split set up on the fake platform: a source of patterned bytes on D:, a
// destination folder on E:, and helpers to look at the result.
#pragma once

#include <gtest/gtest.h>

#include "engine/Operation.h"
#include "engine/PiecePlan.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"

namespace fake {

inline Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return bytes;
}

class SplitFixture : public ::testing::Test {
public:
    void SetUp() override {
        fs.drive('D');
        fs.drive('E');
        fs.AddFolder("E:\\parts");
        r.destinationFolder = "E:\\parts";
        r.driveType = engine::DriveType::Fixed;
    }

    void Source(std::size_t size, const std::string& name = "movie.avi") {
        source = Pattern(size);
        r.sourcePath = "D:\\video\\" + name;
        r.sourceName = name;
        r.sourceSize = size;
        fs.AddFile(r.sourcePath, source);
    }

    void Preset(std::uint32_t bytes) {
        r.customSize = false;
        r.pieceSize = bytes;
    }
    void Custom(const std::string& text, std::uint32_t unit) {
        r.customSize = true;
        r.customText = text;
        r.unitMultiplier = unit;
    }

    engine::Outcome RunSplit() {
        engine::OperationContext ctx{r, fs, host, settings, checkpoint};
        return engine::RunOperation(ctx);
    }

    std::string Piece(std::uint32_t i) const {
        return engine::PieceName(fs, r.destinationFolder, r.sourceName, i);
    }
    std::string Info() const { return engine::InfoFileName(fs, r.destinationFolder, r.sourceName); }

    Bytes Joined(std::uint32_t count) const {
        Bytes all;
        for (std::uint32_t i = 0; i < count; ++i) {
            const Bytes& part = fs.Content(Piece(i));
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    // After every ending the window is usable again and nothing stays open.
    void ExpectIdle() const {
        EXPECT_TRUE(host.controlsEnabled);
        EXPECT_FALSE(host.progressVisible);
        EXPECT_EQ(fs.openHandles(), 0);
        EXPECT_FALSE(r.infoOpen() || r.sourceOpen() || r.pieceOpen());
    }

    FakePlatform fs;
    FakeHost host;
    engine::OperationRequest r;
    engine::EngineSettings settings;
    engine::Checkpoint* checkpoint = nullptr;
    Bytes source;
};

// One case of a table-driven test, outside the gtest fixture machinery.
class SplitCase : public SplitFixture {
public:
    SplitCase() { SetUp(); }
    void TestBody() override {}
};

}  // namespace fake
