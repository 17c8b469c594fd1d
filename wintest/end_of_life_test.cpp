// The last checks of a run: a second start-up in the same process, which
// fails by design, and the shut-down. main() registers them after every
// other test, so nothing runs after them.
#include <string.h>

#include "cp932_texts.h"
#include "import_watch.h"
#include "support.h"

namespace {

std::string Bytes(const char *text, size_t size)
{
    return std::string(text, size);
}

// What the start-up failure showed, read from the message box itself.
struct SeenBox {
    int count;
    HWND owner;
    std::string caption;
    std::wstring captionText;
    std::string text;
    std::vector<int> buttons;  // visible buttons' ids
    bool exclamationIcon;
};
SeenBox seen;

BOOL CALLBACK InspectChild(HWND child, LPARAM)
{
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (lstrcmpiA(className, "Button") == 0 && (style & WS_VISIBLE))
        seen.buttons.push_back(GetDlgCtrlID(child));
    if (lstrcmpiA(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            HICON icon = (HICON)SendMessageW(child, STM_GETICON, 0, 0);
            seen.exclamationIcon = icon != NULL && icon == LoadIconW(NULL, (LPCWSTR)IDI_EXCLAMATION);
        } else {
            char text[256] = {};
            GetWindowTextA(child, text, sizeof text);
            if (text[0] != '\0')
                seen.text = text;
        }
    }
    return TRUE;
}

// Sees the box as it is activated, reads it and presses OK.
LRESULT CALLBACK WatchForMessageBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = (HWND)wParam;
        char className[16] = {};
        GetClassNameA(box, className, sizeof className);
        if (strcmp(className, "#32770") == 0) {
            seen.count++;
            seen.owner = GetWindow(box, GW_OWNER);
            char caption[256] = {};
            GetWindowTextA(box, caption, sizeof caption);
            seen.caption = caption;
            wchar_t captionText[256] = {};
            GetWindowTextW(box, captionText, 256);
            seen.captionText = captionText;
            EnumChildWindows(box, InspectChild, 0);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

int StartUpWatchingForTheBox()
{
    seen = SeenBox();
    HHOOK hook = SetWindowsHookExW(WH_CBT, WatchForMessageBox, NULL, GetCurrentThreadId());
    int result = HostStartPlugin();
    UnhookWindowsHookEx(hook);
    return result;
}

class StartUpAgainTest : public testing::Test {
public:
    void TestBody() override
    {
        ASSERT_EQ(startUp.result, 1);
        HWND editor = EditorWindow();
        ASSERT_NE(editor, (HWND)NULL);
        Graph shaped = MakeGraph({{0, 255}, {200, 100}, {511, 0}});
        LoadShownGraph(shaped);
        GraphSet before = SaveBlock();
        std::string title = TitleBytes();

        EXPECT_EQ(StartUpWatchingForTheBox(), 0);

        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.owner, host.mainWindow);  // the plug-in window's owner
        EXPECT_EQ(seen.caption, Bytes(kCp932_INFORMATION, sizeof kCp932_INFORMATION));
        EXPECT_EQ(seen.captionText, L"Rivoグラフエディタ 0.01");
        EXPECT_EQ(seen.text, Bytes(kCp932_INIT_FAILED, sizeof kCp932_INIT_FAILED));
        // MB_OK | MB_ICONEXCLAMATION: one OK button and the exclamation icon.
        EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(seen.exclamationIcon);

        // The failure touched no graph, no title and not the running editor.
        GraphSet after = SaveBlock();
        EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);
        EXPECT_EQ(TitleBytes(), title);
        EXPECT_EQ(EditorWindow(), editor);
        EXPECT_NE(GetMenu(host.pluginWindow), (HMENU)NULL);

        // The running editor keeps its pen and brush: it still draws in ink
        // with its point frames, and nothing was made or lost on the way.
        int32_t renders = host.renderCount;
        InvalidateRect(editor, NULL, TRUE);
        Image image = CaptureEditor();
        EXPECT_EQ(host.renderCount, renders + 1);
        int ink = 0, black = 0;
        for (uint32_t pixel : image.pixels) {
            ink += pixel == 0x404040;
            black += pixel == 0x000000;
        }
        EXPECT_GT(ink, 0);
        EXPECT_EQ(black, 0);
        EXPECT_EQ(image.At(196, 96), 0x404040u);  // a frame corner
        EXPECT_EQ(LiveGdiObjectsOfPlugin(), 2);
        EXPECT_EQ(LiveMenusOfPlugin(), 1);
        EXPECT_EQ(importWatch.strayCalls, 0) << importWatch.lastStray;
    }
};

