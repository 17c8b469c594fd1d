// The editor's mouse handling: Ctrl-clicks add and delete points, a plain
// click on a point starts a drag, moves drag with every clamp, the release
// ends it. Positions are 16-bit signed, so a captured mouse left of or above
// the editor gives negative coordinates.
#include <string.h>

#include "support.h"

namespace {

Graph ShownGraph()
{
    return SaveBlock().graphs[CurrentGraphNumber() - 1];
}

// Compares the points that count and the count.
::testing::AssertionResult SameCurve(const Graph &actual, const Graph &expected)
{
    bool same = actual.count == expected.count && actual.count >= 0 && actual.count <= kMaxPoints &&
                memcmp(actual.points, expected.points, sizeof(GraphPoint) * actual.count) == 0;
    if (same)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    for (const Graph *graph : {&actual, &expected}) {
        failure << (graph == &actual ? "actual:" : "\nexpected:");
        for (int32_t i = 0; i < graph->count && i < kMaxPoints; i++)
            failure << " (" << graph->points[i].x << "," << graph->points[i].y << ")";
    }
    return failure;
}

bool WholeEditorInvalid()
{
    RECT rect = EditorUpdateRect();
    return EditorNeedsPaint() && rect.left == 0 && rect.top == 0 && rect.right == 512 && rect.bottom == 256;
}

Graph FullGraph()
{
    Graph graph = MakeGraph({});
    for (int i = 0; i < 31; i++)
        graph.points[i] = {(int16_t)(i * 16), 128};
    graph.points[31] = {511, 128};
    graph.count = 32;
    return graph;
}

const Graph kDiagonal = MakeGraph({{0, 255}, {511, 0}});

TEST_F(PluginTest, CtrlClickAddsOrDeletesAPoint)
{
    const struct {
        const char *what;
        Graph before;
        int x, y;
        Graph after;  // unchanged means nothing is repainted
    } cases[] = {
        {"empty space takes the point in x order", kDiagonal, 200, 100,
         MakeGraph({{0, 255}, {200, 100}, {511, 0}})},
        {"the right edge is taken: one column left", kDiagonal, 511, 10,
         MakeGraph({{0, 255}, {510, 10}, {511, 0}})},
        {"column 0 is the first point's", kDiagonal, 0, 10, kDiagonal},
        {"taken columns are skipped leftwards", MakeGraph({{0, 255}, {100, 50}, {101, 60}, {511, 0}}), 101,
         200, MakeGraph({{0, 255}, {99, 200}, {100, 50}, {101, 60}, {511, 0}})},
        {"every column up to the click taken", MakeGraph({{0, 255}, {1, 200}, {2, 200}, {511, 0}}), 2, 100,
         MakeGraph({{0, 255}, {1, 200}, {2, 200}, {511, 0}})},
        {"the first point is never deleted", kDiagonal, 2, 253, kDiagonal},
        {"the last point is never deleted", kDiagonal, 509, 3, kDiagonal},
        {"an interior point within 4 pixels is deleted", MakeGraph({{0, 255}, {200, 100}, {511, 0}}), 204, 96,
         kDiagonal},
        {"5 pixels away is empty space", MakeGraph({{0, 255}, {200, 100}, {511, 0}}), 205, 100,
         MakeGraph({{0, 255}, {200, 100}, {205, 100}, {511, 0}})},
        {"overlapping squares: the higher index goes",
         MakeGraph({{0, 255}, {100, 100}, {105, 100}, {511, 0}}), 102, 100,
         MakeGraph({{0, 255}, {100, 100}, {511, 0}})},
        {"a full graph takes no more", FullGraph(), 300, 10, FullGraph()},
        {"a full graph still deletes", FullGraph(), 17, 129, [] {
             Graph g = FullGraph();
             memmove(&g.points[1], &g.points[2], sizeof(GraphPoint) * 30);
             g.count = 31;
             return g;
         }()},
        // Above the editor, as a captured press can be: -1, not 65535.
        {"a negative position hits the point it is near", MakeGraph({{0, 255}, {5, 2}, {511, 0}}), 3, -1,
         kDiagonal},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LoadShownGraph(c.before);
        Press(c.x, c.y, true);
        Graph after = ShownGraph();
        EXPECT_TRUE(SameCurve(after, c.after));
        bool changed = !SameCurve(c.before, c.after);
        EXPECT_EQ(EditorNeedsPaint(), changed);
        if (changed)
            EXPECT_TRUE(WholeEditorInvalid());
        // Ctrl-clicks never start a drag.
        EXPECT_EQ(GetCapture(), (HWND)NULL);
        PaintNow();
        Move(300, 200);
        EXPECT_TRUE(SameCurve(ShownGraph(), c.after));
        EXPECT_FALSE(EditorNeedsPaint());
        Release();
    }
}

TEST_F(PluginTest, DragMovesThePointWithEveryClamp)
{
    // Point 2 has neighbours at x 10 and 20.
    const Graph start = MakeGraph({{0, 200}, {10, 100}, {15, 120}, {20, 150}, {511, 50}});
    const struct {
        const char *what;
        int pressX, pressY;  // on the point to drag
        int moveX, moveY;
        int index;
        GraphPoint stored;
    } cases[] = {
        {"first point stays on the left edge", 1, 198, 300, -20, 0, {0, 0}},
        {"first point dragged far left", -3, 203, -100, 128, 0, {0, 128}},
        {"last point stays on the right edge", 510, 52, 50, 400, 4, {511, 255}},
        {"last point dragged above the editor", 511, 50, 600, -1, 4, {511, 0}},
        {"interior point stops right of its left neighbour", 15, 120, 5, 130, 2, {11, 130}},
        {"interior point at its left neighbour", 15, 120, 10, 130, 2, {11, 130}},
        {"interior point stops left of its right neighbour", 15, 120, 25, 90, 2, {19, 90}},
        {"interior point at its right neighbour", 15, 120, 20, 90, 2, {19, 90}},
        {"interior point moves freely between them", 15, 120, 17, 0, 2, {17, 0}},
        {"left of and above the editor", 15, 120, -30, -30, 2, {11, 0}},
        {"far right and below", 15, 120, 30000, 30000, 2, {19, 255}},
        {"the most negative position", 15, 120, -32768, -32768, 2, {11, 0}},
        {"bottom edge", 15, 120, 16, 255, 2, {16, 255}},
        {"just below the bottom edge", 15, 120, 16, 256, 2, {16, 255}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LoadShownGraph(start);
        int32_t renders = host.renderCount;
        Press(c.pressX, c.pressY);
        // The press only picks the point up: nothing is repainted.
        EXPECT_EQ(GetCapture(), EditorWindow());
        EXPECT_FALSE(EditorNeedsPaint());
        PaintNow();
        EXPECT_EQ(host.renderCount, renders);

        Move(c.moveX, c.moveY);
        Graph expected = start;
        expected.points[c.index] = c.stored;
        EXPECT_TRUE(SameCurve(ShownGraph(), expected));
        EXPECT_TRUE(WholeEditorInvalid());
        PaintNow();
        EXPECT_EQ(host.renderCount, renders + 1);

        // A move to where the point already is repaints all the same.
        Move(c.moveX, c.moveY);
        EXPECT_TRUE(WholeEditorInvalid());
        PaintNow();

        Release(c.moveX, c.moveY);
        EXPECT_EQ(GetCapture(), (HWND)NULL);
        EXPECT_FALSE(EditorNeedsPaint());
        Move(300, 30);
        EXPECT_TRUE(SameCurve(ShownGraph(), expected));
        EXPECT_FALSE(EditorNeedsPaint());
    }
}

TEST_F(PluginTest, DragLifecycle)
{
    LoadShownGraph(MakeGraph({{0, 255}, {200, 100}, {511, 0}}));

    // Without a drag, moves and releases do nothing.
    Move(200, 100);
    Release(200, 100);
    EXPECT_FALSE(EditorNeedsPaint());
    EXPECT_EQ(GetCapture(), (HWND)NULL);

    // A plain click on empty space starts nothing.
    Press(300, 200);
    EXPECT_EQ(GetCapture(), (HWND)NULL);
    EXPECT_FALSE(EditorNeedsPaint());
    Move(250, 50);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {200, 100}, {511, 0}})));
    EXPECT_FALSE(EditorNeedsPaint());

    // On a point it does; the move needs no held button.
    Press(198, 102);
    EXPECT_EQ(GetCapture(), EditorWindow());
    Move(250, 60, 0);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {250, 60}, {511, 0}})));
    PaintNow();

    // A Ctrl-click during the drag leaves the drag index alone: after an
    // insertion left of the dragged point, index 1 is the new point.
    Press(100, 200, true);
    EXPECT_EQ(GetCapture(), EditorWindow());
    Move(120, 30);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {120, 30}, {250, 60}, {511, 0}})));
    PaintNow();

    // A second plain click replaces the drag by its own hit: empty space.
    Press(400, 250);
    Move(130, 40);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {120, 30}, {250, 60}, {511, 0}})));
    EXPECT_FALSE(EditorNeedsPaint());

    // A second plain click on another point drags that one.
    Press(250, 60);
    Move(260, 70);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {120, 30}, {260, 70}, {511, 0}})));
    Release();
    EXPECT_EQ(GetCapture(), (HWND)NULL);
}

