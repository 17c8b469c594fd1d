// The graph model: 64 piecewise-linear curves in a 512 x 256 space, their
// evaluation, the point-editing operations and the project block.
// No platform calls: this builds and runs anywhere.
#ifndef RIVO_GRAPH_GRAPH_H
#define RIVO_GRAPH_GRAPH_H

#include <stddef.h>
#include <stdint.h>

enum {
    kGraphCount = 64,       // graphs in the set
    kMaxPoints = 32,        // point slots per graph
    kGraphWidth = 512,      // x runs 0..511, the editor's width
    kGraphHeight = 256,     // y runs 0..255, the editor's height
    kMaxX = kGraphWidth - 1,
    kMaxY = kGraphHeight - 1,
    kMaxValue = 255,        // a value is 255 - y: top edge 255, bottom edge 0
    kHitRadius = 4          // a point is under the cursor within 4 pixels
};

// One control point. y is in screen sense: 0 at the top edge.
struct GraphPoint {
    int16_t x;
    int16_t y;
};

// One curve: slots 0..count-1 hold its points in ascending x order. Slots at
// and beyond count keep whatever they last held and are saved with the rest.
struct Graph {
    GraphPoint points[kMaxPoints];
    int32_t count;
};

struct GraphSet {
    Graph graphs[kGraphCount];
};

// The one set of graphs in the process, shared by the editor, the host
// callbacks and the Lua module. Zero until start-up resets it.
extern GraphSet graphSet;

// The layout is the project block's format: it must never change.
static_assert(sizeof(GraphPoint) == 4, "a point is 4 bytes");
static_assert(offsetof(GraphPoint, x) == 0 && offsetof(GraphPoint, y) == 2, "point fields");
static_assert(sizeof(Graph) == 132, "a graph record is 132 bytes");
static_assert(offsetof(Graph, points) == 0 && offsetof(Graph, count) == 128, "graph fields");
static_assert(sizeof(GraphSet) == 8448, "the project block is 8448 bytes");

enum { kProjectBlockSize = (int)sizeof(GraphSet) };

// Whether a graph is a curve this model can edit and draw: 2..32 points,
// first at x 0, last at x 511, x strictly increasing, y within 0..255.
bool IsValidGraph(const Graph *graph);

// The rising diagonal (0,255)-(511,0). Slots 2..31 are left as they are.
void ResetGraph(Graph *graph);
void ResetAllGraphs();

// The value (255 - y, interpolated) at a position on the x scale. A graph
// whose count is outside 2..32 evaluates as the default diagonal. Never reads
// past slot 31 nor divides by a zero width, whatever the slots hold.
int32_t EvaluateGraph(int32_t position, const Graph *graph);

// Point editing. On a graph whose count is outside 2..32 each of these
// changes nothing (-1 / false / false / nothing).
int32_t HitTestPoint(const Graph *graph, int32_t x, int32_t y);
bool InsertPoint(Graph *graph, int32_t x, int32_t y);  // true: repaint
bool DeletePoint(Graph *graph, int32_t index);          // true: removed
void MovePoint(Graph *graph, int32_t index, int32_t x, int32_t y);

// Each graph of the set evaluated once at every position, for getvalue, which
// scripts call per pixel or per particle: per graph a byte for each of the
// 512 columns, one for every position below 0 and one for every position past
// 511 (the evaluation is constant beyond both edges, so the table is exact
// everywhere). A graph's table is rebuilt by the first read after the graph
// changed.
//
// Every write of a graph in the set must therefore mark it, after writing:
// the operations above and ProjectLoad do; code that writes graphSet directly
// (tests, benchmarks) calls MarkGraphChanged or MarkAllGraphsChanged itself.
// Marking a graph outside the set does nothing.
enum GraphValuesState {
    kValuesStale = 0,     // what a mark stores, and the zero state of the process
    kValuesBuilding = 1,  // a build is under way; a mark during it keeps it from publishing
    kValuesCurrent = 2
};

struct GraphValueTables {
    uint32_t state[kGraphCount];     // read and written atomically only
    uint32_t building[kGraphCount];  // held by the one thread that builds
    uint8_t columns[kGraphCount][kGraphWidth];    // 512 per graph: one shift to a graph's row
    uint8_t beyond[kGraphCount][2];               // below 0, past 511
};

extern GraphValueTables graphValueTables;

void MarkGraphChanged(const Graph *graph);
void MarkAllGraphsChanged();

// The slow path of the reads below: brings the graph's table up to date,
// then reads it.
int32_t BuildAndReadGraphValue(size_t index, int32_t position);

static inline bool GraphValuesAreCurrent(size_t index)
{
    return __atomic_load_n(&graphValueTables.state[index], __ATOMIC_ACQUIRE) == kValuesCurrent;
}

// EvaluateGraph(column, &graphSet.graphs[index]) for index 0..63 and column
// 0..511, as the graph is at the time of the call.
static inline uint32_t ReadGraphColumn(size_t index, size_t column)
{
    if (__builtin_expect(!GraphValuesAreCurrent(index), 0))
        return (uint32_t)BuildAndReadGraphValue(index, (int32_t)column);
    return graphValueTables.columns[index][column];
}

// EvaluateGraph(position, &graphSet.graphs[index]) for index 0..63 and any
// position.
uint32_t ReadGraphValue(size_t index, int32_t position);

// Host callbacks that move the project block; plain C calling convention.
// The filter record and edit handle are the host's and are not used.
extern "C" int ProjectSave(void *filter, void *edit, void *data, int32_t *sizeOut);
extern "C" int ProjectLoad(void *filter, void *edit, void *data, int32_t size);

#endif
