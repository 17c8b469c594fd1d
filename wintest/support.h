// What the Windows tests share: the stand-in host with the real plug-in
// loaded and started once per process, and helpers that act on it the way a
// user and the host do.
#ifndef RIVO_WINTEST_SUPPORT_H
#define RIVO_WINTEST_SUPPORT_H

#include <stdint.h>
#include <initializer_list>
#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

#include "graph.h"
#include "host.h"

// Starts the plug-in once for the whole process: the editor's window class
// stays registered, so a second start-up in one process fails by design.
class HostEnvironment : public testing::Environment {
public:
    void SetUp() override;
};

// What start-up left behind, recorded before any test ran.
struct StartUpRecord {
    bool loaded;
    int result;           // FilterInit's answer
    GraphSet block;       // the project block saved right after start-up
    int32_t savedSize;    // the size query's answer right after start-up
    std::string title;    // the plug-in window's title bytes after start-up
};
extern StartUpRecord startUp;

// The plug-in file the tests load: the first non-option argument, else
// rivo_grapheditor.auf beside the test program.
void SetPluginPath(const wchar_t *path);
std::wstring PluginPath();
// A file beside the test program (where the PNG goes).
std::wstring PathBesideProgram(const wchar_t *name);

HWND EditorWindow();  // the plug-in's child of class "rivo grapheditor"

// The user's side.
LRESULT SendKey(WPARAM key, LPARAM lParam = 1);  // WM_KEYDOWN to the plug-in window
LRESULT SendCommand(WPARAM wParam, LPARAM lParam = 0);
void Press(int x, int y, bool ctrl = false);  // left button down on the editor
void Move(int x, int y, WPARAM buttons = MK_LBUTTON);
void Release(int x = 0, int y = 0);
LPARAM MousePosition(int x, int y);  // as Windows packs it: two 16-bit halves

// The window's side.
bool EditorNeedsPaint();          // an update region is pending
RECT EditorUpdateRect();
void PaintNow();                  // paints whatever is pending, synchronously
std::string TitleBytes();
std::wstring TitleText();
int CurrentGraphNumber();         // 1..64, read from the title
void ShowGraph(int number);       // steps with the arrow keys

// The project block through the descriptor's callbacks.
GraphSet SaveBlock();
void LoadBlock(const GraphSet &set, int32_t size = (int32_t)sizeof(GraphSet));
GraphSet DefaultBlock();          // every graph the diagonal, other slots zero
Graph MakeGraph(std::initializer_list<GraphPoint> points);
// The shown graph replaced through a project load; the window is repainted.
void LoadShownGraph(const Graph &graph);

// The editor's pixels as 0xRRGGBB, row by row from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};
Image CaptureEditor();
// A 24-bit .bmp file of the image.
bool WriteBitmap(const std::wstring &path, const Image &image);

// Back to a known state before each test: no drag, no capture, all graphs
// the default line, graph 1 shown, nothing waiting to be painted.
class PluginTest : public testing::Test {
protected:
    void SetUp() override;
};

#endif
