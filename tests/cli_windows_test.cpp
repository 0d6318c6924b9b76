// parvex-cli.exe under Wine, run as a user runs it, on real files.
#include <gtest/gtest.h>

#include <string>

#include "engine/base/Checksum.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "support/Pattern.h"
#include "support/WindowDriver.h"

namespace {

// Runs parvex-cli.exe with `args` (UTF-8, quoted as needed) in `folder`.
DWORD Cli(const std::string& folder, const std::string& args) {
    return drive::RunAndWait("\"" + drive::WindowsPath(PARVEX_CLI_EXE) + "\" " + args, 600000, folder);
}

drive::Ran CliCaptured(const std::string& folder, const std::string& args) {
    return drive::RunCaptured("\"" + drive::WindowsPath(PARVEX_CLI_EXE) + "\" " + args, folder);
}

std::string Text(const support::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string ChecksumOfFile(const std::string& path) {
    platform::Win32Platform fs;
    std::unique_ptr<engine::File> file;
    if (fs.Open(path, {engine::Access::Read, engine::Share::Read, engine::Creation::OpenExisting, true}, file)) {
        return "<missing>";
    }
    engine::ChecksumState sum;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        std::uint32_t got = 0;
        if (file->Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), got) || got == 0) break;
        sum.Update(buffer.data(), got);
    }
    return sum.Digest().Hex();
}

// A sparse source of 5 GiB in FAT32-sized pieces, split and rejoined by the
// Windows build: the rejoined file's checksum is the source's.
TEST(WindowsCli, AFileOf5GiBSplitsAndRejoinsExactly) {
    constexpr std::uint64_t kSize = 5ull << 30;
    drive::TempFolder dir;
    ULARGE_INTEGER room{};
    if (!GetDiskFreeSpaceExW(platform::Widen(dir.path).c_str(), &room, nullptr, nullptr) ||
        room.QuadPart < 2 * kSize + (2ull << 30)) {
        GTEST_SKIP() << "needs 12 GiB free beside " << dir.path;
    }
    const std::string source = dir.path + "\\disk.img";
    HANDLE h = CreateFileW(platform::Widen(source).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{0xFFFFFFFF}, kSize - 1}) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(at);
        SetFilePointerEx(h, to, nullptr, FILE_BEGIN);
        DWORD n = 0;
        WriteFile(h, "x", 1, &n, nullptr);
    }
    CloseHandle(h);
    const std::string sum = ChecksumOfFile(source);
    CreateDirectoryW(platform::Widen(dir.path + "\\parts").c_str(), nullptr);
    CreateDirectoryW(platform::Widen(dir.path + "\\back").c_str(), nullptr);
    ASSERT_EQ(Cli(dir.path, "split disk.img --to parts --fat32"), 0u);
    platform::Win32Platform fs;
    engine::FileStatus first;
    EXPECT_EQ(fs.Status(dir.path + "\\parts\\disk.img.0.spl", first), 0u);
    EXPECT_EQ(first.size, 0xFFFFFFFFull);
    fs.Delete(source);
    ASSERT_EQ(Cli(dir.path, "join parts\\disk.img.1.spl --to back --remove-pieces"), 0u);
    EXPECT_EQ(ChecksumOfFile(dir.path + "\\back\\disk.img"), sum);
}

// Names in any script, in folder and file names: a split and a join give the
// exact file back under its own name, and the pieces carry that name.
TEST(WindowsCli, NamesInAnyScriptSplitAndJoinExactly) {
    const char* const names[] = {
        "caf\u00e9 \u00fcber",               // accented Latin
        "\u0444\u0438\u043b\u044c\u043c",  // Cyrillic
        "\u6620\u753b",                       // CJK
        "clip \U0001F3AC",                     // an emoji (a surrogate pair)
        "100% & (co) ^ !x!",                   // what cmd treats specially
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        drive::TempFolder dir;
        const std::string folder = dir.MakeFolder(std::string(name) + " \u00e0 \u0434");
        const std::string file = std::string(name) + ".bin";
        const support::Bytes data = support::Pattern(250000);
        dir.Write(std::string(name) + " \u00e0 \u0434\\" + file, data);
        const drive::Ran split = CliCaptured(folder, "split \"" + file + "\" --kb 100");
        ASSERT_EQ(split.code, 0u) << split.err;
        for (const char* suffix : {".0.spl", ".1.spl", ".2.spl", ".sio"}) {
            EXPECT_TRUE(dir.Exists(std::string(name) + " \u00e0 \u0434\\" + file + suffix)) << suffix;
        }
        const drive::Ran info = CliCaptured(folder, "info \"" + file + ".1.spl\"");
        EXPECT_NE(info.out.find("name: " + file + "\n"), std::string::npos) << info.out;
        const std::string back = dir.MakeFolder("back \u00e9");
        const drive::Ran join = CliCaptured(folder, "join \"" + file + ".sio\" --to \"" + back + "\"");
        ASSERT_EQ(join.code, 0u) << join.err;
        EXPECT_TRUE(dir.Read("back \u00e9\\" + file) == Text(data));
    }
}

