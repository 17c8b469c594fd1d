// The project block is the byte image of the graph set: 64 records of 132
// bytes, little-endian, with nothing before, between or after them.
#include <string.h>

#include "graph.h"

extern "C" int ProjectSave(void *, void *, void *data, int32_t *sizeOut)
{
    if (data == NULL) {  // the host asks how large the block is
        if (sizeOut != NULL)
            *sizeOut = kProjectBlockSize;
        return 1;
    }
    memcpy(data, &graphSet, kProjectBlockSize);
    return 1;
}

extern "C" int ProjectLoad(void *, void *, void *data, int32_t size)
{
    if (data == NULL || size <= 0)
        return 1;
    if (size > kProjectBlockSize)  // never write past the set
        size = kProjectBlockSize;
    memcpy(&graphSet, data, (size_t)size);

    // Nothing in the block vouches for its contents: a record the copy
    // touched that is no curve of ours becomes the default line, so the
    // editor and scripts only ever see valid graphs. Untouched records keep
    // what they had.
    int32_t touched = (size + (int32_t)sizeof(Graph) - 1) / (int32_t)sizeof(Graph);
    for (int32_t g = 0; g < touched; g++) {
        if (!IsValidGraph(&graphSet.graphs[g]))
            ResetGraph(&graphSet.graphs[g]);
        MarkGraphChanged(&graphSet.graphs[g]);
    }
    return 1;
}