class ShutDownTest : public testing::Test {
public:
    void TestBody() override
    {
        ASSERT_EQ(startUp.result, 1);
        HWND editor = EditorWindow();
        ASSERT_NE(editor, (HWND)NULL);
        GraphSet before = SaveBlock();
        std::string title = TitleBytes();

        EXPECT_EQ(HostStopPlugin(), 1);
        EXPECT_FALSE(IsWindow(editor));
        // Everything else stays: the host's window with menu and title, the
        // graphs, and the editor's class.
        EXPECT_TRUE(IsWindow(host.pluginWindow));
        EXPECT_NE(GetMenu(host.pluginWindow), (HMENU)NULL);
        EXPECT_EQ(TitleBytes(), title);
        GraphSet after = SaveBlock();
        EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);
        WNDCLASSEXA windowClass;
        windowClass.cbSize = sizeof windowClass;
        EXPECT_TRUE(GetClassInfoExA(GetModuleHandleW(NULL), "rivo grapheditor", &windowClass));

        // What shut-down left behind is not touched again: keys and commands
        // find no editor and answer 0, the title stays, nothing is
        // invalidated (with no editor, a null handle would mean the whole
        // desktop), and a second shut-down destroys nothing, though the old
        // editor's handle may name another window by now.
        int32_t windowCalls = importWatch.windowCalls;
        ValidateRect(host.mainWindow, NULL);
        for (WPARAM key : {VK_RIGHT, VK_LEFT, VK_DELETE})
            EXPECT_EQ(HostForwardMessage(WM_KEYDOWN, key, 1), 0) << key;
        for (WPARAM command : {40007, 40008, 40009, 1234})
            EXPECT_EQ(HostForwardMessage(WM_COMMAND, command, 0), 0) << command;
        EXPECT_EQ(HostStopPlugin(), 1);
        EXPECT_EQ(importWatch.windowCalls, windowCalls);
        EXPECT_EQ(importWatch.strayCalls, 0) << importWatch.lastStray;
        EXPECT_EQ(TitleBytes(), title);
        EXPECT_FALSE(GetUpdateRect(host.mainWindow, NULL, FALSE));
        after = SaveBlock();
        EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);

        // So opening the plug-in again in this process fails the same way,
        // and takes the pen and brush of the first start-up with it rather
        // than leaving them behind unreferenced; the menu is not stacked a
        // second time.
        EXPECT_EQ(LiveGdiObjectsOfPlugin(), 2);
        EXPECT_EQ(StartUpWatchingForTheBox(), 0);
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.owner, host.mainWindow);
        EXPECT_EQ(EditorWindow(), (HWND)NULL);
        EXPECT_EQ(LiveGdiObjectsOfPlugin(), 0);
        EXPECT_EQ(LiveMenusOfPlugin(), 1);
        EXPECT_EQ(importWatch.strayCalls, 0) << importWatch.lastStray;
    }
};

}  // namespace

void RegisterEndOfLifeTests()
{
    testing::RegisterTest("EndOfLife", "SecondStartUpFailsWithTheMessageBox", nullptr, nullptr, __FILE__,
                          __LINE__, []() -> testing::Test * { return new StartUpAgainTest; });
    testing::RegisterTest("EndOfLife", "ShutDownDestroysOnlyTheEditor", nullptr, nullptr, __FILE__, __LINE__,
                          []() -> testing::Test * { return new ShutDownTest; });
}
