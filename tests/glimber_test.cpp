// Glimber through COM, as the shell uses it, and its registry entries.
#include <gtest/gtest.h>

#include "shellext/Identifiers.h"
#include "support/DropData.h"
#include "support/WindowDriver.h"
#include "platform/win32/WideText.h"

#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// A string value in UTF-8.
std::string ReadValue(HKEY root, const std::string& key, const char* name) {
    HKEY h;
    if (RegOpenKeyExW(root, platform::Widen(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    const std::wstring wideName = name ? platform::Widen(name) : L"";
    const LONG result = RegQueryValueExW(h, name ? wideName.c_str() : nullptr, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    return result == ERROR_SUCCESS ? platform::Narrow(data) : "<missing>";
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

const std::string kClsidKey = std::string("CLSID\\") + glimber::kClsidText;
const char kApproved[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

class Glimber : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        module = LoadLibraryA(drive::WindowsPath(GLIMBER_DLL).c_str());
        ASSERT_NE(module, nullptr);
        reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
        unreg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
        canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        getClass = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        ASSERT_TRUE(reg && unreg && canUnload && getClass);
        ASSERT_EQ(reg(), S_OK);
    }
    void TearDown() override {
        if (unreg) unreg();
        CoUninitialize();
    }

    // A handler from the module's own class object, initialised with `paths`.
    IContextMenu* Handler(const std::vector<std::string>& paths, HRESULT* init = nullptr) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        IShellExtInit* ext = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&ext)), S_OK);
        factory->Release();
        fake::DropData data(paths);
        const HRESULT result = ext->Initialize(nullptr, &data, nullptr);
        if (init) *init = result;
        IContextMenu* menu = nullptr;
        ext->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
        ext->Release();
        return menu;
    }

    HMODULE module = nullptr;
    HRESULT(WINAPI* reg)() = nullptr;
    HRESULT(WINAPI* unreg)() = nullptr;
    HRESULT(WINAPI* canUnload)() = nullptr;
    HRESULT(WINAPI* getClass)(REFCLSID, REFIID, void**) = nullptr;
};

std::string Label(HMENU menu, int position) {
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST_F(Glimber, MenuItemByExtension) {
    const struct {
        const char* file;
        const char* item;
        const char* help;
    } cases[] = {
        {"C:\\v\\Movie.avi", "Split to...", "Split the selected file"},
        {"C:\\v\\Movie.SPL", "&Rejoin to...", "Rejoin from split files"},
        {"C:\\v\\Movie.spl", "&Rejoin to...", "Rejoin from split files"},
        {"C:\\v\\Movie.sio", "&Rejoin to...", "Rejoin from split files"},
        {"C:\\v\\archive.spl.bak", "Split to...", "Split the selected file"},
        {"C:\\v\\README", "Split to...", "Split the selected file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        IContextMenu* handler = Handler({c.file});
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "Open");
        AppendMenuA(menu, MF_STRING, 2, "Corvane.Split");  // an earlier copy
        AppendMenuA(menu, MF_STRING, 3, "corvane.split");  // not the same label
        const HRESULT result = handler->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL);
        EXPECT_EQ(HRESULT_CODE(result), 1);
        // The earlier copy went, the new item stands at the given position,
        // and the label that differs in case stays.
        EXPECT_EQ(GetMenuItemCount(menu), 3);
        EXPECT_EQ(Label(menu, 0), "Open");
        EXPECT_EQ(Label(menu, 1), "Corvane.Split");
        EXPECT_EQ(Label(menu, 2), "corvane.split");
        HMENU sub = GetSubMenu(menu, 1);
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(Label(sub, 0), c.item);
        EXPECT_EQ(GetMenuItemID(sub, 0), 100u);

        char ansi[64] = {};
        EXPECT_EQ(handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi), S_OK);
        EXPECT_STREQ(ansi, c.help);
        wchar_t wide[64] = {};
        EXPECT_EQ(handler->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 64), S_OK);
        EXPECT_EQ(std::wstring(wide), std::wstring(c.help, c.help + strlen(c.help)));
        char small[6] = {};
        EXPECT_EQ(handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, small, sizeof small), S_OK);
        EXPECT_EQ(std::string(small), std::string(c.help).substr(0, 5));
        EXPECT_EQ(handler->GetCommandString(0, GCS_VERBA, nullptr, ansi, sizeof ansi), E_INVALIDARG);
        EXPECT_EQ(handler->GetCommandString(1, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi), E_INVALIDARG);
        DestroyMenu(menu);
        handler->Release();
    }
}

