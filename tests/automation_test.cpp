// "Halvard.Application" driven by real clients: Wine's cscript with JScript,
// and C++ through CoCreateInstance and IDispatch::Invoke; and the
// registration switches of the setup program.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/win32/WinApi.h"

#include <oleauto.h>
#include <tlhelp32.h>

#include "platform/win32/WideText.h"
#include "resources/resource.h"
#include "support/SplitFixture.h"
#include "support/WindowDriver.h"
#include "platform/win32/ScopedWin.h"

namespace {

const CLSID kClsid = {0x5E8B2F4A, 0x6C31, 0x4D7E, {0xA9, 0xB0, 0x3F, 0x1C, 0x72, 0xD4, 0xE8, 0xA5}};
const std::string kClsidText = "{5E8B2F4A-6C31-4D7E-A9B0-3F1C72D4E8A5}";

std::string ProgramPath() { return drive::WindowsPath(PARVEX_EXE); }

bool ParvexRunning() {
    platform::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Parvex.exe") == 0) return true;
    }
    return false;
}

// The server started for a client ends once the client has let go.
bool ServerEnds() { return drive::WaitUntil([] { return !ParvexRunning(); }, 10000); }

// A visible main window of any process.
HWND FindAnyMain() { return drive::FindMain(0); }

// An ordinary start writes the automation registration.
void RegisterByOrdinaryStart() {
    drive::Program ordinary(ProgramPath());
    HWND main = ordinary.Main();
    ASSERT_NE(main, nullptr);
    drive::Click(main, IDCANCEL);
    ASSERT_TRUE(ordinary.Ended());
}

// A path as a JScript string literal's content.
std::string JsString(const std::string& path) {
    std::string escaped;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

// A method with a string argument (or none) through IDispatch::Invoke.
HRESULT CallWithText(IDispatch* app, DISPID id, const std::string& text, VARIANT* result) {
    VARIANT argument;
    VariantInit(&argument);
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    if (!text.empty()) {
        argument.vt = VT_BSTR;
        argument.bstrVal = SysAllocString(platform::Widen(text).c_str());
        params = {&argument, nullptr, 1, 0};
    }
    const HRESULT hr = app->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    VariantClear(&argument);
    return hr;
}

TEST(Automation, ScriptDrivesASplit) {
    RegisterByOrdinaryStart();
    drive::TempFolder dir;
    dir.Write("tape.bin", support::Pattern(3000000));
    const std::string js =
        "try {\n"
        "  var app = new ActiveXObject('Halvard.Application');\n"
        "  app.Size('GB', 1);\n"
        "  app.Size('Mega Bytes', 2);\n"
        "  app.Size('floppy', 0);\n"
        "  app.Size('kb', 1440);\n"
        "  app.SourceFile('" + JsString(dir.path + "\\tape.bin") + "');\n"
        "  app.Destination('" + JsString(dir.path) + "');\n"
        "  var result = app.Run();\n"
        "  app = null;\n"
        "  CollectGarbage();\n"
        "  WScript.Quit(result === true ? 0 : 3);\n"
        "} catch (e) { WScript.Quit(2); }\n";
    const std::string script = dir.Write("drive.js", js);

    std::atomic<bool> done{false};
    std::thread user([&] {
        // The notice at the end of the split, answered as it comes.
        drive::WaitUntil(
            [&] {
                if (HWND notice = drive::FindDialog(0, "Read This")) drive::Click(notice, IDOK);
                return done.load();
            },
            60000);
    });
    const DWORD code = drive::RunAndWait("cscript //nologo \"" + script + "\"", 60000);
    done = true;
    user.join();
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(ServerEnds());
    EXPECT_EQ(dir.Size("tape.bin.0.spl"), 1440000u);
    EXPECT_EQ(dir.Size("tape.bin.2.spl"), 3000000u - 2u * 1440000u);
}

// Files added one by one are one queue for the next Run: each split into
// the folder, a summary naming each, and Run true only when all were done.
TEST(Automation, ScriptSplitsSeveralFilesInOneRun) {
    RegisterByOrdinaryStart();
    drive::TempFolder dir;
    dir.Write("a.bin", support::Pattern(2000000, 1));
    dir.Write("b.bin", support::Pattern(2500000, 2));
    const auto script = [&](const std::string& parts, const std::vector<std::string>& files) {
        dir.MakeFolder(parts);
        std::string js =
            "try {\n"
            "  var app = new ActiveXObject('Halvard.Application');\n"
            "  app.Size('kb', 1440);\n"
            "  app.Destination('" + JsString(dir.path + "\\" + parts) + "');\n";
        for (const std::string& file : files) js += "  app.AddFile('" + JsString(dir.path + "\\" + file) + "');\n";
        js += "  var result = app.Run();\n"
              "  app = null;\n"
              "  CollectGarbage();\n"
              "  WScript.Quit(result === true ? 0 : 3);\n"
              "} catch (e) { WScript.Quit(2); }\n";
        return dir.Write("queue.js", js);
    };
    for (const bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "one file missing" : "all there");
        const std::string parts = missing ? "some" : "all";
        const std::string path = script(parts, missing ? std::vector<std::string>{"a.bin", "gone.bin"}
                                                       : std::vector<std::string>{"a.bin", "b.bin"});
        std::atomic<bool> done{false};
        std::string summary;
        std::thread user([&] {
            drive::WaitUntil(
                [&] {
                    if (HWND notice = drive::FindDialog(0, "Read This")) drive::Click(notice, IDOK);
                    for (HWND box = drive::FindDialog(0, "Corvane.Split"); box; box = nullptr) {
                        const std::string text = drive::BoxText(box);
                        if (text.find(": ") != std::string::npos && text.find("a.bin") != std::string::npos) summary = text;
                        drive::Click(box, IDOK);
                    }
                    return done.load();
                },
                60000);
        });
        const DWORD code = drive::RunAndWait("cscript //nologo \"" + path + "\"", 60000);
        done = true;
        user.join();
        EXPECT_TRUE(ServerEnds());
        EXPECT_EQ(code, missing ? 3u : 0u);
        if (missing) {
            // The refusal is said under its file's line, not in a box of its own.
            EXPECT_EQ(summary.rfind("a.bin: done\ngone.bin: not started\n    Source file not defined", 0), 0u) << summary;
            EXPECT_NE(summary.find("\\gone.bin was not found.\n"), std::string::npos) << summary;
        } else {
            EXPECT_EQ(summary, "a.bin: done\nb.bin: done\n");
        }
        EXPECT_EQ(dir.Size(parts + "\\a.bin.1.spl"), 2000000u - 1440000u);
        if (!missing) {
            EXPECT_EQ(dir.Size(parts + "\\b.bin.1.spl"), 2500000u - 1440000u);
        }
    }
}

