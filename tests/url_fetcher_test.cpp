// The fetch and the version dialog against real HTTP servers on 127.0.0.1
// (tests/http_fixture.py, started by the test script, which names its ports
// in PARVEX_HTTP_PORTS).
#include <gtest/gtest.h>

#include "support/WindowDriver.h"

#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/win32/WinApi.h"
#include "resources/resource.h"
#include "update/UrlFetcher.h"
#include "update/VersionDialog.h"

namespace {

struct Ports {
    int a = 0, b = 0, closed = 0;
};

Ports FixturePorts() {
    Ports ports;
    if (const char* text = std::getenv("PARVEX_HTTP_PORTS")) std::istringstream(text) >> ports.a >> ports.b >> ports.closed;
    return ports;
}

std::string At(int port, const std::string& path) { return "http://127.0.0.1:" + std::to_string(port) + path; }

class Fetch : public ::testing::Test {
protected:
    void SetUp() override {
        ports = FixturePorts();
        if (!ports.a) GTEST_SKIP() << "no HTTP fixture (run scripts/test-all.sh)";
    }
    Ports ports;
};

TEST_F(Fetch, AnswersRedirectsAndErrorPages) {
    const struct {
        std::string path;
        std::string body;
        bool failed;  // a redirect that leads nowhere sound says so
    } cases[] = {
        {"/updatecenter/split/version.info", "7.0\r\nnotes that follow\r\n", false},
        {"/redirect-other", "document on the other server", false},
        {"/chain", "body of the second redirect", false},
        {"/missing", "<html><body><h1>404 Not Found</h1></body></html>", false},
        {"/no-location", "", true},
        {"/bad-location", "", true},
    };
    for (const auto& c : cases) {
        update::UrlFetcher fetcher(At(ports.a, c.path), 1024);
        EXPECT_TRUE(fetcher.Run()) << c.path;
        EXPECT_EQ(fetcher.body(), c.body) << c.path;
        EXPECT_EQ(fetcher.errorText().empty(), !c.failed) << c.path;
    }
}

TEST_F(Fetch, OnlyHttpIsFetched) {
    for (const std::string& url : {"https://127.0.0.1:" + std::to_string(ports.a) + "/doc", std::string("ftp://127.0.0.1/x"),
                                  std::string("not an address")}) {
        update::UrlFetcher fetcher(url, 1024);
        EXPECT_FALSE(fetcher.Run()) << url;
        EXPECT_EQ(fetcher.body(), "");
        EXPECT_EQ(fetcher.errorText(), "");
    }
}

TEST_F(Fetch, NetworkFailuresKeepTheLibrarysMessage) {
    update::UrlFetcher refused(At(ports.closed, "/doc"), 1024);
    EXPECT_TRUE(refused.Run());
    EXPECT_EQ(refused.body(), "");
    EXPECT_NE(refused.errorText(), "");

    update::UrlFetcher silent(At(ports.a, "/silent"), 1024);
    silent.SetTimeout(1000);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(silent.Run());
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_NE(silent.errorText(), "");
}

TEST_F(Fetch, AnEndlessBodyIsCut) {
    update::UrlFetcher fetcher(At(ports.a, "/endless"), 1024);
    EXPECT_TRUE(fetcher.Run());
    EXPECT_EQ(fetcher.body().size(), update::UrlFetcher::kBodyLimit);
}

HWND WaitForTitle(const char* title) { return drive::WaitForDialog(GetCurrentProcessId(), title); }

TEST_F(Fetch, PasswordChallengeAnsweredInTheSystemsDialog) {
    bool asked = false;
    std::thread user([&] {
        HWND dialog = WaitForTitle("Authentication Required");
        if (!dialog) return;
        asked = true;
        SetDlgItemTextA(dialog, 1027, "reader");
        SetDlgItemTextA(dialog, 1028, "secret");
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    update::UrlFetcher fetcher(At(ports.a, "/auth"), 1024);
    EXPECT_TRUE(fetcher.Run());
    user.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(fetcher.body(), "authorized");
}

TEST_F(Fetch, VersionDialogShowsTheFirstLineAndOpensTheUpdatePage) {
    std::vector<std::string> opened;
    std::string shown, caption;
    bool stillOpen = false;
    std::thread user([&] {
        HWND dialog = WaitForTitle("Version dialog box");
        ASSERT_NE(dialog, nullptr);
        shown = drive::ItemText(dialog, IDC_LATEST_VERSION);
        SendMessageA(dialog, WM_COMMAND, IDC_GET_LATEST, 0);
        SendMessageA(dialog, WM_COMMAND, IDC_GET_LATEST, 0);
        stillOpen = IsWindowVisible(dialog) != FALSE;
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    update::CheckForUpdates(nullptr, At(ports.a, ""), [&](const std::string& page) {
        opened.push_back(page);
        return true;
    });
    user.join();
    EXPECT_EQ(shown, "7.0");
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(opened, std::vector<std::string>(2, At(ports.a, "/updatecenter/Split/index.htm")));
}

// The message is read whole, not selected, with the focus on OK; "Get
// latest" that cannot open the page gives its address instead of nothing.
TEST_F(Fetch, NothingReadShowsDataUnavailable) {
    std::string shown, notOpened, problem;
    DWORD selectionStart = 1, selectionEnd = 2;
    HWND focus = nullptr, ok = nullptr;
    std::thread user([&] {
        HWND dialog = WaitForTitle("Version dialog box");
        ASSERT_NE(dialog, nullptr);
        shown = drive::ItemText(dialog, IDC_LATEST_VERSION);
        problem = drive::ItemText(dialog, IDC_VERSION_PROBLEM);
        SendMessageW(GetDlgItem(dialog, IDC_LATEST_VERSION), EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                     reinterpret_cast<LPARAM>(&selectionEnd));
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
        focus = gui.hwndFocus;
        ok = GetDlgItem(dialog, IDOK);
        PostMessageA(dialog, WM_COMMAND, IDC_GET_LATEST, 0);
        notOpened = drive::AnswerBox(GetCurrentProcessId(), "Check for Updates", IDOK);
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    update::CheckForUpdates(nullptr, At(ports.closed, ""), [](const std::string&) { return false; });
    user.join();
    EXPECT_EQ(notOpened, "The update page could not be opened here.\nIts address is " +
                             At(ports.closed, "/updatecenter/Split/index.htm"));
    EXPECT_EQ(shown, "Data unavailable from server");
    // The cause, ended by one full stop.
    ASSERT_GE(problem.size(), 2u);
    EXPECT_EQ(problem.back(), '.');
    EXPECT_NE(problem.substr(problem.size() - 2), "..");
    EXPECT_EQ(selectionStart, selectionEnd);
    EXPECT_EQ(focus, ok);
}

}  // namespace
