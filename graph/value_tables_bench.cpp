// Benchmark, not a test: what a change of a graph costs now that the next
// read rebuilds the graph's value table, side by side with the change alone.
//   - a mouse move during a drag: MovePoint on a full graph, then one read;
//   - a rebuild alone, for 2- and 32-point graphs and a graph never shaped;
//   - a whole project block loaded, then one read of each of the 64 graphs.
// Each figure is the best of ROUNDS rounds of a loop, per iteration.
//   value_tables_bench [ROUNDS]
#include <chrono>
#include <random>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "graph.h"

namespace {

volatile uint32_t sink;  // keeps the reads

template <typename Body>
double BestMicroseconds(int rounds, int iterations, Body body)
{
    double best = 1e30;
    for (int r = 0; r < rounds; r++) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < iterations; i++)
            body(i);
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        if (took.count() / iterations < best)
            best = took.count() / iterations;
    }
    return best;
}

void ShapeFull(Graph *graph, std::mt19937 &random)
{
    ResetGraph(graph);
    while (graph->count < kMaxPoints)
        InsertPoint(graph, (int32_t)(random() % kGraphWidth), (int32_t)(random() % kGraphHeight));
}

}  // namespace

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 9;
    std::mt19937 random(1);
    ResetAllGraphs();
    Graph *full = &graphSet.graphs[0];
    ShapeFull(full, random);
    const int32_t kDragged = 16;  // an interior point, dragged back and forth

    printf("cost of a change of a graph, microseconds, best of %d rounds\n", rounds);
    printf("%-52s %10s\n", "", "us");

    double moveAlone = BestMicroseconds(rounds, 20000, [&](int i) {
        MovePoint(full, kDragged, full->points[kDragged].x + (i % 2 ? 1 : -1), i % 256);
    });
    double moveAndRead = BestMicroseconds(rounds, 20000, [&](int i) {
        MovePoint(full, kDragged, full->points[kDragged].x + (i % 2 ? 1 : -1), i % 256);
        sink = ReadGraphValue(0, i % kGraphWidth);
    });
    printf("%-52s %10.3f\n", "mouse move on a 32-point graph, then one read", moveAndRead);
    printf("%-52s %10.3f\n", "  (the move alone, as before the tables)", moveAlone);

    struct Shape {
        const char *what;
        int32_t index;
    } shapes[] = {{"rebuild, 2-point graph", 1}, {"rebuild, 32-point graph", 0}, {"rebuild, graph never shaped (count 0)", 2}};
    memset(&graphSet.graphs[2], 0, sizeof(Graph));
    MarkGraphChanged(&graphSet.graphs[2]);
    for (const Shape &s : shapes) {
        double rebuild = BestMicroseconds(rounds, 5000, [&](int i) {
            MarkGraphChanged(&graphSet.graphs[s.index]);
            sink = ReadGraphValue((size_t)s.index, i % kGraphWidth);
        });
        printf("%-52s %10.3f\n", s.what, rebuild);
    }

    static GraphSet shaped;
    for (Graph &graph : shaped.graphs) {
        ResetGraph(&graph);
        for (int32_t i = 0; i < 1 + (int32_t)(random() % 31); i++)
            InsertPoint(&graph, (int32_t)(random() % kGraphWidth), (int32_t)(random() % kGraphHeight));
    }
    double loadAlone = BestMicroseconds(rounds, 500, [&](int) {
        ProjectLoad(NULL, NULL, &shaped, kProjectBlockSize);
    });
    double loadAndRead = BestMicroseconds(rounds, 500, [&](int i) {
        ProjectLoad(NULL, NULL, &shaped, kProjectBlockSize);
        for (size_t g = 0; g < kGraphCount; g++)
            sink = ReadGraphValue(g, i % kGraphWidth);
    });
    printf("%-52s %10.3f\n", "whole block loaded, then one read of each graph", loadAndRead);
    printf("%-52s %10.3f\n", "  (the load alone, as before the tables)", loadAlone);
    printf("goal: every change well under 1000 us\n");
    return 0;
}
