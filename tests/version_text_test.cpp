#include <gtest/gtest.h>

#include "update/VersionText.h"

namespace {

TEST(VersionText, FirstLineWhenShortEnough) {
    const struct {
        std::string body;
        std::string shown;
    } cases[] = {
        {"7.0\r\nnotes", "7.0"},
        {"abcdefghij\n", "abcdefghij"},
        {"abcdefghij\r", "abcdefghij"},
        {"abcdefghij\r\nmore", "abcdefghij"},
        {"abcdefghijk\n", "Data unavailable from server"},
        {"abcdefghijk\r\n", "Data unavailable from server"},
        {"6.5", "6.5"},
        {"\r\n7.0", ""},  // an empty first line is a line: shown empty
        {"", "Data unavailable from server"},
        {"<html><body>404 Not Found</body></html>", "Data unavailable from server"},
        {std::string(5000, 'x'), "Data unavailable from server"},
    };
    for (const auto& c : cases) EXPECT_EQ(update::LatestVersionText(c.body), c.shown) << c.body.substr(0, 40);
}

}  // namespace
