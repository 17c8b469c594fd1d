// Painting: what the editor draws, read back from the screen, and the redraw
// request every paint sends to the plug-in window.
#include <math.h>
#include <string.h>

#include "support.h"

namespace {

const uint32_t kWhite = 0xFFFFFF;
const uint32_t kInk = 0x404040;

// The 8 x 8 outline of the frame on a point: columns x-4..x+3, rows y-4..y+3.
bool OnFrame(const GraphPoint &p, int x, int y)
{
    bool inside = x >= p.x - 4 && x <= p.x + 3 && y >= p.y - 4 && y <= p.y + 3;
    return inside && (x == p.x - 4 || x == p.x + 3 || y == p.y - 4 || y == p.y + 3);
}

// Rows a line segment may touch in column x: between its heights half a
// column either side, one pixel of slack for the rasteriser.
void SegmentRows(const GraphPoint &a, const GraphPoint &b, int x, int *top, int *bottom)
{
    double slope = (double)(b.y - a.y) / (b.x - a.x);
    double left = a.y + slope * (fmax(x - 0.5, a.x) - a.x);
    double right = a.y + slope * (fmin(x + 0.5, b.x) - a.x);
    *top = (int)floor(fmin(left, right)) - 1;
    *bottom = (int)ceil(fmax(left, right)) + 1;
}

// Checks a capture against a graph: only white and ink; every frame pixel
// is ink; the polyline leaves ink in every column it crosses; and ink lies
// nowhere but on frames and close to the polyline.
void ExpectDrawing(const Image &image, const Graph &graph)
{
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 256);
    std::vector<char> allowed(512 * 256, 0);
    int badColour = 0, missingFrame = 0, strayInk = 0, gapColumns = 0;
    for (int32_t i = 0; i < graph.count; i++) {
        const GraphPoint &p = graph.points[i];
        for (int y = p.y - 4; y <= p.y + 3; y++)
            for (int x = p.x - 4; x <= p.x + 3; x++)
                if (x >= 0 && x < 512 && y >= 0 && y < 256 && OnFrame(p, x, y)) {
                    allowed[y * 512 + x] = 1;
                    missingFrame += image.At(x, y) != kInk;
                }
    }
    for (int32_t i = 0; i + 1 < graph.count; i++) {
        const GraphPoint &a = graph.points[i], &b = graph.points[i + 1];
        // The end column too: a steep segment climbs in it before the
        // next one takes over.
        for (int x = a.x; x <= b.x; x++) {
            int top, bottom;
            SegmentRows(a, b, x, &top, &bottom);
            bool inked = false;
            for (int y = top < 0 ? 0 : top; y <= bottom && y < 256; y++) {
                allowed[y * 512 + x] = 1;
                inked = inked || image.At(x, y) == kInk;
            }
            if (x < b.x)
                gapColumns += !inked;
        }
    }
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            uint32_t pixel = image.At(x, y);
            badColour += pixel != kWhite && pixel != kInk;
            strayInk += pixel == kInk && !allowed[y * 512 + x];
        }
    EXPECT_EQ(badColour, 0) << "pixels neither white nor 0x404040";
    EXPECT_EQ(missingFrame, 0) << "point frame pixels not drawn";
    EXPECT_EQ(gapColumns, 0) << "columns the polyline does not reach";
    EXPECT_EQ(strayInk, 0) << "ink away from the frames and the polyline";
}

void ShowAndCheck(const Graph &graph)
{
    LoadShownGraph(graph);
    ExpectDrawing(CaptureEditor(), graph);
}

TEST_F(PluginTest, DrawsTheDefaultDiagonal)
{
    ShowAndCheck(MakeGraph({{0, 255}, {511, 0}}));
}

TEST_F(PluginTest, DrawsPolylineAndFramesExactly)
{
    // Level segments rasterise one way only, so every pixel is known: row
    // 128 from column 0 to 510 (a line leaves out its end point) and the
    // frame outlines, clipped at the edges.
    const Graph graph = MakeGraph({{0, 128}, {256, 128}, {511, 128}});
    LoadShownGraph(graph);
    Image image = CaptureEditor();
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 256);
    int wrong = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            bool ink = (y == 128 && x <= 510);
            for (int32_t i = 0; i < graph.count; i++)
                ink = ink || OnFrame(graph.points[i], x, y);
            if (image.At(x, y) != (ink ? kInk : kWhite)) {
                if (wrong++ < 10)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << image.At(x, y);
            }
        }
    EXPECT_EQ(wrong, 0);
    // Spot checks of the rows and columns a frame covers.
    EXPECT_EQ(image.At(252, 124), kInk);
    EXPECT_EQ(image.At(259, 131), kInk);
    EXPECT_EQ(image.At(251, 124), kWhite);
    EXPECT_EQ(image.At(260, 131), kWhite);
    EXPECT_EQ(image.At(255, 123), kWhite);
    EXPECT_EQ(image.At(255, 132), kWhite);
    EXPECT_EQ(image.At(253, 125), kWhite);
}

