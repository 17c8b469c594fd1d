// The value tables against their definition: every read through
// ReadGraphValue must equal EvaluateGraph on the graph as it is at that
// moment, whatever wrote the graph last.
#include "graph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <random>
#include <string.h>
#include <thread>
#include <vector>

namespace {

// Far outside, just outside and on the edges, besides every column.
const int32_t kOutside[] = {INT32_MIN, -1000000, -512, -2, -1, 512, 513, 1023, 1000000, INT32_MAX};

// Reads every column and the positions outside; the first mismatch, or "".
std::string CheckGraph(int32_t g)
{
    const Graph *graph = &graphSet.graphs[g];
    for (int32_t x = 0; x < kGraphWidth; x++) {
        int32_t want = EvaluateGraph(x, graph);
        int32_t got = (int32_t)ReadGraphValue((size_t)g, x);
        if (got != want)
            return "graph " + std::to_string(g) + " at " + std::to_string(x) + ": read " +
                   std::to_string(got) + ", EvaluateGraph " + std::to_string(want);
        // The column read getvalue takes for positions inside.
        if ((int32_t)ReadGraphColumn((size_t)g, (size_t)x) != want)
            return "graph " + std::to_string(g) + ", column read at " + std::to_string(x);
    }
    for (int32_t position : kOutside) {
        int32_t want = EvaluateGraph(position, graph);
        int32_t got = (int32_t)ReadGraphValue((size_t)g, position);
        if (got != want)
            return "graph " + std::to_string(g) + " at " + std::to_string(position) + ": read " +
                   std::to_string(got) + ", EvaluateGraph " + std::to_string(want);
    }
    return "";
}

std::string CheckAllGraphs()
{
    for (int32_t g = 0; g < kGraphCount; g++) {
        std::string fault = CheckGraph(g);
        if (!fault.empty())
            return fault;
    }
    return "";
}

Graph MakeGraph(std::initializer_list<GraphPoint> points, int32_t count = -1)
{
    Graph graph;
    memset(&graph, 0, sizeof graph);
    int32_t n = 0;
    for (const GraphPoint &p : points)
        graph.points[n++] = p;
    graph.count = count == -1 ? n : count;
    return graph;
}

// First, so that it sees the process as loaded even when every case runs in
// one process: no start-up, every count 0, every table never built.
TEST(GraphValueTables, AProcessWhereThePlugInNeverStartedReadsTheDiagonal)
{
    for (int32_t g = 0; g < kGraphCount; g++) {
        ASSERT_EQ(graphSet.graphs[g].count, 0);
        EXPECT_EQ(ReadGraphValue((size_t)g, 255), 127u) << g;
        EXPECT_EQ(ReadGraphColumn((size_t)g, 511), 255u) << g;
    }
    EXPECT_EQ(CheckAllGraphs(), "");
}

TEST(GraphValueTables, EveryShapeReadsAsItsEvaluation)
{
    struct Case {
        const char *what;
        Graph graph;
    } cases[] = {
        {"diagonal", MakeGraph({{0, 255}, {511, 0}})},
        {"falling", MakeGraph({{0, 0}, {511, 255}})},
        {"three points", MakeGraph({{0, 255}, {100, 55}, {511, 0}})},
        {"steps one column wide", MakeGraph({{0, 0}, {1, 255}, {2, 0}, {3, 255}, {511, 0}})},
        {"last segment one column wide", MakeGraph({{0, 10}, {510, 250}, {511, 0}})},
        {"count 0", MakeGraph({{0, 100}, {200, 7}, {511, 100}}, 0)},
        {"count 33", MakeGraph({{0, 100}, {200, 7}, {511, 100}}, 33)},
        {"count -5", MakeGraph({{0, 100}, {200, 7}, {511, 100}}, -5)},
        {"first point inside", MakeGraph({{100, 100}, {400, 200}})},
        {"last point inside", MakeGraph({{0, 100}, {300, 20}})},
        {"equal x", MakeGraph({{0, 0}, {100, 0}, {100, 255}, {511, 0}})},
        {"x going back", MakeGraph({{0, 0}, {300, 50}, {200, 200}, {511, 9}})},
        {"y outside 0..255", MakeGraph({{0, -300}, {250, 600}, {511, -1}})},
        {"extreme coordinates", MakeGraph({{-32768, 32767}, {32767, -32768}})},
    };
    // Another graph's table is built first, so that a write that marks the
    // wrong graph shows.
    for (const Case &c : cases) {
        graphSet.graphs[7] = c.graph;
        MarkGraphChanged(&graphSet.graphs[7]);
        EXPECT_EQ(CheckGraph(7), "") << c.what;
        graphSet.graphs[8] = c.graph;
        MarkGraphChanged(&graphSet.graphs[8]);
        EXPECT_EQ(CheckGraph(8), "") << c.what;
        EXPECT_EQ(CheckGraph(7), "") << c.what;
    }

    // Full graphs of noise with every usable count.
    std::mt19937 random(404);
    for (int32_t round = 0; round < 200; round++) {
        Graph &graph = graphSet.graphs[round % kGraphCount];
        for (GraphPoint &p : graph.points)
            p = {(int16_t)random(), (int16_t)(random() % 2 ? random() % 256 : random())};
        graph.count = 2 + round % (kMaxPoints - 1);
        MarkGraphChanged(&graph);
        ASSERT_EQ(CheckGraph(round % kGraphCount), "") << "round " << round;
    }
}

TEST(GraphValueTables, AGraphOutsideTheSetIsNotMarkedAndDisturbsNoTable)
{
    ResetAllGraphs();
    graphSet.graphs[0] = MakeGraph({{0, 20}, {300, 200}, {511, 90}});
    MarkGraphChanged(&graphSet.graphs[0]);
    ASSERT_EQ(CheckAllGraphs(), "");
    static GraphSet elsewhere;  // the same layout, not the set
    for (Graph &graph : elsewhere.graphs) {
        ResetGraph(&graph);
        InsertPoint(&graph, 100, 100);
        MovePoint(&graph, 1, 50, 0);
        DeletePoint(&graph, 1);
        MarkGraphChanged(&graph);
    }
    Graph local = MakeGraph({{0, 0}, {511, 255}});
    MarkGraphChanged(&local);
    MarkGraphChanged(&graphSet.graphs[kGraphCount]);  // one past the end
    EXPECT_EQ(CheckAllGraphs(), "");
}

// One random write of any kind the system or its tests make.
struct Writer {
    std::mt19937 random;
    std::vector<unsigned char> block = std::vector<unsigned char>(kProjectBlockSize);

