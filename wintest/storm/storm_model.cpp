#include "storm_model.h"

#include <string.h>

namespace storm {

void InitialModel(Model *model)
{
    memset(model, 0, sizeof *model);
    model->drag = -1;
    model->capture = Capture::None;
}

bool IsCurve(const Curve &curve)
{
    int32_t n = curve.count;
    if (n < 2 || n > 32 || curve.points[0].x != 0 || curve.points[n - 1].x != 511)
        return false;
    for (int32_t i = 0; i < n; i++) {
        if (curve.points[i].y < 0 || curve.points[i].y > 255)
            return false;
        if (i > 0 && curve.points[i].x <= curve.points[i - 1].x)
            return false;
    }
    return true;
}

void ResetCurve(Curve *curve)
{
    curve->points[0] = {0, 255};
    curve->points[1] = {511, 0};
    curve->count = 2;
}

// A straight scan for the segment, as plainly as it can be put.
int32_t Evaluate(const Curve &curve, int32_t position)
{
    Curve diagonal;
    const Curve *c = &curve;
    if (curve.count < 2 || curve.count > 32) {  // no curve yet: read as the diagonal
        ResetCurve(&diagonal);
        c = &diagonal;
    }
    const Point *p = c->points;
    int32_t n = c->count;
    if (position < 0)
        return 255 - p[0].y;
    if (position >= 512)
        return 255 - p[n - 1].y;
    int32_t i = 0;
    while (i < n - 1 && position >= p[i + 1].x)
        i++;
    if (i == n - 1)
        i = n - 2;
    int32_t x0 = p[i].x, y0 = p[i].y, x1 = p[i + 1].x, y1 = p[i + 1].y;
    return 255 - y0 + (y0 - y1) * (position - x0) / (x1 - x0);
}

int32_t HitTest(const Curve &curve, int32_t x, int32_t y)
{
    for (int32_t i = curve.count - 1; i >= 0; i--) {
        const Point &p = curve.points[i];
        if (p.x - 4 <= x && x <= p.x + 4 && p.y - 4 <= y && y <= p.y + 4)
            return i;
    }
    return -1;
}

// A press reaches the editor inside it, or anywhere while it holds the mouse:
// the point is kept within the value range; a column right of the last point
// has nowhere to go and changes nothing.
bool Insert(Curve *curve, int32_t x, int32_t y)
{
    int32_t n = curve->count;
    if (n >= 32)
        return false;
    int32_t candidate = x;
    for (int32_t i = n - 1; i >= 0; i--) {
        if (candidate == curve->points[i].x)
            candidate--;
        else if (candidate > curve->points[i].x)
            break;
    }
    if (candidate < 0)
        return false;
    int32_t slot = 0;
    while (slot < n && curve->points[slot].x <= candidate)
        slot++;
    if (slot == n)
        return false;
    for (int32_t i = n; i > slot; i--)
        curve->points[i] = curve->points[i - 1];
    curve->points[slot] = {(int16_t)candidate, (int16_t)(y < 0 ? 0 : y > 255 ? 255 : y)};
    curve->count = n + 1;
    return true;
}

bool Remove(Curve *curve, int32_t index)
{
    int32_t n = curve->count;
    if (index < 1 || index > n - 2)
        return false;
    for (int32_t i = index; i < n - 1; i++)
        curve->points[i] = curve->points[i + 1];
    curve->count = n - 1;
    return true;
}

void Drag(Curve *curve, int32_t index, int32_t x, int32_t y)
{
    int32_t n = curve->count;
    if (index < 0 || index > 31 || index >= n)
        return;
    y = y < 0 ? 0 : y > 255 ? 255 : y;
    Point *p = curve->points;
    if (index == 0)
        x = 0;
    else if (index == n - 1)
        x = 511;
    else if (x <= p[index - 1].x)
        x = p[index - 1].x + 1;
    else if (x >= p[index + 1].x)
        x = p[index + 1].x - 1;
    p[index] = {(int16_t)x, (int16_t)y};
}

// The first size bytes, never more than the block; a record the copy reached
// that is no curve becomes the diagonal in its first two slots.
void LoadBlock(Model *model, const uint8_t *data, int32_t size)
{
    if (data == nullptr || size <= 0)
        return;
    if (size > (int32_t)sizeof(Block))
        size = (int32_t)sizeof(Block);
    memcpy(&model->block, data, (size_t)size);
    for (int32_t g = 0; g * (int32_t)sizeof(Curve) < size; g++)
        if (!IsCurve(model->block.curves[g]))
            ResetCurve(&model->block.curves[g]);
}

// Every edit, switch and reset invalidates the whole editor once.
static void Invalidate(Model *model)
{
    model->invalid = true;
    model->invalidations++;
}

static void Show(Model *model, int32_t graph)
{
    model->shown = graph;
    model->titleGraph = graph + 1;
    Invalidate(model);
}

// A second start-up in one process finds the editor's class registered and
// fails, changing nothing.
bool StartUp(Model *model)
{
    if (model->classRegistered)
        return false;
    model->classRegistered = true;
    model->running = true;
    for (Curve &curve : model->block.curves)
        ResetCurve(&curve);
    model->drag = -1;
    model->shown = 0;
    model->titleGraph = 1;
    model->invalid = true;  // the new window waits for its first paint
    return true;
}

void ShutDown(Model *model)
{
    if (!model->running)
        return;
    model->running = false;
    model->invalid = false;
    if (model->capture == Capture::Editor)
        model->capture = Capture::None;
}

int Command(Model *model, uintptr_t wParam)
{
    if (!model->running)
        return 0;
    switch (wParam & 0xFFFF) {
    case 40007:
        Show(model, model->shown > 0 ? model->shown - 1 : 0);
        return 0;
    case 40008:
        Show(model, model->shown < 63 ? model->shown + 1 : 63);
        return 0;
    case 40009:
        ResetCurve(&model->block.curves[model->shown]);
        Invalidate(model);
        return 1;
    case 1234:
        return 1;
    }
    return 0;
}

// The arrow keys and Delete do what the menu's previous, next and reset
// items do.
int Key(Model *model, uintptr_t wParam)
{
    switch (wParam) {
    case 0x25:
        return Command(model, 40007);
    case 0x27:
        return Command(model, 40008);
    case 0x2E:
        return Command(model, 40009);
    }
    return 0;
}

void Press(Model *model, int32_t x, int32_t y, bool ctrl)
{
    if (!model->running)
        return;
    Curve *curve = &model->block.curves[model->shown];
    int32_t hit = HitTest(*curve, x, y);
    if (ctrl) {
        if (hit == -1 ? Insert(curve, x, y) : Remove(curve, hit))
            Invalidate(model);
        return;
    }
    model->drag = hit;
    if (hit != -1)
        model->capture = Capture::Editor;
}

void Move(Model *model, int32_t x, int32_t y)
{
    if (!model->running || model->drag == -1)
        return;
    Drag(&model->block.curves[model->shown], model->drag, x, y);
    Invalidate(model);
}

// The release ends the drag; the editor gives up the mouse only if it still
// holds it.
void Release(Model *model)
{
    if (!model->running || model->drag == -1)
        return;
    model->drag = -1;
    if (model->capture == Capture::Editor)
        model->capture = Capture::None;
}

}  // namespace storm