TEST_F(PluginTest, DrawsShapedGraphsAndWritesThePicture)
{
    const Graph graphs[] = {
        MakeGraph({{0, 0}, {511, 255}}),
        MakeGraph({{0, 255}, {1, 0}, {2, 255}, {511, 0}}),
        MakeGraph({{0, 128}, {3, 0}, {508, 255}, {511, 128}}),
    };
    for (const Graph &graph : graphs)
        ShowAndCheck(graph);

    // Shaped through the editor itself: Ctrl-clicks add points, drags move
    // them, one end is dragged up; then the editor repaints from scratch,
    // the old lines erased.
    LoadShownGraph(MakeGraph({{0, 255}, {511, 0}}));
    const int clicks[][2] = {{64, 200}, {128, 40}, {200, 150}, {256, 230}, {330, 60}, {400, 120}, {460, 20}};
    for (const auto &click : clicks)
        Press(click[0], click[1], true);
    Press(511, 0);
    Move(511, 90);
    Release();
    Press(200, 150);
    Move(190, 110);
    Release();
    Image image = CaptureEditor();
    Graph shaped = SaveBlock().graphs[0];
    ASSERT_EQ(shaped.count, 9);
    ExpectDrawing(image, shaped);
    std::wstring path = PathBesideProgram(L"editor-shaped-graph.bmp");
    EXPECT_TRUE(WriteBitmap(path, image));
}

TEST_F(PluginTest, EveryChangeRepaintsOnAWhiteBackground)
{
    // Graph 1 is shaped, graph 2 the diagonal. Each change comes right after
    // a full paint, so lines left from before would show as stray ink.
    const Graph shaped = MakeGraph({{0, 255}, {100, 20}, {200, 230}, {300, 20}, {511, 0}});
    const Graph diagonal = MakeGraph({{0, 255}, {511, 0}});
    const struct {
        const char *what;
        int startGraph;
        void (*change)();
        Graph shown;
    } cases[] = {
        {"a drag", 1, [] { Press(100, 20); Move(100, 240); Release(); },
         MakeGraph({{0, 255}, {100, 240}, {200, 230}, {300, 20}, {511, 0}})},
        {"a deletion", 1, [] { Press(200, 230, true); }, MakeGraph({{0, 255}, {100, 20}, {300, 20}, {511, 0}})},
        {"an insertion", 1, [] { Press(400, 250, true); },
         MakeGraph({{0, 255}, {100, 20}, {200, 230}, {300, 20}, {400, 250}, {511, 0}})},
        {"the next graph", 1, [] { SendKey(VK_RIGHT); }, diagonal},
        {"the previous graph", 2, [] { SendCommand(40007); }, shaped},
        {"a reset", 1, [] { SendKey(VK_DELETE); }, diagonal},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GraphSet set = DefaultBlock();
        set.graphs[0] = shaped;
        LoadBlock(set);
        ShowGraph(c.startGraph);
        InvalidateRect(EditorWindow(), NULL, TRUE);
        PaintNow();
        c.change();
        ExpectDrawing(CaptureEditor(), c.shown);
    }
}

// The host's view of the redraw requests.
std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> forwarded;

void RecordForward(UINT message, WPARAM wParam, LPARAM lParam, int)
{
    forwarded.push_back({message, {wParam, lParam}});
}

class RedrawRequestTest : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        forwarded.clear();
        host.forwardHook = RecordForward;
    }
    void TearDown() override { host.forwardHook = NULL; }
};

TEST_F(RedrawRequestTest, EveryPaintSendsExactlyOne)
{
    HWND editor = EditorWindow();
    const struct {
        const char *what;
        void (*invalidate)(HWND editor);
    } ways[] = {
        {"whole editor", [](HWND e) { InvalidateRect(e, NULL, TRUE); }},
        {"without erasing", [](HWND e) { InvalidateRect(e, NULL, FALSE); }},
        {"a few pixels", [](HWND e) {
             RECT r = {10, 10, 12, 12};
             InvalidateRect(e, &r, TRUE);
         }},
        {"two separate areas", [](HWND e) {
             RECT a = {0, 0, 5, 5}, b = {400, 200, 500, 250};
             InvalidateRect(e, &a, TRUE);
             InvalidateRect(e, &b, TRUE);
         }},
        {"the plug-in window and its children", [](HWND) {
             RedrawWindow(host.pluginWindow, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
         }},
        {"hidden and shown again", [](HWND e) {
             ShowWindow(e, SW_HIDE);
             ShowWindow(e, SW_SHOWNA);
         }},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.what);
        forwarded.clear();
        int32_t renders = host.renderCount;
        way.invalidate(editor);
        ASSERT_TRUE(EditorNeedsPaint());
        UpdateWindow(editor);
        EXPECT_FALSE(EditorNeedsPaint());
        ASSERT_EQ(forwarded.size(), 1u);
        EXPECT_EQ(forwarded[0].first, (UINT)WM_COMMAND);
        EXPECT_EQ(forwarded[0].second.first, (WPARAM)1234);
        EXPECT_EQ(forwarded[0].second.second, (LPARAM)0);
        EXPECT_EQ(host.renderCount, renders + 1);
    }

    // No paint, no request.
    forwarded.clear();
    UpdateWindow(editor);
    PaintNow();
    EXPECT_TRUE(forwarded.empty());
}

TEST_F(RedrawRequestTest, DeleteRendersOnceForItselfAndOnceForItsPaint)
{
    LoadShownGraph(MakeGraph({{0, 255}, {100, 100}, {511, 0}}));
    forwarded.clear();
    int32_t renders = host.renderCount;
    SendKey(VK_DELETE);
    EXPECT_EQ(host.renderCount, renders + 1);
    PaintNow();
    EXPECT_EQ(host.renderCount, renders + 2);
    ASSERT_EQ(forwarded.size(), 2u);
    EXPECT_EQ(forwarded[0].first, (UINT)WM_KEYDOWN);
    EXPECT_EQ(forwarded[1].first, (UINT)WM_COMMAND);
    EXPECT_EQ(forwarded[1].second.first, (WPARAM)1234);
}

}  // namespace