    int32_t Any(int32_t span)
    {
        switch (random() % 4) {
        case 0: return (int32_t)(random() % 80000) - 40000;  // far outside
        case 1: return (int32_t)(random() % 20) - 10;        // near the low edge
        case 2: return span - 10 + (int32_t)(random() % 20);  // near the high edge
        default: return (int32_t)(random() % (uint32_t)span);
        }
    }

    // A block of shaped graphs, saved from a set the editor's operations made.
    void ShapedBlock()
    {
        static GraphSet shaped;
        for (Graph &graph : shaped.graphs) {
            ResetGraph(&graph);
            for (uint32_t i = random() % 40; i > 0; i--)
                InsertPoint(&graph, Any(kGraphWidth), Any(kGraphHeight));
        }
        memcpy(block.data(), &shaped, sizeof shaped);
    }

    // What it wrote, and which graphs it may have changed (-1: all).
    const char *Write(int32_t *touched)
    {
        int32_t g = (int32_t)(random() % kGraphCount);
        Graph *graph = &graphSet.graphs[g];
        *touched = g;
        // Edits most often, as a user makes them; the writes of every graph
        // now and then.
        uint32_t kind = random() % 40;
        if (kind < 10) {  // a click as the editor makes it
            int32_t x = Any(kGraphWidth), y = Any(kGraphHeight);
            int32_t hit = HitTestPoint(graph, x, y);
            return hit == -1 ? (InsertPoint(graph, x, y), "insert") : (DeletePoint(graph, hit), "delete");
        }
        if (kind < 14) {
            DeletePoint(graph, (int32_t)(random() % 36) - 2);
            return "delete by index";
        }
        if (kind < 30) {
            MovePoint(graph, (int32_t)(random() % 36) - 2, Any(kGraphWidth), Any(kGraphHeight));
            return "drag";
        }
        if (kind < 32) {
            ResetGraph(graph);
            return "reset";
        }
        if (kind >= 37) {  // a test writing a foreign graph directly
            for (GraphPoint &p : graph->points)
                p = {(int16_t)Any(kGraphWidth), (int16_t)Any(kGraphHeight)};
            int32_t counts[] = {0, 1, 2 + (int32_t)(random() % 31), 33, -1};
            graph->count = counts[random() % 5];
            MarkGraphChanged(graph);
            return "direct write";
        }
        *touched = -1;
        switch (kind) {
        case 32:
            ResetAllGraphs();
            return "start-up";
        case 33:
            ShapedBlock();
            ProjectLoad(NULL, NULL, block.data(), kProjectBlockSize);
            return "whole load";
        case 34: {
            ShapedBlock();
            int32_t size = 1 + (int32_t)(random() % kProjectBlockSize);
            ProjectLoad(NULL, NULL, block.data(), size);
            return "partial load";
        }
        case 35: {
            for (unsigned char &byte : block)
                byte = (unsigned char)random();
            int32_t sizes[] = {kProjectBlockSize, (int32_t)(random() % 20000) - 2000, INT32_MAX};
            ProjectLoad(NULL, NULL, block.data(), sizes[random() % 3]);
            return "hostile load";
        }
        default:
            memset(&graphSet, 0, sizeof graphSet);
            MarkAllGraphsChanged();
            return "zero set";
        }
    }
};

// The model is EvaluateGraph on the set as it is: after each write the
// graphs it may have changed are read at every position, and so is another
// graph now and then, so that most tables are current when the next write
// comes and a write that is not marked, or marks the wrong graph, is read
// stale.
TEST(GraphValueTables, LongRandomSequencesOfWritesAreSeenByTheNextRead)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        Writer writer{std::mt19937(seed)};
        memset(&graphSet, 0, sizeof graphSet);
        MarkAllGraphsChanged();
        ASSERT_EQ(CheckAllGraphs(), "");
        for (int32_t step = 0; step < 3000; step++) {
            int32_t touched = 0;
            const char *what = writer.Write(&touched);
            std::string fault = touched == -1 ? CheckAllGraphs() : CheckGraph(touched);
            ASSERT_EQ(fault, "") << "seed " << seed << " step " << step << " after " << what;
            // A single read somewhere, then a whole graph somewhere.
            int32_t g = (int32_t)(writer.random() % kGraphCount);
            int32_t position = writer.Any(kGraphWidth);
            ASSERT_EQ((int32_t)ReadGraphValue((size_t)g, position), EvaluateGraph(position, &graphSet.graphs[g]))
                << "seed " << seed << " step " << step << " graph " << g << " at " << position;
            ASSERT_EQ(CheckGraph((int32_t)(writer.random() % kGraphCount)), "") << "seed " << seed << " step " << step;
        }
    }
}