TEST(Automation, DispatchClientAndRefusals) {
    RegisterByOrdinaryStart();
    platform::ComScope com;
    platform::ComPtr<IDispatch> app;
    ASSERT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, app.ReceiveVoid()), S_OK);
    auto id = [&](const wchar_t* name) {
        DISPID dispid = -1;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        app->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid);
        return dispid;
    };
    EXPECT_EQ(id(L"run"), 1);
    EXPECT_EQ(id(L"SOURCEFILE"), 2);
    EXPECT_EQ(id(L"Destination"), 3);
    EXPECT_EQ(id(L"size"), 4);
    EXPECT_EQ(id(L"addfile"), 5);
    EXPECT_EQ(id(L"Explode"), DISPID_UNKNOWN);

    // Closing the window while the object is held only hides it.
    HWND main = nullptr;
    ASSERT_TRUE(drive::WaitUntil([&] { return (main = FindAnyMain()) != nullptr; }));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(drive::WaitUntil([&] { return !IsWindowVisible(main); }));
    EXPECT_TRUE(ParvexRunning());

    // Destination with a file: "Path is not a folder", answered by the user.
    drive::TempFolder dir;
    const std::string file = dir.Write("a.txt", support::Bytes(3));
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    std::string boxText;
    std::thread user([&] { boxText = drive::AnswerBox(process, "Corvane.Split", IDOK); });
    EXPECT_EQ(CallWithText(app.get(), 3, file, nullptr), S_OK);
    user.join();
    EXPECT_EQ(boxText, "Path is not a folder");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(app->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(app->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    app.Reset();
    EXPECT_TRUE(ServerEnds());
}

// A second client's Run while the first client's operation runs starts
// nothing and answers false; its SourceFile leaves the running split alone.
TEST(Automation, RunWhileAnOperationRunsIsRefused) {
    RegisterByOrdinaryStart();
    platform::ComScope com;
    platform::ComPtr<IDispatch> app;
    ASSERT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, app.ReceiveVoid()), S_OK);
    HWND main = nullptr;
    ASSERT_TRUE(drive::WaitUntil([&] { return (main = FindAnyMain()) != nullptr; }));
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    drive::TempFolder dir;
    // Long enough that the question is up before the split can end.
    dir.WriteSparse("big.bin", 1ull << 30);
    EXPECT_EQ(CallWithText(app.get(), 2, dir.path + "\\big.bin", nullptr), S_OK);
    EXPECT_EQ(CallWithText(app.get(), 3, dir.path, nullptr), S_OK);

    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, app.get(), &stream), S_OK);
    VARIANT secondRun;
    VariantInit(&secondRun);
    HRESULT secondResult = E_FAIL;
    std::string sourceAfter;
    bool questionSeen = false;
    std::thread other([&] {
        platform::ComScope otherCom;
        platform::ComPtr<IDispatch> again;
        CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, again.ReceiveVoid());
        drive::WaitUntil([&] { return dir.Exists("big.bin.0.spl"); });
        // Hold the worker at the suspension question while the calls arrive.
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND question = drive::WaitForDialog(process, "User interruption");
        questionSeen = question != nullptr;
        if (again) {
            secondResult = CallWithText(again.get(), 1, "", &secondRun);
            CallWithText(again.get(), 2, dir.path + "\\other.bin", nullptr);
            sourceAfter = drive::ItemText(main, IDC_SOURCE_PATH);
        }
        if (question) drive::Click(question, IDOK);
        if (HWND notice = drive::WaitForDialog(process, "Read This", 60000)) drive::Click(notice, IDOK);
    });
    VARIANT firstRun;
    VariantInit(&firstRun);
    EXPECT_EQ(CallWithText(app.get(), 1, "", &firstRun), S_OK);
    other.join();
    EXPECT_TRUE(questionSeen);
    EXPECT_EQ(firstRun.vt, VT_BOOL);
    EXPECT_EQ(firstRun.boolVal, VARIANT_TRUE);
    EXPECT_EQ(secondResult, S_OK);
    EXPECT_EQ(secondRun.vt, VT_BOOL);
    EXPECT_EQ(secondRun.boolVal, VARIANT_FALSE);
    EXPECT_EQ(sourceAfter, dir.path + "\\big.bin");
    // The one split ran to its end; nothing was made of the other file.
    std::uint64_t total = 0;
    for (int n = 0; dir.Exists("big.bin." + std::to_string(n) + ".spl"); ++n) {
        total += dir.Size("big.bin." + std::to_string(n) + ".spl");
    }
    EXPECT_EQ(total, 1ull << 30);
    EXPECT_FALSE(dir.Exists("other.bin.sio"));
    app.Reset();
    EXPECT_TRUE(ServerEnds());
}

