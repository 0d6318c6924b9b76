// parvex-cli.exe under Wine, run as a user runs it, on real files.
#include <gtest/gtest.h>

#include <string>

#include "engine/Checksum.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "support/WindowDriver.h"

namespace {

// Runs parvex-cli.exe with `args` (UTF-8, quoted as needed) in `folder`.
DWORD Cli(const std::string& folder, const std::string& args) {
    return drive::RunAndWait("\"" + drive::WindowsPath(PARVEX_CLI_EXE) + "\" " + args, 600000, folder);
}

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
    std::uint64_t first = 0;
    platform::Win32Platform fs;
    EXPECT_EQ(fs.FileSize(dir.path + "\\parts\\disk.img.0.spl", first), 0u);
    EXPECT_EQ(first, 0xFFFFFFFFull);
    fs.Delete(source);
    ASSERT_EQ(Cli(dir.path, "join parts\\disk.img.1.spl --to back --remove-pieces"), 0u);
    EXPECT_EQ(ChecksumOfFile(dir.path + "\\back\\disk.img"), sum);
}

}  // namespace