// A drag on this thread while two others read the same graph, which
// rebuilds its table after every move. In each round a second move follows
// the first after a random pause, so that it often lands while a reader
// builds from the first; then the readers are held and the table must be
// the graph's evaluation.
TEST(GraphValueTables, AnEditDuringARebuildOnAnotherThreadIsNotLost)
{
    ResetAllGraphs();
    Graph *graph = &graphSet.graphs[5];
    for (int32_t i = 1; i < kMaxPoints - 1; i++)
        InsertPoint(graph, i * 16, (i * 37) % 256);
    std::atomic<bool> done(false), hold(false);
    std::atomic<int32_t> held(0);
    auto reader = [&]() {
        for (uint32_t x = 0; !done.load(); x++) {
            if (hold.load()) {
                held++;
                while (hold.load() && !done.load())
                    std::this_thread::yield();
                held--;
            }
            if (ReadGraphValue(5, (int32_t)(x % kGraphWidth)) > kMaxValue)
                ADD_FAILURE() << "a value out of range";
        }
    };
    std::thread first(reader), second(reader);
    std::mt19937 random(77);
    auto move = [&]() {
        MovePoint(graph, 1 + (int32_t)(random() % 30), (int32_t)(random() % 512), (int32_t)(random() % 256));
    };
    for (int32_t round = 0; round < 100; round++) {
        move();
        for (volatile uint32_t spin = random() % 4000; spin > 0; spin--) {
        }
        move();
        hold = true;
        while (held.load() < 2)
            std::this_thread::yield();
        std::string fault = CheckGraph(5);
        hold = false;
        while (held.load() > 0)
            std::this_thread::yield();
        if (!fault.empty()) {
            ADD_FAILURE() << "round " << round << ": " << fault;
            break;
        }
    }
    done = true;
    first.join();
    second.join();
}

}  // namespace
