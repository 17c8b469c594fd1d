// libFuzzer target: an arbitrary project block loaded with an arbitrary size,
// then an arbitrary sequence of edits and evaluations on arbitrary graphs.
// Built with AddressSanitizer, so any access outside the graph set or the
// block buffer stops the run; the checks below stop it on a broken curve.
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

    struct Op {
        uint8_t kind;
        uint8_t graph;
        int32_t a;
        int16_t b;
        int16_t c;
    } __attribute__((packed)) op;
    while (in.Take(&op, sizeof op)) {
        Graph *graph = &graphSet.graphs[op.graph % kGraphCount];
        Graph old = *graph;
        bool valid = IsValidGraph(graph);
        switch (op.kind % 6) {
        case 0: {
            int32_t hit = HitTestPoint(graph, op.b, op.c);
            Check(hit >= -1 && hit < kMaxPoints);
            Check(valid || hit == -1);
            break;
        }
        case 1:
            Check(!InsertPoint(graph, op.b, op.c) || valid);
            break;
        case 2:
            Check(!DeletePoint(graph, op.a) || valid);
            break;
        case 3:
            MovePoint(graph, op.a % 40, op.b, op.c);
            break;
        case 4:
            MovePoint(graph, op.a, op.b, op.c);
            break;
        default: {
            int32_t value = EvaluateGraph(op.a, graph);
            Check(value >= 0 && value <= kMaxValue);
            break;
        }
        }
        if (valid)
            Check(IsValidGraph(graph));
        else
            Check(memcmp(graph, &old, sizeof old) == 0);
    }

    // Whatever happened, a save is the set's exact image.
    static uint8_t saved[kProjectBlockSize];
    int32_t query = 0;
    Check(ProjectSave(NULL, NULL, NULL, &query) == 1 && query == kProjectBlockSize);
    Check(ProjectSave(NULL, NULL, saved, NULL) == 1);
    Check(memcmp(saved, &graphSet, sizeof saved) == 0);
    return 0;
}
