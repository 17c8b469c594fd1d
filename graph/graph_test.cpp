#include "graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string.h>

namespace {

Graph MakeGraph(std::initializer_list<GraphPoint> points)
{
    Graph graph;
    memset(&graph, 0, sizeof graph);
    int32_t n = 0;
    for (const GraphPoint &p : points)
        graph.points[n++] = p;
    graph.count = n;
    return graph;
}

bool SamePoints(const Graph &a, const Graph &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

// --- graph set ---------------------------------------------------------

TEST(GraphSet, IsZeroUntilResetThenHoldsTheDiagonalEverywhere)
{
    // This test binary never starts the plug-in, so the set is as loaded.
    for (const Graph &graph : graphSet.graphs)
        EXPECT_EQ(graph.count, 0);

    ResetAllGraphs();
    for (const Graph &graph : graphSet.graphs) {
        ASSERT_EQ(graph.count, 2);
        EXPECT_EQ(graph.points[0].x, 0);
        EXPECT_EQ(graph.points[0].y, 255);
        EXPECT_EQ(graph.points[1].x, 511);
        EXPECT_EQ(graph.points[1].y, 0);
        EXPECT_TRUE(IsValidGraph(&graph));
    }
}

TEST(GraphSet, ResetKeepsTheSlotsBeyondTheTwoEnds)
{
    Graph graph = MakeGraph({{0, 10}, {100, 20}, {200, 30}, {300, 40}, {511, 50}});
    ResetGraph(&graph);
    EXPECT_EQ(graph.count, 2);
    EXPECT_EQ(graph.points[0].x, 0);
    EXPECT_EQ(graph.points[0].y, 255);
    EXPECT_EQ(graph.points[1].x, 511);
    EXPECT_EQ(graph.points[1].y, 0);
    EXPECT_EQ(graph.points[2].x, 200);
    EXPECT_EQ(graph.points[3].x, 300);
    EXPECT_EQ(graph.points[4].x, 511);
    EXPECT_EQ(graph.points[4].y, 50);
}

TEST(GraphSet, ValidityCheckNamesEveryBrokenInvariant)
{
    struct Case {
        const char *what;
        Graph graph;
        bool valid;
    } cases[] = {
        {"diagonal", MakeGraph({{0, 255}, {511, 0}}), true},
        {"three points", MakeGraph({{0, 0}, {1, 255}, {511, 0}}), true},
        {"one point", MakeGraph({{0, 0}}), false},
        {"first not at 0", MakeGraph({{1, 0}, {511, 0}}), false},
        {"last not at 511", MakeGraph({{0, 0}, {510, 0}}), false},
        {"equal x", MakeGraph({{0, 0}, {100, 0}, {100, 0}, {511, 0}}), false},
        {"x going back", MakeGraph({{0, 0}, {200, 0}, {100, 0}, {511, 0}}), false},
        {"y below 0", MakeGraph({{0, -1}, {511, 0}}), false},
        {"y above 255", MakeGraph({{0, 0}, {511, 256}}), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsValidGraph(&c.graph), c.valid) << c.what;

    Graph graph = MakeGraph({{0, 0}, {511, 0}});
    for (int32_t count : {-5, 0, 1, 33, 1000, INT32_MIN}) {
        graph.count = count;
        EXPECT_FALSE(IsValidGraph(&graph)) << count;
    }
}

// --- evaluation --------------------------------------------------------

struct Expected {
    int32_t position;
    int32_t value;
};

void ExpectValues(const Graph &graph, std::initializer_list<Expected> table, const char *what)
{
    for (const Expected &e : table)
        EXPECT_EQ(EvaluateGraph(e.position, &graph), e.value) << what << " at " << e.position;
}

TEST(EvaluateGraph, InterpolatesWithTruncationTowardTheLeftPoint)
{
    ExpectValues(MakeGraph({{0, 255}, {511, 0}}),
                 {{0, 0}, {1, 0}, {255, 127}, {256, 127}, {510, 254}, {511, 255}, {-1, 0}, {600, 255}},
                 "rising diagonal");
    ExpectValues(MakeGraph({{0, 0}, {511, 255}}),
                 {{0, 255}, {1, 255}, {3, 254}, {255, 128}, {511, 0}},
                 "falling diagonal");
    ExpectValues(MakeGraph({{0, 255}, {100, 55}, {511, 0}}),
                 {{50, 100}, {99, 198}, {100, 200}, {101, 200}, {300, 226}, {511, 255}},
                 "three points");
    ExpectValues(MakeGraph({{0, 255}, {511, 0}}),
                 {{INT32_MIN, 0}, {INT32_MAX, 255}, {512, 255}},
                 "far outside");
}

TEST(EvaluateGraph, AGraphWithoutAUsableCountEvaluatesAsTheDiagonal)
{
    Graph graph = MakeGraph({{0, 100}, {300, 7}, {511, 100}});
    for (int32_t count : {-5, 0, 1, 33, 1000, INT32_MIN}) {
        graph.count = count;
        Graph before = graph;
        ExpectValues(graph, {{0, 0}, {255, 127}, {511, 255}, {-1, 0}, {600, 255}}, "bad count");
        EXPECT_TRUE(SamePoints(graph, before));
    }
}

TEST(EvaluateGraph, ForeignSlotsGiveAValueInRangeWithoutDividingByZero)
{
    struct Case {
        const char *what;
        Graph graph;
    } cases[] = {
        {"all points on one x", MakeGraph({{5, 0}, {5, 255}, {5, 10}})},
        {"x going back", MakeGraph({{511, 0}, {0, 255}})},
        {"extreme coordinates", MakeGraph({{-32768, 32767}, {32767, -32768}})},
        {"extreme y, close x", MakeGraph({{0, -32768}, {1, 32767}, {2, -32768}})},
    };
    for (const Case &c : cases) {
        for (int32_t position = -2; position <= 513; position++) {
            int32_t value = EvaluateGraph(position, &c.graph);
            ASSERT_GE(value, 0) << c.what << " at " << position;
            ASSERT_LE(value, 255) << c.what << " at " << position;
        }
    }

    // Slots of pure noise with every usable count: the search stays within
    // the curve's own slots and the arithmetic within its width.
    std::mt19937 random(99);
    for (int32_t round = 0; round < 3000; round++) {
        Graph graph;
        for (GraphPoint &p : graph.points)
            p = {(int16_t)random(), (int16_t)random()};
        graph.count = 2 + round % (kMaxPoints - 1);
        for (int32_t position = -2; position <= 513; position++) {
            int32_t value = EvaluateGraph(position, &graph);
            ASSERT_TRUE(value >= 0 && value <= 255) << "round " << round << " at " << position;
        }
    }
}

// The evaluation as first written: a scan from the left for the segment,
// then the interpolation. The faster search must agree with it bit for bit
// on every valid graph.
int32_t ScanEvaluate(int32_t position, const Graph &graph)
{
    const GraphPoint *p = graph.points;
    int32_t n = graph.count;
    if (position < 0)
        return 255 - p[0].y;
    if (position >= 512)
        return 255 - p[n - 1].y;
    int32_t i = 0;
    while (i < n - 1 && position >= p[i + 1].x)
        i++;
    if (i == n - 1)
        i = n - 2;
    return 255 - p[i].y + (p[i].y - p[i + 1].y) * (position - p[i].x) / (p[i + 1].x - p[i].x);
}

// A valid graph of count points, its x and y drawn from the given ranges
// of the editor's, and the slots beyond count filled with noise.
Graph RandomValidGraph(std::mt19937 &random, int32_t count, int32_t xLow, int32_t xHigh)
{
    Graph graph;
    for (GraphPoint &p : graph.points)
        p = {(int16_t)random(), (int16_t)random()};
    bool used[kGraphWidth] = {};
    int32_t xs[kMaxPoints] = {0};
    for (int32_t n = 1; n < count - 1;) {
        int32_t x = xLow + (int32_t)(random() % (uint32_t)(xHigh - xLow + 1));
        if (!used[x])
            used[x] = true, xs[n++] = x;
    }
    std::sort(xs + 1, xs + count - 1);
    xs[count - 1] = kMaxX;
    for (int32_t i = 0; i < count; i++) {
        uint32_t r = random();
        // Extremes often, so that steep and flat segments both come up.
        int32_t y = r % 4 == 0 ? 0 : r % 4 == 1 ? kMaxY : (int32_t)(r / 4 % kGraphHeight);
        graph.points[i] = {(int16_t)xs[i], (int16_t)y};
    }
    graph.count = count;
    return graph;
}

TEST(EvaluateGraph, TheSegmentSearchAgreesWithTheScanOnEveryValidGraph)
{
    std::mt19937 random(5150);
    struct Shape {
        const char *what;
        int32_t xLow, xHigh;
    } shapes[] = {
        {"spread", 1, 510},
        {"crowded at the left", 1, 40},
        {"crowded at the right", 470, 510},
        {"crowded in the middle", 240, 280},
    };
    for (const Shape &shape : shapes) {
        for (int32_t round = 0; round < 40; round++) {
            for (int32_t count = 2; count <= kMaxPoints; count++) {
                Graph graph = RandomValidGraph(random, count, shape.xLow, shape.xHigh);
                ASSERT_TRUE(IsValidGraph(&graph));
                for (int32_t position = -600; position <= 1200; position++)
                    ASSERT_EQ(EvaluateGraph(position, &graph), ScanEvaluate(position, graph))
                        << shape.what << ", " << count << " points, at " << position;
            }
        }
    }
}

// --- point editing -----------------------------------------------------

TEST(HitTestPoint, FindsThePointWithinFourPixelsAndPrefersTheHigherIndex)
{
    Graph graph = MakeGraph({{0, 255}, {100, 100}, {105, 100}, {511, 0}});
    struct Case {
        int32_t x, y, index;
    } cases[] = {
        {0, 255, 0},   {4, 251, 0},   {5, 255, -1},  {0, 250, -1}, {-4, 259, 0},
        {96, 100, 1},  {100, 104, 1}, {101, 104, 2}, {109, 96, 2}, {110, 100, -1},
        {507, 4, 3},   {511, 5, -1},  {300, 128, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HitTestPoint(&graph, c.x, c.y), c.index) << c.x << "," << c.y;
}

TEST(InsertPoint, TakesTheLargestFreeXAtOrLeftOfTheClick)
{
    struct Case {
        const char *what;
        Graph graph;
        int32_t x, y;
        bool result;
        Graph after;
    } cases[] = {
        {"on the last point's column", MakeGraph({{0, 255}, {511, 0}}), 511, 10, true,
         MakeGraph({{0, 255}, {510, 10}, {511, 0}})},
        {"on the first point's column", MakeGraph({{0, 255}, {511, 0}}), 0, 10, false,
         MakeGraph({{0, 255}, {511, 0}})},
        {"two taken columns", MakeGraph({{0, 0}, {100, 0}, {101, 0}, {511, 0}}), 101, 50, true,
         MakeGraph({{0, 0}, {99, 50}, {100, 0}, {101, 0}, {511, 0}})},
        {"in the middle", MakeGraph({{0, 255}, {511, 0}}), 200, 100, true,
         MakeGraph({{0, 255}, {200, 100}, {511, 0}})},
        {"every column left of it taken", MakeGraph({{0, 0}, {1, 0}, {2, 0}, {511, 0}}), 2, 9, false,
         MakeGraph({{0, 0}, {1, 0}, {2, 0}, {511, 0}})},
        {"y above the window", MakeGraph({{0, 255}, {511, 0}}), 20, -40, true,
         MakeGraph({{0, 255}, {20, 0}, {511, 0}})},
        {"y below the window", MakeGraph({{0, 255}, {511, 0}}), 20, 9000, true,
         MakeGraph({{0, 255}, {20, 255}, {511, 0}})},
        {"x left of the window", MakeGraph({{0, 255}, {511, 0}}), -3, 9, false,
         MakeGraph({{0, 255}, {511, 0}})},
        {"x right of the last point", MakeGraph({{0, 255}, {511, 0}}), 600, 9, false,
         MakeGraph({{0, 255}, {511, 0}})},
    };
    for (Case &c : cases) {
        EXPECT_EQ(InsertPoint(&c.graph, c.x, c.y), c.result) << c.what;
        EXPECT_TRUE(SamePoints(c.graph, c.after)) << c.what;
    }
}

TEST(InsertPoint, AFullGraphRefusesMore)
{
    Graph graph = MakeGraph({{0, 255}, {511, 0}});
    for (int32_t i = 0; i < 30; i++)
        ASSERT_TRUE(InsertPoint(&graph, 10 + i * 10, i));
    ASSERT_EQ(graph.count, 32);
    Graph before = graph;
    EXPECT_FALSE(InsertPoint(&graph, 400, 3));
    EXPECT_TRUE(SamePoints(graph, before));
    EXPECT_TRUE(IsValidGraph(&graph));
}

TEST(DeletePoint, RemovesInteriorPointsOnlyAndKeepsTheStaleLastSlot)
{
    Graph graph = MakeGraph({{0, 255}, {100, 1}, {200, 2}, {511, 0}});
    Graph before = graph;
    for (int32_t index : {-1, 0, 3, 4, 32, INT32_MIN}) {
        EXPECT_FALSE(DeletePoint(&graph, index)) << index;
        EXPECT_TRUE(SamePoints(graph, before)) << index;
    }
    EXPECT_TRUE(DeletePoint(&graph, 1));
    EXPECT_EQ(graph.count, 3);
    EXPECT_EQ(graph.points[1].x, 200);
    EXPECT_EQ(graph.points[2].x, 511);
    EXPECT_EQ(graph.points[3].x, 511);  // the old last slot is left behind
    EXPECT_EQ(graph.points[3].y, 0);
}

TEST(MovePoint, ClampsToTheWindowAndBetweenTheNeighbours)
{
    // Index 2 sits between neighbours at x 10 and 20.
    const Graph shaped = MakeGraph({{0, 255}, {10, 200}, {15, 128}, {20, 100}, {511, 0}});
    struct Case {
        const char *what;
        int32_t index, x, y;
        GraphPoint stored;
    } cases[] = {
        {"first point stays on the left edge", 0, 300, -20, {0, 0}},
        {"last point stays on the right edge", 4, 50, 400, {511, 255}},
        {"left of the left neighbour", 2, 5, 30, {11, 30}},
        {"right of the right neighbour", 2, 25, 30, {19, 30}},
        {"between", 2, 15, 30, {15, 30}},
        {"on the left neighbour", 2, 10, 30, {11, 30}},
        {"on the right neighbour", 2, 20, 30, {19, 30}},
        {"far outside", 2, -32768, 32767, {11, 255}},
    };
    for (const Case &c : cases) {
        Graph graph = shaped;
        MovePoint(&graph, c.index, c.x, c.y);
        EXPECT_EQ(graph.points[c.index].x, c.stored.x) << c.what;
        EXPECT_EQ(graph.points[c.index].y, c.stored.y) << c.what;
        graph.points[c.index] = shaped.points[c.index];
        EXPECT_TRUE(SamePoints(graph, shaped)) << c.what << ": only the dragged point changes";
    }
}

TEST(MovePoint, AnIndexBeyondTheCurveWritesNothing)
{
    Graph graph = MakeGraph({{0, 255}, {100, 1}, {511, 0}});
    graph.points[5] = {77, 77};
    Graph before = graph;
    for (int32_t index : {-1, 3, 5, 31, 32, INT32_MAX}) {
        MovePoint(&graph, index, 50, 50);
        EXPECT_TRUE(SamePoints(graph, before)) << index;
    }
}

TEST(PointEditing, AGraphWithoutAUsableCountIsLeftAlone)
{
    Graph graph = MakeGraph({{0, 255}, {100, 1}, {511, 0}});
    for (int32_t count : {-5, 0, 1, 33, 1000, INT32_MIN}) {
        graph.count = count;
        Graph before = graph;
        EXPECT_EQ(HitTestPoint(&graph, 100, 1), -1);
        EXPECT_FALSE(InsertPoint(&graph, 50, 50));
        EXPECT_FALSE(DeletePoint(&graph, 1));
        MovePoint(&graph, 1, 50, 50);
        EXPECT_TRUE(SamePoints(graph, before)) << count;
    }
}

// An independent model of the curve (x -> y in a sorted map-like array),
// driven by the same random clicks and drags as the real graph.
struct ModelCurve {
    int32_t ys[kGraphWidth];  // -1 where no point
    int32_t count;
};

void ModelFromGraph(const Graph &graph, ModelCurve *model)
{
    for (int32_t &y : model->ys)
        y = -1;
    for (int32_t i = 0; i < graph.count; i++)
        model->ys[graph.points[i].x] = graph.points[i].y;
    model->count = graph.count;
}

int32_t ModelColumnOf(const ModelCurve &model, int32_t index)
{
    for (int32_t column = 0; column < kGraphWidth; column++) {
        if (model.ys[column] >= 0 && index-- == 0)
            return column;
    }
    return -1;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

void ModelInsert(ModelCurve *model, int32_t x, int32_t y)
{
    if (model->count == kMaxPoints || x < 0 || x > kMaxX)
        return;
    int32_t column = x;
    while (column >= 0 && model->ys[column] >= 0)
        column--;
    if (column < 0)
        return;
    model->ys[column] = Clamp(y, 0, kMaxY);
    model->count++;
}

void ModelDelete(ModelCurve *model, int32_t index)
{
    if (index < 1 || index > model->count - 2)
        return;
    model->ys[ModelColumnOf(*model, index)] = -1;
    model->count--;
}

void ModelMove(ModelCurve *model, int32_t index, int32_t x, int32_t y)
{
    if (index < 0 || index >= model->count)
        return;
    int32_t column = ModelColumnOf(*model, index);
    y = Clamp(y, 0, kMaxY);
    if (index == 0 || index == model->count - 1) {
        model->ys[column] = y;
        return;
    }
    int32_t left = ModelColumnOf(*model, index - 1), right = ModelColumnOf(*model, index + 1);
    model->ys[column] = -1;
    model->ys[Clamp(x, left + 1, right - 1)] = y;
}

int32_t ModelValue(const ModelCurve &model, int32_t position)
{
    if (position < 0)
        return 255 - model.ys[0];
    if (position > kMaxX)
        return 255 - model.ys[kMaxX];
    int32_t left = position, right = position + 1;
    while (model.ys[left] < 0)
        left--;
    if (left == kMaxX) {  // the last point: the last segment ends there
        return 255 - model.ys[kMaxX];
    }
    while (model.ys[right] < 0)
        right++;
    // Exact rational value, then rounded toward the left point's value.
    int32_t num = (model.ys[left] - model.ys[right]) * (position - left);
    int32_t den = right - left;
    int32_t q = num >= 0 ? num / den : -((-num) / den);
    return 255 - model.ys[left] + q;
}

TEST(PointEditing, RandomClicksAndDragsKeepTheInvariantsAndMatchAModel)
{
    std::mt19937 random(20261211);
    auto coordinate = [&](int32_t span) {
        switch (random() % 4) {
        case 0: return (int32_t)(random() % 40000) - 20000;  // far outside
        case 1: return (int32_t)(random() % 20) - 10;        // near the low edge
        case 2: return span - 10 + (int32_t)(random() % 20);  // near the high edge
        default: return (int32_t)(random() % span);
        }
    };
    for (int32_t round = 0; round < 200; round++) {
        Graph graph = MakeGraph({});
        ResetGraph(&graph);
        ModelCurve model;
        ModelFromGraph(graph, &model);
        for (int32_t step = 0; step < 300; step++) {
            int32_t x = coordinate(kGraphWidth), y = coordinate(kGraphHeight);
            switch (random() % 4) {
            case 0: {
                int32_t hit = HitTestPoint(&graph, x, y);
                if (hit == -1) {
                    InsertPoint(&graph, x, y);
                    ModelInsert(&model, x, y);
                } else {
                    DeletePoint(&graph, hit);
                    ModelDelete(&model, hit);
                }
                break;
            }
            case 1: {
                int32_t index = (int32_t)(random() % 34) - 1;
                DeletePoint(&graph, index);
                ModelDelete(&model, index);
                break;
            }
            default: {
                int32_t index = (int32_t)(random() % 34) - 1;
                MovePoint(&graph, index, x, y);
                ModelMove(&model, index, x, y);
                break;
            }
            }
            ASSERT_TRUE(IsValidGraph(&graph)) << "round " << round << " step " << step;
            ModelCurve actual;
            ModelFromGraph(graph, &actual);
            ASSERT_EQ(actual.count, model.count);
            ASSERT_EQ(memcmp(actual.ys, model.ys, sizeof model.ys), 0)
                << "round " << round << " step " << step;
        }
        for (int32_t position = -3; position <= 514; position++)
            ASSERT_EQ(EvaluateGraph(position, &graph), ModelValue(model, position))
                << "round " << round << " at " << position;
    }
}

}  // namespace
