// One step of the storm: something a user, the window system or the host
// does to the plug-in, with every parameter it needs written out, so that a
// list of steps replays the same way in another process.
#ifndef RIVO_STORM_STEPS_H
#define RIVO_STORM_STEPS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "storm_model.h"

namespace storm {

enum class Kind {
    Press,        // a x, b y, c wParam
    Move,         // a x, b y, c wParam
    Release,      // a x, b y, c wParam
    Mouse,        // another mouse message: a message, b x, c y, d wParam
    LoseCapture,  // a 0: another window takes it, 1: the capture is released
    Cover,        // a window over the editor at a, b, size c x d; e 0: a sibling, 1: a top-level window
    Uncover,      // a 0: the sibling hidden, 1: moved away; the top-level window moved away
    Key,          // a wParam, b lParam, c modifier keys held, d times
    KeyRun,       // a wParam, d times: arrows across the graph range
    Command,      // a wParam, b lParam
    Forward,      // the host forwards a message: a message, b wParam, c lParam
    Invalidate,   // rect a, b, c, d; e bits: 1 whole, 2 erase, 4 through the host's window
    Pump,         // dispatch whatever waits in the queue
    Save,         // a 0: size query, 1: into a buffer, 2: query with no size
    Load,         // a shape of block (LoadShape), b size, seed the bytes
    ReadGraph,    // a graph index read through Lua in full
    StartUp,
    ShutDown,
    CloseHostWindow,
    Count
};

enum LoadShape {
    kLoadValid,       // 64 random curves, b bytes of them
    kLoadRandom,      // random bytes
    kLoadHostile,     // curves with counts, orders and values out of range
    kLoadLong,        // more than the block, b bytes
    kLoadNull,        // no data, b as the size
    kLoadShapeCount
};

struct Step {
    Kind kind;
    int32_t a, b, c, d, e;
    uint32_t seed;
};

std::string StepText(const Step &step);
bool ParseStep(const std::string &line, Step *step);
bool WriteSteps(const char *path, const std::vector<Step> &steps);
bool ReadSteps(const char *path, std::vector<Step> *steps);

// splitmix64: small, fast and the same everywhere.
struct Random {
    uint64_t state;
    uint64_t Next();
    uint32_t Below(uint32_t bound);            // 0..bound-1
    int32_t Between(int32_t low, int32_t high);  // low..high
    bool Chance(uint32_t percent);
};

enum class Phase { BeforeStartUp, Running, AfterShutDown, AfterHostClosed };

// The next step for a plug-in in this state.
Step NextStep(Random *random, const Model &model, Phase phase);

// The bytes of a Load step: at least max(size, 0) bytes, empty for null data.
std::vector<uint8_t> LoadBytes(const Step &step);

}  // namespace storm

#endif