// Several files are split, or several files of sets rejoined, in turn; a
// selection with a folder in it, or sets mixed with other files, has no item.
TEST_F(Glimber, NoItemForFoldersOrAMixOfSetsAndFiles) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    for (const std::vector<std::string>& paths :
         {std::vector<std::string>{temp}, std::vector<std::string>{"C:\\a.txt", temp},
          std::vector<std::string>{"C:\\a.txt", "C:\\b.avi.sio"}, std::vector<std::string>{"C:\\b.avi.1.spl", "C:\\a.txt"}}) {
        HRESULT init = S_OK;
        IContextMenu* handler = Handler(paths, &init);
        EXPECT_EQ(init, E_INVALIDARG);
        handler->Release();
    }
    for (const auto& [paths, label] : {std::pair{std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}, "Split to..."},
                                        std::pair{std::vector<std::string>{"C:\\a.avi.sio", "C:\\b.avi.2.spl"}, "&Rejoin to..."}}) {
        HRESULT init = E_FAIL;
        IContextMenu* several = Handler(paths, &init);
        EXPECT_EQ(init, S_OK);
        HMENU menu = CreatePopupMenu();
        several->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL);
        EXPECT_EQ(Label(GetSubMenu(menu, 0), 0), label);
        DestroyMenu(menu);
        several->Release();
    }
    IContextMenu* handler = Handler({"C:\\a.txt"});
    HMENU menu = CreatePopupMenu();
    EXPECT_EQ(HRESULT_CODE(handler->QueryContextMenu(menu, 0, 1, 10, CMF_DEFAULTONLY)), 0);
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    DestroyMenu(menu);
    handler->Release();
}

// The program starts from the installed folder with the files as its
// arguments, whatever the names hold.
TEST_F(Glimber, InvokeStartsParvexFromTheInstalledPath) {
    drive::SettingsKeyGuard settings;
    const std::string install = drive::WindowsPath(STANDIN_DIR);
    const std::string record = install + "\\command.txt";
    const std::vector<std::vector<std::string>> selections = {
        {"D:\\Big files\\Big.iso"},
        {"D:\\\u6620\u753b\\\u00c9t\u00e9 & 100% \U0001F3AC.iso"},
        {"D:\\a.iso", "D:\\b c.iso", "D:\\d.iso"}};
    for (const std::vector<std::string>& files : selections) {
        SCOPED_TRACE(files.front());
        DeleteFileW(platform::Widen(record).c_str());
        settings.Set("Installed Path", install);
        IContextMenu* handler = Handler(files);
        HMENU menu = CreatePopupMenu();
        handler->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL);
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = MAKEINTRESOURCEA(1);
        EXPECT_EQ(handler->InvokeCommand(&info), E_INVALIDARG);
        info.lpVerb = "open";
        EXPECT_EQ(handler->InvokeCommand(&info), E_INVALIDARG);
        info.lpVerb = MAKEINTRESOURCEA(0);
        EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
        std::string recorded;
        drive::WaitUntil([&] {
            HANDLE h = CreateFileW(platform::Widen(record).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) return false;
            char text[1024] = {};
            DWORD got = 0;
            ReadFile(h, text, sizeof text - 1, &got, nullptr);
            CloseHandle(h);
            recorded = text;
            return !recorded.empty();
        });
        std::string expected = "\"" + install + "\\Parvex.exe\"";
        for (const std::string& file : files) expected += " \"" + file + "\"";
        EXPECT_EQ(recorded, expected);

        // Without an installed path nothing is started, and the shell hears so.
        DeleteFileW(platform::Widen(record).c_str());
        settings.Clear();
        EXPECT_EQ(handler->InvokeCommand(&info), E_FAIL);
        EXPECT_EQ(GetFileAttributesW(platform::Widen(record).c_str()), INVALID_FILE_ATTRIBUTES);
        DestroyMenu(menu);
        handler->Release();
    }
}

