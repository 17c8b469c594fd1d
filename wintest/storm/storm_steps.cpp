#include "storm_steps.h"

#include <stdio.h>
#include <string.h>

#include <windows.h>

namespace storm {

namespace {

const char *const kKindNames[] = {
    "press", "move", "release", "mouse", "lose-capture", "cover", "uncover", "key", "key-run", "command",
    "forward", "invalidate", "pump", "save", "load", "read-graph", "start-up", "shut-down", "close-host-window",
};
static_assert(sizeof kKindNames / sizeof kKindNames[0] == (size_t)Kind::Count, "a name for every kind");

// Mouse messages the editor gets besides the left button's.
const UINT kOtherMouse[] = {
    WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_LBUTTONDBLCLK,
    WM_MOUSEWHEEL,  WM_XBUTTONDOWN, WM_XBUTTONUP, WM_MOUSEHOVER, WM_MOUSELEAVE,
};

// Messages a host may hand to the window-message callback besides keys and
// commands.
const UINT kForwarded[] = {
    WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_PAINT, WM_SIZE,
    WM_MOVE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_TIMER, WM_NULL, WM_USER, WM_CLOSE,
    WM_KEYDOWN, WM_COMMAND, WM_KEYDOWN, WM_COMMAND,
};

const int32_t kMenuIds[] = {40004, 40005, 40007, 40008, 40009, 1234};

int32_t Pick(Random *random, const int32_t *values, size_t count)
{
    return values[random->Below((uint32_t)count)];
}

// Mouse positions: mostly on and around the shown graph's points, inside the
// window and on its edges, and now and then anywhere in 16 bits.
void Position(Random *random, const Model &model, int32_t *x, int32_t *y)
{
    const Curve &curve = model.block.curves[model.shown];
    uint32_t roll = random->Below(100);
    if (roll < 45 && curve.count >= 1 && curve.count <= 32) {
        const Point &p = curve.points[random->Below((uint32_t)curve.count)];
        *x = p.x + random->Between(-6, 6);
        *y = p.y + random->Between(-6, 6);
    } else if (roll < 70) {
        *x = random->Between(0, 511);
        *y = random->Between(0, 255);
    } else if (roll < 88) {
        static const int32_t kEdgeX[] = {-3, -1, 0, 1, 4, 5, 506, 507, 510, 511, 512, 515};
        static const int32_t kEdgeY[] = {-3, -1, 0, 1, 4, 5, 250, 251, 254, 255, 256, 259};
        *x = random->Chance(70) ? Pick(random, kEdgeX, 12) : random->Between(0, 511);
        *y = random->Chance(70) ? Pick(random, kEdgeY, 12) : random->Between(0, 255);
    } else {
        static const int32_t kFar[] = {-32768, -32767, -512, 32767, 32766, 1024};
        *x = random->Chance(20) ? Pick(random, kFar, 6) : random->Between(-32768, 32767);
        *y = random->Chance(20) ? Pick(random, kFar, 6) : random->Between(-32768, 32767);
    }
}

// The other buttons and keys a mouse message may carry.
int32_t OtherButtons(Random *random)
{
    int32_t bits = 0;
    if (random->Chance(10))
        bits |= MK_SHIFT;
    if (random->Chance(5))
        bits |= MK_RBUTTON;
    if (random->Chance(5))
        bits |= MK_MBUTTON;
    if (random->Chance(3))
        bits |= MK_XBUTTON1 | MK_XBUTTON2;
    return bits;
}

int32_t KeyCode(Random *random)
{
    uint32_t roll = random->Below(100);
    if (roll < 45)
        return roll < 20 ? VK_LEFT : roll < 40 ? VK_RIGHT : VK_DELETE;
    if (roll < 92)
        return random->Between(0, 255);
    // The code is the whole wParam: a wider value is no arrow.
    static const int32_t kWide[] = {0x10000 | VK_LEFT, 0x10000 | VK_RIGHT, 0x100 | VK_DELETE, -1};
    return random->Chance(50) ? Pick(random, kWide, 4) : (int32_t)random->Next();
}

int32_t KeyFlags(Random *random)
{
    static const int32_t kFlags[] = {
        0x00000001,  // a plain press
        0x40000001,  // held down: the key was down before
        0x4000000F,  // held down, 15 repeats folded into one message
        0x20000001,  // with Alt
        0x01000001,  // an extended key
        (int32_t)0xC0000001,
    };
    return Pick(random, kFlags, 6);
}

Step Make(Kind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0, int32_t e = 0, uint32_t seed = 0)
{
    Step step = {kind, a, b, c, d, e, seed};
    return step;
}

Step MouseStep(Random *random, const Model &model, uint32_t roll)
{
    int32_t x, y;
    Position(random, model, &x, &y);
    if (roll < 30) {
        int32_t buttons = MK_LBUTTON | OtherButtons(random);
        if (random->Chance(40))
            buttons |= MK_CONTROL;
        if (random->Chance(3))
            buttons &= ~MK_LBUTTON;
        return Make(Kind::Press, x, y, buttons);
    }
    if (roll < 80) {
        int32_t buttons = (random->Chance(70) ? MK_LBUTTON : 0) | OtherButtons(random);
        if (random->Chance(10))
            buttons |= MK_CONTROL;
        return Make(Kind::Move, x, y, buttons);
    }
    if (roll < 95)
        return Make(Kind::Release, x, y, OtherButtons(random) | (random->Chance(10) ? MK_CONTROL : 0));
    uint32_t which = random->Below(sizeof kOtherMouse / sizeof kOtherMouse[0]);
    return Make(Kind::Mouse, (int32_t)kOtherMouse[which], x, y, MK_LBUTTON | OtherButtons(random));
}

Step HostStep(Random *random, Phase phase, uint32_t roll)
{
    if (roll < 40) {
        int32_t held = random->Chance(20) ? (int32_t)random->Below(8) : 0;
        int32_t times = random->Chance(10) ? random->Between(2, 5) : 1;
        return Make(Kind::Key, KeyCode(random), KeyFlags(random), held, times);
    }
    if (roll < 47) {
        int32_t key = random->Chance(90) ? (random->Chance(50) ? VK_LEFT : VK_RIGHT) : VK_DELETE;
        return Make(Kind::KeyRun, key, 0, 0, random->Chance(50) ? random->Between(60, 80) : random->Between(1, 20));
    }
    if (roll < 72) {
        int32_t id;
        uint32_t which = random->Below(100);
        if (which < 70)
            id = Pick(random, kMenuIds, 6);
        else if (which < 90)
            id = random->Between(0, 65535);
        else
            id = Pick(random, kMenuIds, 6) ^ random->Between(1, 3);
        int32_t high = random->Chance(15) ? random->Between(0, 65535) : 0;
        int32_t lParam = random->Chance(10) ? (int32_t)random->Next() : 0;
        return Make(Kind::Command, (int32_t)((uint32_t)high << 16 | (uint32_t)id), lParam);
    }
    if (roll < 84) {
        UINT message = random->Chance(90) ? kForwarded[random->Below(sizeof kForwarded / sizeof kForwarded[0])]
                                          : random->Below(0x10000);
        int32_t wParam;
        if (message == WM_KEYDOWN)
            wParam = KeyCode(random);
        else if (message == WM_COMMAND)
            wParam = random->Chance(70) ? Pick(random, kMenuIds, 6) : random->Between(0, 65535);
        else
            wParam = (int32_t)random->Next();
        return Make(Kind::Forward, (int32_t)message, wParam, (int32_t)random->Next());
    }
    if (roll < 89)
        return Make(Kind::Save, (int32_t)random->Below(3));
    if (roll < 94)
        return Make(Kind::ReadGraph, random->Between(0, 63));
    // A load: its bytes come from the step's seed.
    int32_t shape = (int32_t)random->Below(kLoadShapeCount);
    int32_t size;
    uint32_t how = random->Below(100);
    if (shape == kLoadLong)
        size = random->Between(8449, 20000);
    else if (how < 40)
        size = 8448;
    else if (how < 60)
        size = 132 * random->Between(0, 64) + random->Between(-1, 1);
    else if (how < 85)
        size = random->Between(0, 8448);
    else if (how < 95)
        size = random->Between(-300, 0);
    else
        size = random->Chance(50) ? INT32_MIN : INT32_MAX;
    (void)phase;
    return Make(Kind::Load, shape, size, 0, 0, 0, (uint32_t)random->Next());
}

Step WindowStep(Random *random, const Model &model, uint32_t roll)
{
    if (roll < 15)
        return Make(Kind::LoseCapture, random->Chance(70) ? 0 : 1);
    if (roll < 35) {
        int32_t x = random->Between(-100, 500), y = random->Between(-100, 250);
        return Make(Kind::Cover, x, y, random->Between(1, 300), random->Between(1, 200),
                    random->Chance(70) ? 0 : 1);
    }
    if (roll < 55)
        return Make(Kind::Uncover, random->Chance(60) ? 0 : 1);
    if (roll < 90) {
        int32_t x = random->Between(-50, 560), y = random->Between(-50, 300);
        return Make(Kind::Invalidate, x, y, x + random->Between(0, 200), y + random->Between(0, 200),
                     (int32_t)random->Below(8));
    }
    (void)model;
    return Make(Kind::Pump);
}

}  // namespace

uint64_t Random::Next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Random::Below(uint32_t bound)
{
    return bound == 0 ? 0 : (uint32_t)(Next() % bound);
}

int32_t Random::Between(int32_t low, int32_t high)
{
    return (int32_t)((int64_t)low + (int64_t)(Next() % (uint64_t)((int64_t)high - low + 1)));
}

bool Random::Chance(uint32_t percent)
{
    return Below(100) < percent;
}

Step NextStep(Random *random, const Model &model, Phase phase)
{
    uint32_t roll = random->Below(1000);
    uint32_t detail = random->Below(100);
    if (phase == Phase::BeforeStartUp)
        return HostStep(random, phase, detail);
    if (phase == Phase::AfterShutDown || phase == Phase::AfterHostClosed) {
        if (roll < 20)
            return Make(Kind::ShutDown);
        if (roll < 26 && phase == Phase::AfterShutDown)
            return Make(Kind::StartUp);
        if (roll < 30 && phase == Phase::AfterShutDown)
            return Make(Kind::CloseHostWindow);
    } else if (roll < 1) {
        // A second start-up while running: rare, each shows a message box.
        if (random->Below(20) == 0)
            return Make(Kind::StartUp);
    }
    if (roll < 600) {
        // A drag draws more moves after it, as a hand does.
        if (model.drag != -1 && detail < 60)
            detail = 30 + detail * 50 / 60;
        return MouseStep(random, model, detail);
    }
    if (roll < 920)
        return HostStep(random, phase, detail);
    return WindowStep(random, model, detail);
}

// Curves as a user might leave them: 2 to 32 points from x 0 to x 511.
static void RandomCurve(Random *random, Curve *curve)
{
    int32_t n = random->Between(2, 32);
    int32_t x = 0;
    for (int32_t i = 0; i < n; i++) {
        int32_t left = n - 1 - i;  // points still to place after this one
        if (i == n - 1)
            x = 511;
        else if (i > 0)
            x = random->Between(x + 1, 511 - left);
        curve->points[i] = {(int16_t)x, (int16_t)random->Between(0, 255)};
    }
    for (int32_t i = n; i < 32; i++)
        curve->points[i] = {(int16_t)random->Next(), (int16_t)random->Next()};
    curve->count = n;
}

static void SpoilCurve(Random *random, Curve *curve)
{
    static const int32_t kCounts[] = {INT32_MIN, -1, 0, 1, 33, 64, INT32_MAX};
    switch (random->Below(6)) {
    case 0:
        curve->count = Pick(random, kCounts, 7);
        break;
    case 1:
        curve->points[0].x = (int16_t)random->Between(-5, 5);
        break;
    case 2:
        curve->points[curve->count - 1].x = (int16_t)random->Between(505, 520);
        break;
    case 3: {
        int32_t i = random->Between(1, curve->count - 1);
        curve->points[i].x = curve->points[i - 1].x;
        break;
    }
    case 4:
        curve->points[random->Below((uint32_t)curve->count)].y =
            (int16_t)(random->Chance(50) ? random->Between(-32768, -1) : random->Between(256, 32767));
        break;
    default:
        curve->points[random->Below((uint32_t)curve->count)].x = (int16_t)random->Next();
        break;
    }
}

std::vector<uint8_t> LoadBytes(const Step &step)
{
    if (step.a == kLoadNull)
        return {};
    Random random = {step.seed};
    // A size beyond the block is read no further than the block: a claim of
    // 2^31 bytes comes with a whole block behind it.
    size_t size = step.b > 0 && step.b <= 20000 ? (size_t)step.b : 0;
    std::vector<uint8_t> bytes(size > sizeof(Block) ? size : sizeof(Block));
    if (step.a == kLoadRandom) {
        for (uint8_t &byte : bytes)
            byte = (uint8_t)random.Next();
        return bytes;
    }
    Block block;
    for (Curve &curve : block.curves) {
        RandomCurve(&random, &curve);
        if (step.a == kLoadHostile && random.Chance(30))
            SpoilCurve(&random, &curve);
    }
    memcpy(bytes.data(), &block, sizeof block);
    for (size_t i = sizeof block; i < bytes.size(); i++)
        bytes[i] = (uint8_t)random.Next();
    return bytes;
}

std::string StepText(const Step &step)
{
    char text[160];
    snprintf(text, sizeof text, "%s %ld %ld %ld %ld %ld %lu", kKindNames[(int)step.kind], (long)step.a,
             (long)step.b, (long)step.c, (long)step.d, (long)step.e, (unsigned long)step.seed);
    return text;
}

bool ParseStep(const std::string &line, Step *step)
{
    char name[32];
    long a, b, c, d, e;
    unsigned long seed;
    if (sscanf(line.c_str(), "%31s %ld %ld %ld %ld %ld %lu", name, &a, &b, &c, &d, &e, &seed) != 7)
        return false;
    for (int kind = 0; kind < (int)Kind::Count; kind++)
        if (strcmp(name, kKindNames[kind]) == 0) {
            *step = Make((Kind)kind, (int32_t)a, (int32_t)b, (int32_t)c, (int32_t)d, (int32_t)e, (uint32_t)seed);
            return true;
        }
    return false;
}

bool WriteSteps(const char *path, const std::vector<Step> &steps)
{
    FILE *file = fopen(path, "w");
    if (file == NULL)
        return false;
    for (const Step &step : steps)
        fprintf(file, "%s\n", StepText(step).c_str());
    return fclose(file) == 0;
}

bool ReadSteps(const char *path, std::vector<Step> *steps)
{
    FILE *file = fopen(path, "r");
    if (file == NULL)
        return false;
    char line[256];
    steps->clear();
    bool good = true;
    while (fgets(line, sizeof line, file) != NULL) {
        if (line[0] == '#' || line[0] == '\n')
            continue;
        Step step;
        good = good && ParseStep(line, &step);
        steps->push_back(step);
    }
    fclose(file);
    return good;
}

}  // namespace storm
