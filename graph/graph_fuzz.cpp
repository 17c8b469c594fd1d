// libFuzzer target: an arbitrary project block loaded with an arbitrary size,
// then an arbitrary sequence of edits, resets, loads, direct writes and reads
// on arbitrary graphs. Built with AddressSanitizer, so any access outside the
// graph set or the block buffer stops the run; the checks below stop it on a
// broken curve, and on a read of the value tables that differs from
// EvaluateGraph on the graph as it is.
//
// Input: [flags:1][size:4][block bytes...][ops: 10 bytes each...]
// flags bit 0: start from the reset set rather than the zero set as loaded.
// The block part is as long as bits 1..7 of flags say, times 128 bytes.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "graph.h"

namespace {

struct Reader {
    const uint8_t *data;
    size_t size;

    bool Take(void *out, size_t n)
    {
        if (size < n)
            return false;
        memcpy(out, data, n);
        data += n;
        size -= n;
        return true;
    }
};

void Check(bool condition)
{
    if (!condition)
        abort();
}

// The reads getvalue makes, against their definition.
void CheckRead(int32_t g, int32_t position)
{
    const Graph *graph = &graphSet.graphs[g];
    Check((int32_t)ReadGraphValue((size_t)g, position) == EvaluateGraph(position, graph));
    if ((uint32_t)position < (uint32_t)kGraphWidth)
        Check((int32_t)ReadGraphColumn((size_t)g, (size_t)position) == EvaluateGraph(position, graph));
}

// Every column from first on in steps of step, and the positions outside.
void CheckGraphReads(int32_t g, int32_t first, int32_t step)
{
    static const int32_t kOutside[] = {INT32_MIN, -70000, -1, 512, 70000, INT32_MAX};
    for (int32_t x = first; x < kGraphWidth; x += step)
        CheckRead(g, x);
    for (int32_t position : kOutside)
        CheckRead(g, position);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    uint8_t flags = 0;
    int32_t loadSize = 0;
    if (!in.Take(&flags, 1) || !in.Take(&loadSize, 4))
        return 0;

    memset(&graphSet, 0, sizeof graphSet);
    MarkAllGraphsChanged();
    if (flags & 1)
        ResetAllGraphs();

    // The host hands over at least as many bytes as it says, up to a whole
    // block; whatever the input does not supply is zero.
    static uint8_t block[kProjectBlockSize];
    size_t blockBytes = (size_t)(flags >> 1) * 128;
    memset(block, 0, sizeof block);
    if (blockBytes > in.size)
        blockBytes = in.size;
    if (blockBytes > sizeof block)
        blockBytes = sizeof block;
    in.Take(block, blockBytes);

    static GraphSet before;
    memcpy(&before, &graphSet, sizeof before);
    Check(ProjectLoad(NULL, NULL, block, loadSize) == 1);
    int32_t covered = loadSize <= 0 ? 0 : loadSize > kProjectBlockSize ? kProjectBlockSize : loadSize;
    for (int32_t g = 0; g < kGraphCount; g++) {
        const Graph &graph = graphSet.graphs[g];
        if (g * (int32_t)sizeof(Graph) < covered)
            Check(IsValidGraph(&graph));
        else
            Check(memcmp(&graph, &before.graphs[g], sizeof graph) == 0);
    }

    // At the end, the graphs edited since their last whole read are read
    // whole, and after a write of every graph all of them at some columns.
    uint64_t written = 0;
    bool writtenAll = true;
    struct Op {
        uint8_t kind;
        uint8_t graph;
        int32_t a;
        int16_t b;
        int16_t c;
    } __attribute__((packed)) op;
    while (in.Take(&op, sizeof op)) {
        int32_t g = op.graph % kGraphCount;
        Graph *graph = &graphSet.graphs[g];
        Graph old = *graph;
        bool valid = IsValidGraph(graph);
        // Direct writes can leave a usable count over points that are no
        // curve; the point operations promise nothing but safety there.
        bool usable = graph->count >= 2 && graph->count <= kMaxPoints;
        written |= (uint64_t)1 << g;
        switch (op.kind % 12) {
        case 0: {
            int32_t hit = HitTestPoint(graph, op.b, op.c);
            Check(hit >= -1 && hit < kMaxPoints);
            Check(usable || hit == -1);
            break;
        }
        case 1:
            Check(!InsertPoint(graph, op.b, op.c) || usable);
            break;
        case 2:
            Check(!DeletePoint(graph, op.a) || usable);
            break;
        case 3:
            MovePoint(graph, op.a % 40, op.b, op.c);
            break;
        case 4:
            MovePoint(graph, op.a, op.b, op.c);
            break;
        case 5: {
            int32_t value = EvaluateGraph(op.a, graph);
            Check(value >= 0 && value <= kMaxValue);
            break;
        }
        case 6:
            ResetGraph(graph);
            Check(IsValidGraph(graph));
            break;
        case 7:  // start-up
            ResetAllGraphs();
            writtenAll = true;
            break;
        case 8:  // a load of the input's block with any size
            Check(ProjectLoad(NULL, NULL, block, op.a) == 1);
            writtenAll = true;
            break;
        case 9:  // a test writing the graph directly, as it likes
            graph->points[(uint16_t)op.b % kMaxPoints] = {(int16_t)op.a, op.c};
            graph->count = op.a >> 16;
            MarkGraphChanged(graph);
            break;
        case 10:  // a process where the plug-in never started
            memset(&graphSet, 0, sizeof graphSet);
            MarkAllGraphsChanged();
            writtenAll = true;
            break;
        default:
            CheckGraphReads(g, 0, 1);
            written &= ~((uint64_t)1 << g);
            break;
        }
        // The point operations keep a valid curve valid and leave a graph
        // without a usable count alone.
        if (op.kind % 12 <= 5) {
            if (valid)
                Check(IsValidGraph(graph));
            else if (!usable)
                Check(memcmp(graph, &old, sizeof old) == 0);
        }
        // The next reads see the operation, in this graph and in another.
        CheckRead(g, op.a);
        CheckRead(g, op.b);
        CheckRead((g + 1) % kGraphCount, op.c);
    }
    for (int32_t g = 0; g < kGraphCount; g++) {
        if (written >> g & 1)
            CheckGraphReads(g, 0, 1);
        else if (writtenAll)
            CheckGraphReads(g, g % 8, 8);
    }

    // Whatever happened, a save is the set's exact image.
    static uint8_t saved[kProjectBlockSize];
    int32_t query = 0;
    Check(ProjectSave(NULL, NULL, NULL, &query) == 1 && query == kProjectBlockSize);
    Check(ProjectSave(NULL, NULL, saved, NULL) == 1);
    Check(memcmp(saved, &graphSet, sizeof saved) == 0);
    return 0;
}
