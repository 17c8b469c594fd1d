#include "support.h"

#include <stdio.h>
#include <string.h>

#include "import_watch.h"

StartUpRecord startUp;

static std::wstring pluginPath;

std::wstring PathBesideProgram(const wchar_t *name)
{
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH * 2);
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
        length--;
    return std::wstring(path, length) + name;
}

void SetPluginPath(const wchar_t *path)
{
    pluginPath = path;
}

std::wstring PluginPath()
{
    return pluginPath.empty() ? PathBesideProgram(L"rivo_grapheditor.auf") : pluginPath;
}

void HostEnvironment::SetUp()
{
    startUp.loaded = HostLoadPlugin(PluginPath().c_str());
    ASSERT_TRUE(startUp.loaded) << "cannot load the plug-in";
    // Every test can then tell what the plug-in made, freed and touched.
    ASSERT_TRUE(WatchImports(host.plugin));
    ASSERT_TRUE(HostCreateWindows(GetModuleHandleW(NULL)));
    startUp.result = HostStartPlugin();
    char title[512] = {};
    GetWindowTextA(host.pluginWindow, title, sizeof title);
    startUp.title = title;
    startUp.savedSize = -1;
    HostSaveProject(NULL, &startUp.savedSize);
    HostSaveProject(&startUp.block, NULL);
    // Let the new windows settle: everything that start-up left pending is
    // painted here, not inside a test.
    MSG message;
    for (int round = 0; round < 1000 && PeekMessageW(&message, NULL, 0, 0, PM_REMOVE); round++)
        DispatchMessageW(&message);
    RedrawWindow(host.pluginWindow, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

HWND EditorWindow()
{
    return FindWindowExA(host.pluginWindow, NULL, "rivo grapheditor", NULL);
}

LRESULT SendKey(WPARAM key, LPARAM lParam)
{
    return SendMessageW(host.pluginWindow, WM_KEYDOWN, key, lParam);
}

LRESULT SendCommand(WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(host.pluginWindow, WM_COMMAND, wParam, lParam);
}

LPARAM MousePosition(int x, int y)
{
    return MAKELPARAM((WORD)(int16_t)x, (WORD)(int16_t)y);
}

void Press(int x, int y, bool ctrl)
{
    SendMessageW(EditorWindow(), WM_LBUTTONDOWN, MK_LBUTTON | (ctrl ? MK_CONTROL : 0), MousePosition(x, y));
}

void Move(int x, int y, WPARAM buttons)
{
    SendMessageW(EditorWindow(), WM_MOUSEMOVE, buttons, MousePosition(x, y));
}

void Release(int x, int y)
{
    SendMessageW(EditorWindow(), WM_LBUTTONUP, 0, MousePosition(x, y));
}

bool EditorNeedsPaint()
{
    return GetUpdateRect(EditorWindow(), NULL, FALSE) != FALSE;
}

RECT EditorUpdateRect()
{
    RECT rect = {};
    GetUpdateRect(EditorWindow(), &rect, FALSE);
    return rect;
}

void PaintNow()
{
    RedrawWindow(host.pluginWindow, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::string TitleBytes()
{
    char title[512] = {};
    GetWindowTextA(host.pluginWindow, title, sizeof title);
    return title;
}

std::wstring TitleText()
{
    wchar_t title[512] = {};
    GetWindowTextW(host.pluginWindow, title, 512);
    return title;
}

int CurrentGraphNumber()
{
    std::string title = TitleBytes();
    int number = 0, total = 0;
    size_t open = title.rfind('[');
    if (open == std::string::npos || sscanf(title.c_str() + open, "[%d/%d]", &number, &total) != 2)
        return 0;
    return number;
}

void ShowGraph(int number)
{
    // A title a test overwrote tells nothing: walk to graph 1, which
    // rewrites it.
    if (CurrentGraphNumber() == 0)
        for (int step = 0; step < 64; step++)
            SendKey(VK_LEFT);
    for (int step = 0; step < 70 && CurrentGraphNumber() > number; step++)
        SendKey(VK_LEFT);
    for (int step = 0; step < 70 && CurrentGraphNumber() < number; step++)
        SendKey(VK_RIGHT);
}

GraphSet SaveBlock()
{
    GraphSet set;
    memset(&set, 0xAB, sizeof set);
    HostSaveProject(&set, NULL);
    return set;
}

void LoadBlock(const GraphSet &set, int32_t size)
{
    HostLoadProject((void *)&set, size);
}

GraphSet DefaultBlock()
{
    GraphSet set;
    memset(&set, 0, sizeof set);
    for (Graph &graph : set.graphs)
        graph = MakeGraph({{0, 255}, {511, 0}});
    return set;
}

Graph MakeGraph(std::initializer_list<GraphPoint> points)
{
    Graph graph;
    memset(&graph, 0, sizeof graph);
    for (const GraphPoint &point : points)
        graph.points[graph.count++] = point;
    return graph;
}

void LoadShownGraph(const Graph &graph)
{
    GraphSet set = SaveBlock();
    set.graphs[CurrentGraphNumber() - 1] = graph;
    LoadBlock(set);
    InvalidateRect(EditorWindow(), NULL, TRUE);
    PaintNow();
}

Image CaptureEditor()
{
    PaintNow();
    HWND editor = EditorWindow();
    RECT client;
    GetClientRect(editor, &client);
    Image image;
    image.width = client.right;
    image.height = client.bottom;
    image.pixels.assign((size_t)image.width * image.height, 0);
    if (image.width <= 0 || image.height <= 0)
        return image;

    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC windowDc = GetDC(editor);
    void *bits = NULL;
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, image.width, image.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t *source = (const uint32_t *)bits;
    for (size_t i = 0; i < image.pixels.size(); i++)
        image.pixels[i] = source[i] & 0xFFFFFF;  // BGRA in memory is 0x00RRGGBB
    SelectObject(memoryDc, old);
    DeleteDC(memoryDc);
    DeleteObject(bitmap);
    ReleaseDC(editor, windowDc);
    return image;
}

// A plain 24-bit bitmap file, bottom row first, each row padded to four
// bytes; ImageMagick turns it into the PNG (wintest/CMakeLists.txt).
bool WriteBitmap(const std::wstring &path, const Image &image)
{
    const uint32_t rowSize = ((uint32_t)image.width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    memset(&file, 0, sizeof file);
    memset(&info, 0, sizeof info);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * (uint32_t)image.height;
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::vector<uint8_t> rows((size_t)rowSize * image.height, 0);
    for (int y = 0; y < image.height; y++) {
        uint8_t *row = &rows[(size_t)(image.height - 1 - y) * rowSize];
        for (int x = 0; x < image.width; x++) {
            uint32_t pixel = image.At(x, y);  // 0xRRGGBB; stored B G R
            row[3 * x] = (uint8_t)pixel;
            row[3 * x + 1] = (uint8_t)(pixel >> 8);
            row[3 * x + 2] = (uint8_t)(pixel >> 16);
        }
    }
    FILE *out = _wfopen(path.c_str(), L"wb");
    if (out == NULL)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(rows.data(), 1, rows.size(), out) == rows.size();
    return fclose(out) == 0 && written;
}

void PluginTest::SetUp()
{
    ASSERT_EQ(startUp.result, 1) << "the plug-in did not start";
    ASSERT_NE(EditorWindow(), (HWND)NULL);
    Release();  // ends a drag left by an earlier test
    ReleaseCapture();
    LoadBlock(DefaultBlock());
    ShowGraph(1);
    InvalidateRect(EditorWindow(), NULL, TRUE);
    PaintNow();
    ASSERT_EQ(CurrentGraphNumber(), 1);
    ASSERT_FALSE(EditorNeedsPaint());
}
