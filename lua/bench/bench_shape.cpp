// Benchmark only, never shipped: a second entry, luaopen_bench_shape, linked
// into a copy of the module (rivo_grapheditor_bench.so) so that a stock
// interpreter can give a graph any shape before timing getvalue on it.
// package.loadlib on the same file gives both entries one graph set.
//   bench_shape(index, x0, y0, x1, y1, ...) -> count stored
extern "C" {
#include <lua.h>
}

#include "graph.h"

static int bench_shape(lua_State *L)
{
    lua_Integer index = lua_tointeger(L, 1);
    int32_t count = (lua_gettop(L) - 1) / 2;
    if (index < 0 || index >= kGraphCount || count > kMaxPoints)
        return 0;
    Graph *graph = &graphSet.graphs[index];
    for (int32_t i = 0; i < count; i++) {
        graph->points[i].x = (int16_t)lua_tointeger(L, 2 + 2 * i);
        graph->points[i].y = (int16_t)lua_tointeger(L, 3 + 2 * i);
    }
    graph->count = count;
    MarkGraphChanged(graph);
    lua_pushnumber(L, count);
    return 1;
}

extern "C" __attribute__((visibility("default"))) int luaopen_bench_shape(lua_State *L)
{
    lua_pushcclosure(L, bench_shape, 0);
    return 1;
}