// The shell may initialise one object again for another selection: nothing
// of the earlier file may survive, not even after a refused selection.
TEST_F(Glimber, InitialisingAgainForgetsTheEarlierFile) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IShellExtInit* ext = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&ext)), S_OK);
    factory->Release();
    IContextMenu* handler = nullptr;
    ext->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&handler));
    fake::DropData first({"C:\\v\\Movie.avi"});
    fake::DropData second({"C:\\v\\Movie.avi.1.spl"});
    fake::DropData several({"C:\\a.txt", "C:\\b.avi.1.spl"});  // a mix: refused
    EXPECT_EQ(ext->Initialize(nullptr, &first, nullptr), S_OK);
    EXPECT_EQ(ext->Initialize(nullptr, &second, nullptr), S_OK);
    HMENU menu = CreatePopupMenu();
    handler->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL);
    EXPECT_EQ(Label(GetSubMenu(menu, 0), 0), "&Rejoin to...");
    DestroyMenu(menu);

    EXPECT_EQ(ext->Initialize(nullptr, &several, nullptr), E_INVALIDARG);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(handler->InvokeCommand(&info), E_UNEXPECTED);
    EXPECT_EQ(ext->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    handler->Release();
    ext->Release();
}

TEST_F(Glimber, UnloadOnlyWhenNothingIsAlive) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);  // the caller's reference to the class object
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    object->Release();
    EXPECT_EQ(canUnload(), S_OK);
    ASSERT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IContextMenu, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, nullptr), E_POINTER);
    IUnknown* none = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStream, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    factory->Release();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(getClass(IID_IStream, IID_IClassFactory, reinterpret_cast<void**>(&factory)), CLASS_E_CLASSNOTAVAILABLE);
}

// An outer object that counts the references its inner object hands it.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    IUnknown* inner = nullptr;
    ULONG references = 1;
};

TEST_F(Glimber, AggregatedHandlerDelegatesToItsOuterObject) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(glimber::kClsidSplitContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory->Release();
    IContextMenu* menu = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(outer.references, 2u);  // the interface's reference went to the outer object
    IUnknown* back = nullptr;
    menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
    EXPECT_EQ(back, static_cast<IUnknown*>(&outer));
    back->Release();
    menu->Release();
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(canUnload(), S_FALSE);  // the inner object is still alive
    outer.inner->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Glimber, ThroughComWithItsTypeLibrary) {
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(CoCreateInstance(glimber::kClsidSplitContext, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch)),
              S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    BSTR name = nullptr, doc = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    EXPECT_EQ(std::wstring(name), L"ISplitContext");
    EXPECT_EQ(std::wstring(doc), L"ISplitContext Interface");
    SysFreeString(name);
    SysFreeString(doc);
    info->Release();
    IUnknown* other = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IStream, reinterpret_cast<void**>(&other)), E_NOINTERFACE);
    dispatch->Release();
}

TEST_F(Glimber, RegistryEntriesAndTheirRemoval) {
    wchar_t path[MAX_PATH * 2];
    GetModuleFileNameW(module, path, MAX_PATH * 2);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\InprocServer32", nullptr), platform::Narrow(path));
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey, nullptr), "SplitContext Class");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\ProgID", nullptr), "Glimber.SplitContext.1");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\VersionIndependentProgID", nullptr), "Glimber.SplitContext");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey + "\\Programmable"));
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\TypeLib", nullptr), glimber::kLibidText);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "*\\shellex\\contextmenuhandlers\\Corvane.Split", nullptr),
              glimber::kClsidText);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "Glimber.SplitContext\\CurVer", nullptr), "Glimber.SplitContext.1");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "Glimber.SplitContext.1\\CLSID", nullptr), glimber::kClsidText);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, glimber::kClsidText), "Corvane.Split ContextMenuHandler");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + glimber::kLibidText));

    // Registering again rebuilds the class key from scratch.
    HKEY stale;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, (kClsidKey + "\\Stale").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stale,
                    nullptr);
    RegCloseKey(stale);
    EXPECT_EQ(reg(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey + "\\Stale"));

    // Unregistering leaves what others put beside the entries.
    HKEY other;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "*\\shellex\\contextmenuhandlers\\SomeoneElse", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &other, nullptr);
    RegCloseKey(other);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr);
    RegSetValueExA(other, "{00000000-1111-2222-3333-444444444444}", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(other);
    EXPECT_EQ(unreg(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\contextmenuhandlers\\Corvane.Split"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Glimber.SplitContext"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Glimber.SplitContext.1"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\contextmenuhandlers\\SomeoneElse"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, glimber::kClsidText), "<missing>");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, "{00000000-1111-2222-3333-444444444444}"), "x");
    EXPECT_EQ(unreg(), S_OK);  // nothing registered: still S_OK
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shellex\\contextmenuhandlers\\SomeoneElse");
}

}  // namespace