std::string DefaultOf(HKEY root, const std::string& path) {
    platform::ScopedKey key;
    if (RegOpenKeyExW(root, platform::Widen(path).c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return "<no key>";
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    return result == ERROR_SUCCESS ? platform::Narrow(data) : "<missing>";
}

void SetDefault(HKEY root, const std::string& path, const std::string& value) {
    platform::ScopedKey key;
    ASSERT_EQ(RegCreateKeyExW(root, platform::Widen(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.Receive(), nullptr),
              ERROR_SUCCESS);
    const std::wstring wide = platform::Widen(value);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// The setup program's switches: the registration written (its server quoted,
// for paths with blanks) and removed with no window; a registration that
// names another copy of the program is kept. Where the machine takes the
// registration, a user gets none of their own.
TEST(Automation, RegistrationSwitches) {
    const std::string server = "CLSID\\" + kClsidText;
    const std::string user = "Software\\Classes\\";
    const std::string program = "\"" + ProgramPath() + "\"";
    // The user's own keys this test makes go on any way out of it.
    struct UserKeys {
        std::string server, progId;
        void Remove() const {
            RegDeleteTreeW(HKEY_CURRENT_USER, platform::Widen(server).c_str());
            RegDeleteTreeW(HKEY_CURRENT_USER, platform::Widen(progId).c_str());
        }
        ~UserKeys() { Remove(); }
    } userKeys{user + server, user + "Halvard.Application"};
    ASSERT_EQ(drive::RunAndWait(program + " /UnregServer", 20000), 0u);
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Halvard.Application"), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + "Halvard.Application"), "<no key>");

    ASSERT_EQ(drive::RunAndWait(program + " /RegServer", 20000), 0u);
    EXPECT_FALSE(ParvexRunning());
    EXPECT_EQ(_stricmp(DefaultOf(HKEY_CLASSES_ROOT, server + "\\LocalServer32").c_str(), program.c_str()), 0);
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, server + "\\ProgID"), "Halvard.Application");
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, "Halvard.Application\\CLSID"), kClsidText);
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + server), "<no key>");

    // The user's own registration belongs to another copy.
    SetDefault(HKEY_CURRENT_USER, user + server + "\\LocalServer32", "\"C:\\Elsewhere\\Parvex.exe\"");
    SetDefault(HKEY_CURRENT_USER, user + "Halvard.Application\\CLSID", kClsidText);
    ASSERT_EQ(drive::RunAndWait(program + " -unregserver", 20000), 0u);
    EXPECT_EQ(DefaultOf(HKEY_CLASSES_ROOT, server), "<no key>");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + server + "\\LocalServer32"), "\"C:\\Elsewhere\\Parvex.exe\"");
    EXPECT_EQ(DefaultOf(HKEY_CURRENT_USER, user + "Halvard.Application\\CLSID"), kClsidText);
    userKeys.Remove();
    RegisterByOrdinaryStart();  // as the other tests found it
    EXPECT_EQ(_stricmp(DefaultOf(HKEY_CLASSES_ROOT, server + "\\LocalServer32").c_str(), program.c_str()), 0);
}

}  // namespace