TEST_F(PluginTest, ReleaseAfterTheCaptureWentElsewhereLeavesItThere)
{
    LoadShownGraph(MakeGraph({{0, 255}, {200, 100}, {511, 0}}));
    Press(200, 100);
    ASSERT_EQ(GetCapture(), EditorWindow());

    // Another window of the host takes the mouse in the middle of the drag.
    // The drag goes on; the release ends it but must not take the capture
    // from the window that holds it now.
    SetCapture(host.mainWindow);
    Move(220, 90);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {220, 90}, {511, 0}})));
    Release(220, 90);
    EXPECT_EQ(GetCapture(), host.mainWindow);
    PaintNow();
    Move(300, 30);
    EXPECT_TRUE(SameCurve(ShownGraph(), MakeGraph({{0, 255}, {220, 90}, {511, 0}})));
    EXPECT_FALSE(EditorNeedsPaint());
    ReleaseCapture();
}

TEST_F(PluginTest, DragIndexSurvivesGraphSwitchAndReset)
{
    GraphSet set = DefaultBlock();
    set.graphs[0] = MakeGraph({{0, 255}, {100, 100}, {200, 50}, {511, 0}});
    set.graphs[2] = MakeGraph({{0, 200}, {50, 50}, {511, 100}});
    LoadBlock(set);
    InvalidateRect(EditorWindow(), NULL, TRUE);
    PaintNow();

    Press(200, 50);  // index 2 of graph 1
    ASSERT_EQ(GetCapture(), EditorWindow());

    // Graph 2 has no index 2: nothing moves, the editor still repaints.
    SendKey(VK_RIGHT);
    PaintNow();
    Move(300, 80);
    EXPECT_TRUE(WholeEditorInvalid());
    PaintNow();
    GraphSet now = SaveBlock();
    EXPECT_EQ(memcmp(&now, &set, sizeof now), 0);

    // In graph 3 index 2 is the last point: it stays on the right edge.
    SendKey(VK_RIGHT);
    Move(300, 80);
    set.graphs[2].points[2] = {511, 80};
    now = SaveBlock();
    EXPECT_EQ(memcmp(&now, &set, sizeof now), 0);

    // Back in graph 1 the same index is the point first picked up.
    SendKey(VK_LEFT);
    SendKey(VK_LEFT);
    Move(150, 60);
    set.graphs[0].points[2] = {150, 60};
    now = SaveBlock();
    EXPECT_EQ(memcmp(&now, &set, sizeof now), 0);

    // A reset during the drag leaves it pointing past the curve.
    SendKey(VK_DELETE);
    Move(160, 70);
    EXPECT_TRUE(SameCurve(ShownGraph(), kDiagonal));
    EXPECT_TRUE(WholeEditorInvalid());
    Release();
    EXPECT_EQ(GetCapture(), (HWND)NULL);
}

}  // namespace
