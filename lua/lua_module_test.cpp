// The module inside an embedded Lua 5.1, sharing this program's graph set:
// the script cases once more (so the sanitizer build runs them through the
// module's code), and graphs shaped from C++ as the editor would, read by
// the next getvalue call.
#include "graph.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <string.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

extern "C" int luaopen_rivo_grapheditor(lua_State *L);

namespace {

class LuaModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(&graphSet, 0, sizeof graphSet);  // as in a process without the plug-in
        MarkAllGraphsChanged();
        L = luaL_newstate();
        ASSERT_NE(L, nullptr);
        luaL_openlibs(L);
        // require "rivo_grapheditor" finds the entry linked into this program.
        lua_getglobal(L, "package");
        lua_getfield(L, -1, "preload");
        lua_pushcfunction(L, luaopen_rivo_grapheditor);
        lua_setfield(L, -2, "rivo_grapheditor");
        lua_pop(L, 2);
    }

    void TearDown() override { lua_close(L); }

    // Runs a chunk and gives its error message, or "" when it succeeded.
    std::string Run(int loaded)
    {
        if (loaded == 0 && lua_pcall(L, 0, 0, 0) == 0)
            return "";
        std::string message = lua_tostring(L, -1);
        lua_pop(L, 1);
        return message;
    }

    void Require() { ASSERT_EQ(Run(luaL_loadstring(L, "require 'rivo_grapheditor'")), ""); }

    // rivo.grapheditor.getvalue(index, t), as a script calls it.
    double GetValue(double index, double t)
    {
        lua_getglobal(L, "rivo");
        lua_getfield(L, -1, "grapheditor");
        lua_getfield(L, -1, "getvalue");
        lua_pushnumber(L, index);
        lua_pushnumber(L, t);
        EXPECT_EQ(lua_pcall(L, 2, 1, 0), 0);
        double value = lua_tonumber(L, -1);
        lua_pop(L, 3);
        return value;
    }

    // The t that lands exactly on a position: t * 511 truncates to it.
    static double At(int32_t position) { return (position + 0.5) / kMaxX; }

    lua_State *L = nullptr;
};

TEST_F(LuaModule, ScriptCasesPassInTheEmbeddedInterpreter)
{
    EXPECT_EQ(Run(luaL_loadfile(L, RIVO_LUA_TEST_SCRIPT)), "");
}

TEST_F(LuaModule, AnEditIsSeenByTheNextCall)
{
    Require();
    Graph *graph = &graphSet.graphs[3];
    static unsigned char block[kProjectBlockSize];

    struct Step {
        const char *what;
        void (*edit)(Graph *graph);
        int32_t position;
        int32_t value;  // on the 0..255 scale
    } steps[] = {
        {"reset", [](Graph *) { ResetAllGraphs(); }, 255, 127},
        {"point inserted at the top", [](Graph *g) { InsertPoint(g, 255, 0); }, 255, 255},
        {"left of it", [](Graph *) {}, 100, 100},
        {"point dragged to the bottom", [](Graph *g) { MovePoint(g, 1, 255, 255); }, 255, 0},
        {"point deleted", [](Graph *g) { DeletePoint(g, 1); }, 255, 127},
        {"project loaded with graph 3 falling", [](Graph *) {
             graphSet.graphs[3].points[0].y = 0;
             graphSet.graphs[3].points[1].y = 255;
             MarkGraphChanged(&graphSet.graphs[3]);
             ProjectSave(NULL, NULL, block, NULL);
             ResetAllGraphs();
             ProjectLoad(NULL, NULL, block, kProjectBlockSize);
         }, 3, 254},
        {"graph reset", [](Graph *g) { ResetGraph(g); }, 3, 1},
    };
    for (const Step &s : steps) {
        s.edit(graph);
        EXPECT_EQ(GetValue(3, At(s.position)), s.value / 255.0) << s.what;
        EXPECT_EQ(GetValue(4, At(s.position)), EvaluateGraph(s.position, &graphSet.graphs[4]) / 255.0)
            << s.what << ": graph 4 moved with graph 3";
    }
}

TEST_F(LuaModule, AFullGraphIsReadAtEveryPositionThroughItsOwnIndex)
{
    Require();
    ResetAllGraphs();
    std::mt19937 random(7);
    Graph *graph = &graphSet.graphs[63];
    while (graph->count < kMaxPoints)
        InsertPoint(graph, (int32_t)(random() % kGraphWidth), (int32_t)(random() % kGraphHeight));
    ASSERT_TRUE(IsValidGraph(graph));

    for (int32_t position = 0; position <= kMaxX; position++)
        ASSERT_EQ(GetValue(63, At(position)), EvaluateGraph(position, graph) / 255.0) << position;
    EXPECT_EQ(GetValue(63, -1), (kMaxValue - graph->points[0].y) / 255.0);
    EXPECT_EQ(GetValue(63, 2), (kMaxValue - graph->points[kMaxPoints - 1].y) / 255.0);
    EXPECT_EQ(GetValue(62, 0.5), 127 / 255.0);
}