namespace {

// regsvr32 from folders whose names hold an apostrophe, a sign outside
// every code page's ASCII part, and CJK: the entries name the copy there.
TEST(GlimberRegsvr32, RegistersAndUnregistersFromAnyFolder) {
    for (const char* name : {"O'Brien's tools", "Programs \u20ac \u00e9t\u00e9", "\u5de5\u5177 \U0001F9F0"}) {
        SCOPED_TRACE(name);
        drive::TempFolder folder(name);
        const std::string dll = folder.path + "\\Glimber.dll";
        ASSERT_TRUE(CopyFileW(platform::Widen(drive::WindowsPath(GLIMBER_DLL)).c_str(), platform::Widen(dll).c_str(),
                              FALSE));
        EXPECT_EQ(drive::RunAndWait("regsvr32 /s \"" + dll + "\""), 0u);
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey + "\\InprocServer32", nullptr), dll);
        // The registered copy loads through COM from there.
        CoInitialize(nullptr);
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(glimber::kClsidSplitContext, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        if (object) object->Release();
        CoUninitialize();
        EXPECT_EQ(drive::RunAndWait("regsvr32 /u /s \"" + dll + "\""), 0u);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
    }
}

}  // namespace

namespace {

BOOL CALLBACK CollectMenu(HWND hwnd, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (process == GetCurrentProcessId() && std::string(cls) == "#32768" && IsWindowVisible(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    }
    return TRUE;
}

// The visible menus (#32768) this process has open.
std::vector<HWND> OpenMenus() {
    std::vector<HWND> menus;
    EnumWindows(CollectMenu, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

// With PARVEX_SHOTS set (scripts/screenshots.sh), the handler's item is shown
// open in a context menu for a piece.
TEST_F(Glimber, ContextMenuOnScreen) {
    const char* shots = std::getenv("PARVEX_SHOTS");
    if (!shots) GTEST_SKIP() << "PARVEX_SHOTS not set";
    IContextMenu* handler = Handler({"C:\\videos\\Movie.avi.3.spl"});
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "&Open");
    AppendMenuA(menu, MF_STRING, 2, "Cu&t");
    handler->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL);
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    bool shown = false;
    std::thread user([&] {
        if (!drive::WaitUntil([] { return !OpenMenus().empty(); })) return;
        HWND popup = OpenMenus().front();
        // Down twice to the item, right to open its submenu.
        for (UINT key : {VK_DOWN, VK_DOWN, VK_RIGHT}) PostMessageA(popup, WM_KEYDOWN, key, 0);
        shown = drive::WaitUntil([] { return OpenMenus().size() == 2; });
        const std::wstring ready = platform::Widen(std::string(shots) + "\\context-menu.ready");
        CloseHandle(CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        drive::WaitUntil([&] { return GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000);
        PostMessageA(owner, WM_CANCELMODE, 0, 0);
        drive::WaitUntil([] {
            for (HWND open : OpenMenus()) PostMessageA(open, WM_KEYDOWN, VK_ESCAPE, 0);
            return OpenMenus().empty();
        });
    });
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_LEFTALIGN, 200, 200, 0, owner, nullptr);
    user.join();
    EXPECT_TRUE(shown);
    DestroyWindow(owner);
    DestroyMenu(menu);
    handler->Release();
}

}  // namespace
