#include "graph.h"

GraphSet graphSet;  // zero-initialised: every count is 0 until start-up

static const Graph kDefaultGraph = {{{0, kMaxY}, {kMaxX, 0}}, 2};

static bool HasUsableCount(const Graph *graph)
{
    return graph->count >= 2 && graph->count <= kMaxPoints;
}

static int32_t ClampInt(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : value > high ? high : value;
}

// A valid graph's values are always 0..255; a foreign one's are held there.
static int32_t ValueOf(int64_t value)
{
    return value < 0 ? 0 : value > kMaxValue ? kMaxValue : (int32_t)value;
}

bool IsValidGraph(const Graph *graph)
{
    if (!HasUsableCount(graph))
        return false;
    const GraphPoint *p = graph->points;
    int32_t n = graph->count;
    if (p[0].x != 0 || p[n - 1].x != kMaxX)
        return false;
    for (int32_t i = 0; i < n; i++) {
        if (p[i].y < 0 || p[i].y > kMaxY)
            return false;
        if (i > 0 && p[i].x <= p[i - 1].x)
            return false;
    }
    return true;
}

void ResetGraph(Graph *graph)
{
    graph->points[0] = kDefaultGraph.points[0];
    graph->points[1] = kDefaultGraph.points[1];
    graph->count = 2;
    MarkGraphChanged(graph);
}

void ResetAllGraphs()
{
    for (int32_t i = 0; i < kGraphCount; i++)
        ResetGraph(&graphSet.graphs[i]);
}

int32_t EvaluateGraph(int32_t position, const Graph *graph)
{
    if (!HasUsableCount(graph))
        graph = &kDefaultGraph;
    const GraphPoint *p = graph->points;
    int32_t n = graph->count;

    if (position < 0)
        return ValueOf(kMaxValue - p[0].y);
    if (position >= kGraphWidth)
        return ValueOf(kMaxValue - p[n - 1].y);

    // The segment whose left point is the last one at or left of the
    // position, at most slot n-2 (so at or right of the last point, the last
    // segment), by halving: it lies within the len slots from left, which
    // never reach past slot n-2 whatever the slots hold. The steps depend on
    // n alone, so only the reads wait for the position; a scan from the left
    // cost a call on a full graph half as much again as the call itself.
    const GraphPoint *left = p;
    for (int32_t len = n - 1; len > 1;) {
        int32_t half = len / 2;
        if (left[half].x <= position)
            left += half;
        len -= half;
    }

    int32_t x0 = left[0].x, y0 = left[0].y, x1 = left[1].x, y1 = left[1].y;
    int32_t width = x1 - x0, offset = position - x0;
    if (width <= 0)  // only in a graph that breaks the x order
        return ValueOf(kMaxValue - y0);
    // On a valid graph the offset is 0..511 and the product fits 32 bits;
    // a foreign graph's far-out coordinates can need 64.
    int64_t q = (uint32_t)offset <= kMaxX ? (y0 - y1) * offset / width
                                          : (int64_t)(y0 - y1) * offset / width;
    return ValueOf(kMaxValue - y0 + q);
}

int32_t HitTestPoint(const Graph *graph, int32_t x, int32_t y)
{
    if (!HasUsableCount(graph))
        return -1;
    // From the last slot down, so that the higher index wins an overlap.
    for (int32_t i = graph->count - 1; i >= 0; i--) {
        const GraphPoint &p = graph->points[i];
        if (x >= p.x - kHitRadius && x <= p.x + kHitRadius &&
            y >= p.y - kHitRadius && y <= p.y + kHitRadius)
            return i;
    }
    return -1;
}

bool InsertPoint(Graph *graph, int32_t x, int32_t y)
{
    if (!HasUsableCount(graph) || graph->count == kMaxPoints)
        return false;
    GraphPoint *p = graph->points;
    int32_t n = graph->count;

    // The largest free x at or left of the click.
    int32_t candidate = x;
    for (int32_t i = n - 1; i >= 0; i--) {
        if (candidate == p[i].x)
            candidate--;
        else if (candidate > p[i].x)
            break;
    }
    if (candidate < 0)
        return false;

    int32_t slot = 0;
    while (slot < n && p[slot].x <= candidate)
        slot++;
    if (slot == n)  // right of the last point: nowhere to put it
        return false;

    for (int32_t i = n; i > slot; i--)
        p[i] = p[i - 1];
    // A press that reaches the editor during a capture can lie outside it.
    p[slot].x = (int16_t)candidate;
    p[slot].y = (int16_t)ClampInt(y, 0, kMaxY);
    graph->count = n + 1;
    MarkGraphChanged(graph);
    return true;
}

bool DeletePoint(Graph *graph, int32_t index)
{
    if (!HasUsableCount(graph))
        return false;
    int32_t n = graph->count;
    // The end points hold the curve to the edges.
    if (index < 1 || index > n - 2)
        return false;
    for (int32_t i = index; i < n - 1; i++)
        graph->points[i] = graph->points[i + 1];
    graph->count = n - 1;
    MarkGraphChanged(graph);
    return true;
}

void MovePoint(Graph *graph, int32_t index, int32_t x, int32_t y)
{
    // The graph shown may have been switched or reset during a drag, so the
    // index can point past the curve: then there is nothing to move.
    if (!HasUsableCount(graph) || index < 0 || index >= graph->count)
        return;
    GraphPoint *p = graph->points;
    int32_t n = graph->count;
    y = ClampInt(y, 0, kMaxY);
    if (index == 0) {
        x = 0;
    } else if (index == n - 1) {
        x = kMaxX;
    } else {
        // Strictly between the neighbours, so the x order never changes.
        if (x <= p[index - 1].x)
            x = p[index - 1].x + 1;
        else if (x >= p[index + 1].x)
            x = p[index + 1].x - 1;
    }
    p[index].x = (int16_t)x;
    p[index].y = (int16_t)y;
    MarkGraphChanged(graph);
}