// Each step writes the set as the plug-in, the host or a test does, and
// every graph is then read at every column: since the reads before it built
// every table, a write that is not marked reads stale.
TEST_F(LuaModule, EveryKindOfWriteIsSeenByTheNextCallAtEveryColumn)
{
    Require();
    static GraphSet shaped;
    std::mt19937 random(23);
    for (Graph &graph : shaped.graphs) {
        ResetGraph(&graph);
        for (int32_t i = 0; i < 12; i++)
            InsertPoint(&graph, (int32_t)(random() % kGraphWidth), (int32_t)(random() % kGraphHeight));
    }
    static unsigned char noise[kProjectBlockSize];
    for (unsigned char &byte : noise)
        byte = (unsigned char)random();

    struct Step {
        const char *what;
        void (*write)();
    } steps[] = {
        {"start-up", [] { ResetAllGraphs(); }},
        {"insert", [] { InsertPoint(&graphSet.graphs[3], 200, 10); }},
        {"drag", [] { MovePoint(&graphSet.graphs[3], 1, 300, 250); }},
        {"delete", [] { DeletePoint(&graphSet.graphs[3], 1); }},
        {"whole load", [] { ProjectLoad(NULL, NULL, &shaped, kProjectBlockSize); }},
        {"reset", [] { ResetGraph(&graphSet.graphs[40]); }},
        {"direct write", [] {
             graphSet.graphs[1] = shaped.graphs[5];
             MarkGraphChanged(&graphSet.graphs[1]);
         }},
        {"partial load", [] {  // graph 0 whole, graph 1's slots but not its count
             ProjectLoad(NULL, NULL, &shaped.graphs[10], (int32_t)sizeof(Graph) + 100);
         }},
        {"hostile load", [] { ProjectLoad(NULL, NULL, noise, kProjectBlockSize); }},
        {"zero set", [] {
             memset(&graphSet, 0, sizeof graphSet);
             MarkAllGraphsChanged();
         }},
    };
    for (const Step &s : steps) {
        s.write();
        for (int32_t g = 0; g < kGraphCount; g++) {
            const Graph *graph = &graphSet.graphs[g];
            for (int32_t position = 0; position <= kMaxX; position++)
                ASSERT_EQ(GetValue(g, At(position)), EvaluateGraph(position, graph) / 255.0)
                    << s.what << ": graph " << g << " at " << position;
            ASSERT_EQ(GetValue(g, -1), EvaluateGraph(-1, graph) / 255.0) << s.what << ": graph " << g;
            ASSERT_EQ(GetValue(g, 2), EvaluateGraph(kGraphWidth, graph) / 255.0) << s.what << ": graph " << g;
        }
    }
}

// t lands on the position it always did: truncated toward zero, NaN at 0,
// the rest saturating. On this graph the positions below 0, at 0, at 511
// and past 511 all give different values, since its ends are not at the
// edges (a graph only a test can write).
TEST_F(LuaModule, EveryTLandsOnItsPositionEvenOnAForeignGraph)
{
    Require();
    ResetAllGraphs();
    Graph *graph = &graphSet.graphs[9];
    graph->points[0] = {100, 100};
    graph->points[1] = {200, 20};
    graph->points[2] = {400, 200};
    graph->count = 3;
    MarkGraphChanged(graph);
    ASSERT_EQ(EvaluateGraph(-1, graph), 155);
    ASSERT_EQ(EvaluateGraph(0, graph), 75);
    ASSERT_EQ(EvaluateGraph(1, graph), 76);
    ASSERT_EQ(EvaluateGraph(511, graph), 0);
    ASSERT_EQ(EvaluateGraph(512, graph), 55);

    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double t;
        int32_t position;
    } cases[] = {
        {-inf, INT32_MIN},
        {-1e300, INT32_MIN},
        {-2, -1022},
        {-1.5 / kMaxX, -1},
        {-1.0 / kMaxX, -1},  // exactly -1
        {-0.5 / kMaxX, 0},
        {-5e-324, 0},
        {-0.0, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {0, 0},
        {5e-324, 0},
        {0.5 / kMaxX, 0},
        {1.5 / kMaxX, 1},
        {0.5, 255},
        {510.5 / kMaxX, 510},
        {1, 511},
        {511.5 / kMaxX, 511},
        {512.0 / kMaxX, 512},  // exactly 512
        {512.5 / kMaxX, 512},
        {2, 1022},
        {1e300, INT32_MAX},
        {inf, INT32_MAX},
    };
    for (const Case &c : cases) {
        // Twice: the first read may build the table, the second reads it.
        for (int k = 0; k < 2; k++)
            EXPECT_EQ(GetValue(9, c.t), EvaluateGraph(c.position, graph) / 255.0) << "t " << c.t;
    }
}

TEST_F(LuaModule, ForeignGraphContentsGiveValuesInRange)
{
    Require();
    std::mt19937 random(11);
    static unsigned char block[kProjectBlockSize];
    const double ts[] = {0, 0.25, 0.5, 0.999, 1, -1, 2, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN()};
    for (int round = 0; round < 20; round++) {
        for (unsigned char &byte : block)
            byte = (unsigned char)random();
        ProjectLoad(NULL, NULL, block, kProjectBlockSize);
        if (round % 2)  // half the rounds with counts the model can read
            for (Graph &graph : graphSet.graphs) {
                graph.count = 2 + (int32_t)(random() % (kMaxPoints - 1));
                MarkGraphChanged(&graph);
            }
        for (int32_t index = 0; index < kGraphCount; index++) {
            for (double t : ts) {
                double value = GetValue(index, t);
                ASSERT_GE(value, 0.0) << index << " " << t;
                ASSERT_LE(value, 1.0) << index << " " << t;
            }
        }
    }
}

}  // namespace
