// Shapes graph 0 as a user would with a few clicks and a drag, saves the
// project block, loads it back and prints the curve's values.
#include <stdio.h>

#include "graph.h"

int main()
{
    ResetAllGraphs();
    Graph *graph = &graphSet.graphs[0];
    InsertPoint(graph, 128, 200);
    InsertPoint(graph, 384, 40);
    MovePoint(graph, HitTestPoint(graph, 128, 200), 160, 230);

    static unsigned char block[kProjectBlockSize];
    int32_t size = 0;
    ProjectSave(NULL, NULL, NULL, &size);
    ProjectSave(NULL, NULL, block, NULL);
    ResetAllGraphs();
    ProjectLoad(NULL, NULL, block, size);

    printf("graph 1 of %d, %d points:", kGraphCount, graph->count);
    for (int32_t i = 0; i < graph->count; i++)
        printf(" (%d, %d)", graph->points[i].x, graph->points[i].y);
    printf("\nproject block: %d bytes\n\n", size);
    for (int32_t position = 0; position < kGraphWidth; position += 32) {
        int32_t value = EvaluateGraph(position, graph);
        printf("x %3d  value %3d  %.*s*\n", position, value, value / 4, "                                                                ");
    }
    printf("x 511  value %3d\n", EvaluateGraph(511, graph));
    return 0;
}