// Two names that a best-fit conversion makes one: the file named is the one
// split, and the pieces are named after it, never after its look-alike.
TEST(WindowsCli, TheFileNamedIsTheFileSplit) {
    drive::TempFolder dir;
    const std::string polish = "\u0142\u00f3d\u017a.bin";  // łódź.bin
    dir.Write(polish, support::Pattern(3000000, 1));
    dir.Write("l\u00f3dz.bin", support::Pattern(2500000, 2));  // lódz.bin
    dir.MakeFolder("out");
    const drive::Ran split = CliCaptured(dir.path, "split \"" + polish + "\" --to out --bytes 1200000");
    ASSERT_EQ(split.code, 0u) << split.err;
    EXPECT_EQ(dir.Size("out\\" + polish + ".0.spl"), 1200000u);
    EXPECT_EQ(dir.Size("out\\" + polish + ".2.spl"), 600000u);  // the look-alike would end in 100,000
    EXPECT_FALSE(dir.Exists("out\\l\u00f3dz.bin.0.spl"));
    const drive::Ran join = CliCaptured(dir.path, "join \"out\\" + polish + ".sio\" --to out");
    ASSERT_EQ(join.code, 0u) << join.err;
    EXPECT_TRUE(dir.Read("out\\" + polish) == Text(support::Pattern(3000000, 1)));
}

// Sources, destinations and pieces on paths of more than 260 characters.
TEST(WindowsCli, PathsLongerThan260Characters) {
    drive::TempFolder dir;
    std::string deep;
    for (int level = 0; level < 5; ++level) {
        deep += (level ? "\\" : "") + std::string(60, static_cast<char>('a' + level));
        dir.MakeFolder(deep);
    }
    const std::string source = dir.path + "\\" + deep + "\\\u0434\u043b\u0438\u043d\u043d\u044b\u0439.bin";
    ASSERT_GT(source.size(), 300u);
    const support::Bytes data = support::Pattern(300000);
    dir.Write(deep + "\\\u0434\u043b\u0438\u043d\u043d\u044b\u0439.bin", data);
    const std::string out = dir.MakeFolder(deep + "\\" + std::string(40, 'o'));
    const drive::Ran split = CliCaptured(dir.path, "split \"" + source + "\" --to \"" + out + "\" --kb 100");
    ASSERT_EQ(split.code, 0u) << split.err;
    const drive::Ran join =
        CliCaptured(dir.path, "join \"" + out + "\\\u0434\u043b\u0438\u043d\u043d\u044b\u0439.bin.sio\" --to \"" +
                                   out + "\"");
    ASSERT_EQ(join.code, 0u) << join.err;
    EXPECT_TRUE(dir.Read(deep + "\\" + std::string(40, 'o') + "\\\u0434\u043b\u0438\u043d\u043d\u044b\u0439.bin") ==
                Text(data));
}

// Go.bat run by cmd rebuilds the file byte for byte: the name in the OEM code
// page, and a set too long for one line on lines that append in order.
// Wine's cmd does not take the one-line form's "/B+" (Windows' cmd does):
// that form runs here with the same switches spaced out.
TEST(WindowsCli, GoBatRebuildsTheFileUnderCmd) {
    const struct {
        std::size_t size;
        const char* size_option;
        std::size_t lines;
    } sets[] = {{300000, "--kb 100", 1}, {1000000, "--bytes 1000", 0}};
    for (const auto& set : sets) {
        SCOPED_TRACE(set.size_option);
        drive::TempFolder dir;
        const std::string name = "caf\u00e9 100% \u00fcber.bin";
        const support::Bytes data = support::Pattern(set.size);
        dir.Write(name, data);
        const drive::Ran split = CliCaptured(dir.path, "split \"" + name + "\" " + set.size_option);
        ASSERT_EQ(split.code, 0u) << split.err;
        std::string batch = dir.Read("Go.bat");
        // OEM 437: \u00e9 is 0x82, \u00fc 0x81; no code page switch needed.
        EXPECT_NE(batch.find("\"caf\x82 100%% \x81" "ber.bin.0.spl\""), std::string::npos);
        EXPECT_EQ(batch.find("chcp"), std::string::npos);
        std::size_t lines = 0;
        for (std::size_t at = 0, end; (end = batch.find("\r\n", at)) != std::string::npos; at = end + 2) {
            EXPECT_LE(end - at, 8191u);
            ++lines;
        }
        if (set.lines) {
            EXPECT_EQ(lines, set.lines);
        } else {
            EXPECT_GT(lines, 1u);
        }
        for (std::size_t at; (at = batch.find(" /B+ ")) != std::string::npos;) batch.replace(at, 5, " /B + ");
        dir.Write("run.bat", batch);
        ASSERT_TRUE(DeleteFileW(platform::ExtendedPath(dir.path + "\\" + name).c_str()));
        EXPECT_EQ(drive::RunAndWait("cmd /c run.bat", 120000, dir.path), 0u);
        EXPECT_TRUE(dir.Read(name) == Text(data));
    }
}

}  // namespace
