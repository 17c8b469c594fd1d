// The tables getvalue reads: each graph evaluated once at every position,
// rebuilt by the first read after the graph changed.
#include <string.h>

#include "graph.h"

GraphValueTables graphValueTables;  // zero: every table stale until first read

// EvaluateGraph at every column and beyond both edges. A valid graph is
// walked segment by segment with EvaluateGraph's own arithmetic; any other
// is evaluated column by column by EvaluateGraph itself.
static void BuildValueTable(const Graph *graph, uint8_t *columns, uint8_t *beyond)
{
    beyond[0] = (uint8_t)EvaluateGraph(-1, graph);
    beyond[1] = (uint8_t)EvaluateGraph(kGraphWidth, graph);
    if (!IsValidGraph(graph)) {
        for (int32_t x = 0; x < kGraphWidth; x++)
            columns[x] = (uint8_t)EvaluateGraph(x, graph);
        return;
    }
    const GraphPoint *p = graph->points;
    int32_t n = graph->count;
    for (int32_t i = 0; i < n - 1; i++) {
        int32_t x0 = p[i].x, y0 = p[i].y, width = p[i + 1].x - x0, rise = y0 - p[i + 1].y;
        for (int32_t offset = 0; offset < width; offset++)
            columns[x0 + offset] = (uint8_t)(kMaxValue - y0 + rise * offset / width);
    }
    columns[kMaxX] = (uint8_t)(kMaxValue - p[n - 1].y);  // the last point
}

static uint8_t TableValue(size_t index, int32_t position)
{
    if ((uint32_t)position < (uint32_t)kGraphWidth)
        return graphValueTables.columns[index][position];
    return graphValueTables.beyond[index][position >= 0];
}

int32_t BuildAndReadGraphValue(size_t index, int32_t position)
{
    const Graph *graph = &graphSet.graphs[index];
    // Another thread is building this table: read the graph as it is.
    uint32_t *building = &graphValueTables.building[index];
    if (__atomic_exchange_n(building, 1, __ATOMIC_ACQUIRE) != 0)
        return EvaluateGraph(position, graph);

    uint32_t *state = &graphValueTables.state[index];
    if (__atomic_load_n(state, __ATOMIC_ACQUIRE) != kValuesCurrent) {
        // Marked building before the graph is read: a mark from here on
        // leaves it stale, so an edit that lands during the build is built
        // by the next read. One copy, so that such an edit cannot change the
        // count or the order of the points halfway through the walk.
        __atomic_exchange_n(state, kValuesBuilding, __ATOMIC_ACQ_REL);
        Graph snapshot;
        memcpy(&snapshot, graph, sizeof snapshot);
        BuildValueTable(&snapshot, graphValueTables.columns[index], graphValueTables.beyond[index]);
        uint32_t expected = kValuesBuilding;
        __atomic_compare_exchange_n(state, &expected, kValuesCurrent, false, __ATOMIC_RELEASE,
                                    __ATOMIC_RELAXED);
    }
    int32_t value = TableValue(index, position);
    __atomic_store_n(building, 0, __ATOMIC_RELEASE);
    return value;
}

uint32_t ReadGraphValue(size_t index, int32_t position)
{
    if (!GraphValuesAreCurrent(index))
        return (uint32_t)BuildAndReadGraphValue(index, position);
    return TableValue(index, position);
}

void MarkGraphChanged(const Graph *graph)
{
    uintptr_t offset = (uintptr_t)graph - (uintptr_t)graphSet.graphs;
    if (offset < sizeof graphSet.graphs)
        __atomic_exchange_n(&graphValueTables.state[offset / sizeof(Graph)], kValuesStale, __ATOMIC_RELEASE);
}

void MarkAllGraphsChanged()
{
    for (int32_t g = 0; g < kGraphCount; g++)
        __atomic_exchange_n(&graphValueTables.state[g], kValuesStale, __ATOMIC_RELEASE);
}
