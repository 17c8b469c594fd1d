// The storm's own picture of the plug-in: the 64 graphs as the 8448-byte
// block, the shown graph, the drag, who holds the mouse capture and whether
// the editor waits for a paint. Written from the editing rules, not from the
// plug-in's code, so that the two can disagree.
#ifndef RIVO_STORM_MODEL_H
#define RIVO_STORM_MODEL_H

#include <stdint.h>

namespace storm {

struct Point {
    int16_t x, y;
};

struct Curve {
    Point points[32];
    int32_t count;
};

struct Block {
    Curve curves[64];
};
static_assert(sizeof(Block) == 8448, "the block's layout");

enum class Capture { None, Editor, Other };

struct Model {
    Block block;
    bool classRegistered;  // a start-up succeeded in this process
    bool running;       // started and not shut down: the editor exists
    int32_t shown;      // 0..63
    int32_t drag;       // -1: none
    Capture capture;
    bool invalid;       // the editor waits for a paint
    int64_t invalidations;  // times the plug-in invalidated the editor
    int32_t titleGraph; // the graph the title names, 0 for the host's own title
};

void InitialModel(Model *model);

bool IsCurve(const Curve &curve);
void ResetCurve(Curve *curve);
int32_t Evaluate(const Curve &curve, int32_t position);
int32_t HitTest(const Curve &curve, int32_t x, int32_t y);
bool Insert(Curve *curve, int32_t x, int32_t y);  // true when it changed
bool Remove(Curve *curve, int32_t index);
void Drag(Curve *curve, int32_t index, int32_t x, int32_t y);

// A project load of size bytes from data (null allowed).
void LoadBlock(Model *model, const uint8_t *data, int32_t size);

// What the plug-in does with them; each returns the callback's answer.
bool StartUp(Model *model);  // false: the start-up failure
void ShutDown(Model *model);
int Key(Model *model, uintptr_t wParam);
int Command(Model *model, uintptr_t wParam);
void Press(Model *model, int32_t x, int32_t y, bool ctrl);
void Move(Model *model, int32_t x, int32_t y);
void Release(Model *model);

}  // namespace storm

#endif
