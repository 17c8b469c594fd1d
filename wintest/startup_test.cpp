// What the host finds when it loads the plug-in and starts it: the exported
// entry, the descriptor, the windows, the menu, the title and the graphs.
#include <string.h>

#include "cp932_texts.h"
#include "support.h"

namespace {

std::string Bytes(const char *text, size_t size)
{
    return std::string(text, size);
}
#define CP932(key) Bytes(kCp932_##key, sizeof kCp932_##key)

// Where the descriptor field at a 32-bit offset lies in this build: after
// the three numbers every field is pointer-sized.
size_t FieldOffset(size_t offset32)
{
    if (offset32 < 12)
        return offset32;
    size_t index = (offset32 - 12) / 4;  // among the pointer-sized fields
    return (sizeof(void *) == 4 ? 12 : 16) + index * sizeof(void *);
}

uintptr_t Field(size_t offset32)
{
    const uint8_t *table = (const uint8_t *)host.table;
    if (offset32 < 12) {
        int32_t value;
        memcpy(&value, table + offset32, 4);
        return (uintptr_t)(uint32_t)value;
    }
    uintptr_t value;
    memcpy(&value, table + FieldOffset(offset32), sizeof value);
    return value;
}

bool InsidePlugin(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION region;
    return address != 0 && VirtualQuery((const void *)address, &region, sizeof region) != 0 &&
           region.AllocationBase == (void *)host.plugin;
}

TEST(Descriptor, IsExportedByNameAsOrdinalOne)
{
    ASSERT_TRUE(startUp.loaded);
    FARPROC byName = GetProcAddress(host.plugin, "GetFilterTable");
    EXPECT_NE(byName, nullptr);
    EXPECT_EQ((void *)GetProcAddress(host.plugin, MAKEINTRESOURCEA(1)), (void *)byName);
}

TEST(Descriptor, HoldsTheHostFieldsAtTheirOffsets)
{
    ASSERT_TRUE(startUp.loaded);
    enum Kind { kValue, kCallback, kText };
    struct Expected {
        size_t offset;
        Kind kind;
        uintptr_t value;
        std::string text;
    };
    const Expected fields[] = {
        {0, kValue, 0x0004C004, ""},
        {4, kValue, 512, ""},
        {8, kValue, 256, ""},
        {12, kText, 0, CP932(NAME)},
        {52, kCallback, 0, ""},
        {56, kCallback, 0, ""},
        {64, kCallback, 0, ""},
        {84, kText, 0, CP932(INFORMATION)},
        {116, kCallback, 0, ""},
        {120, kCallback, 0, ""},
    };
    for (size_t offset = 0; offset < 140; offset += 4) {
        SCOPED_TRACE(testing::Message() << "offset " << offset);
        const Expected *expected = NULL;
        for (const Expected &field : fields)
            if (field.offset == offset)
                expected = &field;
        uintptr_t value = Field(offset);
        if (expected == NULL) {
            // Everything else is zero, including the window and instance
            // fields, which the host fills in its own copy only.
            EXPECT_EQ(value, 0u);
        } else if (expected->kind == kValue) {
            EXPECT_EQ(value, expected->value);
        } else {
            ASSERT_TRUE(InsidePlugin(value));
            if (expected->kind == kText)
                EXPECT_EQ(std::string((const char *)value), expected->text);
        }
    }
}

TEST(Descriptor, IsNeverWrittenByThePlugin)
{
    // After start-up the host's copy carries the window and the instance;
    // the plug-in's record still has zeros there.
    ASSERT_EQ(startUp.result, 1);
    EXPECT_EQ(Field(100), 0u);
    EXPECT_EQ(Field(104), 0u);
    EXPECT_EQ(host.record.window, host.pluginWindow);
    EXPECT_EQ(host.record.instance, (HINSTANCE)host.plugin);
}

TEST(StartUp, SucceedsAndTitlesTheWindowWithGraphOne)
{
    EXPECT_EQ(startUp.result, 1);
    EXPECT_EQ(startUp.title, CP932(FIRST_TITLE));
}

TEST(StartUp, LeavesEveryGraphTheDiagonal)
{
    ASSERT_EQ(startUp.result, 1);
    EXPECT_EQ(startUp.savedSize, (int32_t)sizeof(GraphSet));
    GraphSet expected = DefaultBlock();
    // Byte for byte: slots 2..31 are zero in a fresh process.
    EXPECT_EQ(memcmp(&startUp.block, &expected, sizeof expected), 0);
}

TEST_F(PluginTest, TitleIsRealShiftJis)
{
    // The tests run with LC_ALL=ja_JP.UTF-8, which makes Wine's ANSI code
    // page 932; without it the bytes would read as other characters.
    ASSERT_EQ(GetACP(), 932u);
    EXPECT_EQ(TitleText(), L"グラフエディタ [1/64]");
}

TEST_F(PluginTest, EditorClassIsRegisteredAsTheEditorNeedsIt)
{
    HWND editor = EditorWindow();
    ASSERT_NE(editor, (HWND)NULL);
    char name[64] = {};
    GetClassNameA(editor, name, sizeof name);
    EXPECT_STREQ(name, "rivo grapheditor");
    // No double-click messages: a quick second click is a second press.
    EXPECT_EQ(GetClassLongPtrA(editor, GCL_STYLE), (ULONG_PTR)(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrA(editor, GCL_CBCLSEXTRA), 0u);
    EXPECT_EQ(GetClassLongPtrA(editor, GCL_CBWNDEXTRA), 0u);
    // Registered without an instance, so the system files it under the
    // process's program rather than the plug-in module.
    EXPECT_EQ(GetClassLongPtrA(editor, GCLP_HMODULE), (ULONG_PTR)GetModuleHandleW(NULL));
    EXPECT_EQ(GetClassLongPtrA(editor, GCLP_HBRBACKGROUND), (ULONG_PTR)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetClassLongPtrA(editor, GCLP_HICON), (ULONG_PTR)LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION));
    EXPECT_EQ(GetClassLongPtrA(editor, GCLP_HCURSOR), (ULONG_PTR)LoadCursorW(NULL, (LPCWSTR)IDC_ARROW));
    EXPECT_EQ(GetClassLongPtrA(editor, GCLP_MENUNAME), 0u);
}

TEST_F(PluginTest, EditorIsABorderlessChildFillingThePluginWindow)
{
    HWND editor = EditorWindow();
    ASSERT_NE(editor, (HWND)NULL);
    EXPECT_EQ(GetParent(editor), host.pluginWindow);
    EXPECT_EQ((DWORD)GetWindowLongW(editor, GWL_STYLE), (DWORD)(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongW(editor, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetDlgCtrlID(editor), 0);
    EXPECT_EQ(GetWindowTextLengthW(editor), 0);

    RECT client;
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, 512);
    EXPECT_EQ(client.bottom, 256);
    RECT outer;
    GetWindowRect(editor, &outer);
    EXPECT_EQ(outer.right - outer.left, 512);
    EXPECT_EQ(outer.bottom - outer.top, 256);

    // The plug-in window's client area is exactly the editor.
    RECT pluginClient;
    GetClientRect(host.pluginWindow, &pluginClient);
    EXPECT_EQ(pluginClient.right, 512);
    EXPECT_EQ(pluginClient.bottom, 256);
    POINT origin = {0, 0};
    ClientToScreen(host.pluginWindow, &origin);
    EXPECT_EQ(outer.left, origin.x);
    EXPECT_EQ(outer.top, origin.y);
}

TEST_F(PluginTest, PluginWindowIsFittedBelowItsMenuBar)
{
    ASSERT_NE(GetMenu(host.pluginWindow), (HMENU)NULL);
    // Fitted after the menu went on: the outer size is what the system
    // needs for a 512 x 256 client area under a caption and a menu bar.
    RECT expected = {0, 0, 512, 256};
    AdjustWindowRectEx(&expected, (DWORD)GetWindowLongW(host.pluginWindow, GWL_STYLE), TRUE,
                       (DWORD)GetWindowLongW(host.pluginWindow, GWL_EXSTYLE));
    RECT outer;
    GetWindowRect(host.pluginWindow, &outer);
    EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
    EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);

    MENUBARINFO bar;
    bar.cbSize = sizeof bar;
    ASSERT_TRUE(GetMenuBarInfo(host.pluginWindow, OBJID_MENU, 0, &bar));
    POINT origin = {0, 0};
    ClientToScreen(host.pluginWindow, &origin);
    EXPECT_LT(bar.rcBar.top, origin.y);
    EXPECT_GE(bar.rcBar.top, outer.top);
}

TEST_F(PluginTest, MenuListsTheControls)
{
    HMENU bar = GetMenu(host.pluginWindow);
    ASSERT_NE(bar, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    wchar_t text[128] = {};
    GetMenuStringW(bar, 0, text, 128, MF_BYPOSITION);
    EXPECT_STREQ(text, L"操作方法");
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_NE(popup, (HMENU)NULL);

    struct Item {
        UINT id;
        const wchar_t *text;  // null for a separator
    };
    const Item items[] = {
        {40005, L"ポイントの移動\t左クリック"},
        {40004, L"ポイントの追加/削除\tCtrl+左クリック"},
        {0, NULL},
        {40007, L"前のグラフを表示\t←"},
        {40008, L"次のグラフを表示\t→"},
        {0, NULL},
        {40009, L"グラフを初期化\tDelete"},
    };
    ASSERT_EQ(GetMenuItemCount(popup), (int)(sizeof items / sizeof items[0]));
    for (int i = 0; i < GetMenuItemCount(popup); i++) {
        SCOPED_TRACE(testing::Message() << "position " << i + 1);
        wchar_t label[128] = {};
        MENUITEMINFOW info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = label;
        info.cch = 128;
        ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
        EXPECT_EQ(info.hSubMenu, (HMENU)NULL);
        if (items[i].text == NULL) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
        } else {
            EXPECT_FALSE(info.fType & MFT_SEPARATOR);
            EXPECT_EQ(info.wID, items[i].id);
            EXPECT_STREQ(label, items[i].text);
        }
    }
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list)
{
    ((std::vector<WORD> *)list)->push_back(language);
    return TRUE;
}

TEST(MenuResource, IsJapaneseOnly)
{
    ASSERT_TRUE(startUp.loaded);
    std::vector<WORD> languages;
    EnumResourceLanguagesW(host.plugin, (LPCWSTR)RT_MENU, MAKEINTRESOURCEW(101), CollectLanguage,
                           (LONG_PTR)&languages);
    EXPECT_EQ(languages, std::vector<WORD>{1041});
}

}  // namespace
