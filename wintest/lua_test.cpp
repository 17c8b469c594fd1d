// Lua in the host's process: the plug-in runs with no Lua runtime anywhere,
// and once a script engine has brought lua51.dll along, a script that loads
// the same DLL as a module reads what the user draws in the editor, with the
// same numbers whatever the host's thread has set its x87 unit to.
// The first test must run before any other loads lua51.dll: they are all
// here, in that order.
#include <float.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "lua_support.h"
#include "support.h"

namespace {

// Their own suite, so that one filter (LuaTest.*) runs them again with
// another runtime's lua51.dll.
class LuaTest : public PluginTest {};

const char kLoadAndRead[] =
    "local path = ...\n"
    "local open = assert(package.loadlib(path, 'luaopen_rivo_grapheditor'))\n"
    "local module = open()\n"
    "assert(module == rivo.grapheditor, 'the loader returns rivo.grapheditor')\n"
    "assert(rivo.grapheditor.getvalue(64, 0.3) == 0.3)\n"
    "return rivo.grapheditor.getvalue(0, 200.5 / 511)\n";

TEST_F(LuaTest, ScriptsInTheSameProcessReadTheEditorsGraphsAndNeedNoLuaBefore)
{
    // The plug-in started, drew and took keys without any Lua runtime.
    EXPECT_EQ(GetModuleHandleA("lua51.dll"), nullptr);
    typedef int (*LuaOpen)(lua_State *L);
    LuaOpen open = reinterpret_cast<LuaOpen>(
        reinterpret_cast<void (*)()>(GetProcAddress(host.plugin, "luaopen_rivo_grapheditor")));
    ASSERT_NE(open, nullptr);
    // With no lua51.dll to bind, the entry registers nothing and touches no
    // part of the state it is given.
    char untouched[64] = {};
    EXPECT_EQ(open(reinterpret_cast<lua_State *>(untouched)), 0);
    EXPECT_EQ(std::string(untouched, sizeof untouched), std::string(sizeof untouched, '\0'));
    EXPECT_EQ(GetModuleHandleA("lua51.dll"), nullptr);

    // The script engine arrives with its runtime.
    LuaApi lua;
    ASSERT_TRUE(LoadLuaApi(&lua));
    lua_State *L = lua.newstate();
    ASSERT_NE(L, nullptr);
    lua.openlibs(L);

    // Graph 1 is the diagonal: position 200 has the value 99.
    EXPECT_EQ(RunChunk(lua, L, kLoadAndRead), 99 / 255.0);

    // The user Ctrl-clicks at (200, 100); the next call sees the new point.
    Press(200, 100, true);
    Release(200, 100);
    EXPECT_EQ(RunChunk(lua, L, "return rivo.grapheditor.getvalue(0, 200.5 / 511)"), 155 / 255.0);
    // A second load of the module keeps the tables and still reads live.
    EXPECT_EQ(RunChunk(lua, L, kLoadAndRead), 155 / 255.0);
    // Other graphs are untouched.
    EXPECT_EQ(RunChunk(lua, L, "return rivo.grapheditor.getvalue(1, 200.5 / 511)"), 99 / 255.0);

    lua.close(L);
}

// --- getvalue's numbers where scripts run: in a host whose thread may have set
// the x87 unit to any precision (every mingw-built program runs at 64 bits,
// some graphics libraries switch to 24), the module must read the same
// column as IEEE double arithmetic does. t is pushed from C, so only the
// module's own arithmetic is under test; the expected column is worked out
// in integers, so no setting of this thread can change it either.

// t x 511 rounded once to a double (to nearest, ties to even) and truncated
// toward zero, for finite t with |t| below 2^20.
int32_t ExactPosition(double t)
{
    if (t == 0)
        return 0;
    int exponent;
    double fraction = frexp(fabs(t), &exponent);  // |t| = fraction x 2^exponent
    uint64_t mantissa = (uint64_t)ldexp(fraction, 53);  // an exact 53-bit integer
    int shift = exponent - 53;                          // |t| = mantissa x 2^shift
    uint64_t product = mantissa * 511;                  // below 2^62: exact
    int excess = 0;
    while ((product >> (53 + excess)) != 0)
        excess++;
    if (excess > 0) {
        uint64_t rest = product & ((1ull << excess) - 1);
        uint64_t half = 1ull << (excess - 1);
        product >>= excess;
        if (rest > half || (rest == half && (product & 1) != 0))
            product++;
        shift += excess;
    }
    uint64_t magnitude = shift >= 0 ? product << shift : shift > -64 ? product >> -shift : 0;
    return t < 0 ? -(int32_t)magnitude : (int32_t)magnitude;
}

// A graph whose value at column x is x mod 256: every column's value differs
// from both of its neighbours', so a column read one off shows.
const Graph kSawtooth = MakeGraph({{0, 255}, {255, 0}, {256, 255}, {511, 0}});

int32_t SawtoothValue(int32_t position)
{
    if (position < 0)
        return 0;
    if (position > 511)
        return 255;
    return position % 256;
}

struct Scale {
    double of[256];
};

constexpr Scale MakeScale()
{
    Scale scale = {};
    for (int value = 0; value < 256; value++)
        scale.of[value] = value / 255.0;
    return scale;
}

// Folded by the compiler: no run-time division whose rounding could follow
// this thread's setting.
constexpr Scale kScale = MakeScale();

struct Case {
    double t;
    int32_t position;
    bool single;  // t has at most 24 significant bits
};

// The next double, or float, above or below t.
double Step(double t, double toward)
{
    return nextafter(t, toward);
}

float Step(float t, double toward)
{
    return nextafterf(t, (float)toward);
}

// Every column's t = k/511 with its neighbours on both sides, the first t
// of every column and the last t of the column before it, in numbers of
// type Number.
template <typename Number>
void AddColumnCases(std::vector<Case> *cases)
{
    const bool single = sizeof(Number) == sizeof(float);
    auto add = [cases, single](Number t) { cases->push_back({t, ExactPosition(t), single}); };
    for (int k = 0; k <= 511; k++) {
        Number t = (Number)(k / 511.0);
        add(t);
        add(Step(t, 2.0));
        add(Step(t, -1.0));
    }
    for (int k = 1; k <= 511; k++) {
        Number t = (Number)(k / 511.0);
        while (ExactPosition(t) >= k)
            t = Step(t, -1.0);
        while (ExactPosition(t) < k)
            t = Step(t, 2.0);
        add(t);
        add(Step(t, -1.0));
    }
}

// The columns in doubles and on the grid of 24-bit numbers, and t beyond
// both ends.
std::vector<Case> ColumnCases()
{
    std::vector<Case> cases;
    AddColumnCases<double>(&cases);
    AddColumnCases<float>(&cases);
    auto add = [&cases](double t, bool single) { cases.push_back({t, ExactPosition(t), single}); };
    for (double t : {-0.0, 5e-324, -5e-324, -0.5 / 511, -1 / 511.0, 511.5 / 511, 512 / 511.0})
        add(t, false);
    for (double t : {-1.0, -2.0, 2.0, 1e6})
        add(t, true);
    // Past 32 bits the position saturates; NaN reads as position 0.
    cases.push_back({HUGE_VAL, INT32_MAX, true});
    cases.push_back({1e300, INT32_MAX, false});
    cases.push_back({-HUGE_VAL, INT32_MIN, true});
    cases.push_back({-1e300, INT32_MIN, false});
    cases.push_back({nan(""), 0, true});
    return cases;
}

// Whether this thread's x87 rounds a double to 24 bits when it merely loads
// and stores it at that precision. No processor does (the setting governs
// arithmetic only), but qemu's emulation of one does. There no double
// crosses a call into or out of lua51.dll unrounded at 24 bits, so only
// the cases whose t has 24 significant bits can be run, and the result is
// known only to 24 bits: enough to tell one column's value from another's.
bool LoadsRoundAt24Bits()
{
#ifdef _WIN64
    return false;
#else
    volatile double in = 1 / 3.0, out = 0;
    unsigned saved = _controlfp(0, 0);
    _controlfp(_PC_24, _MCW_PC);
    __asm__ volatile("fldl %1\n\tfstpl %0" : "=m"(out) : "m"(in));
    _controlfp(saved, _MCW_PC);
    return out != in;
#endif
}

struct Precision {
    const char *name;
    unsigned control;  // _PC_* with rounding to nearest; 0: leave the thread as it is
};

TEST_F(LuaTest, GetValueReadsTheColumnOfIeeeDoubleArithmeticWhateverTheX87Precision)
{
    LoadShownGraph(kSawtooth);
    LuaApi lua;
    ASSERT_TRUE(LoadLuaApi(&lua));
    lua_State *L = NewStateWithModule(lua);
    ASSERT_NE(L, nullptr);
    const std::vector<Case> cases = ColumnCases();
    const bool emulatedLoads = LoadsRoundAt24Bits();

#ifdef _WIN64
    // x86_64 code has no x87 precision setting: doubles are always SSE2.
    const Precision precisions[] = {{"as the thread is", 0}};
#else
    const Precision precisions[] = {{"24 bits", _PC_24}, {"53 bits", _PC_53}, {"64 bits", _PC_64}};
#endif
    for (const Precision &precision : precisions) {
        const bool onlySingle = emulatedLoads && precision.control == _PC_24;
        std::vector<double> results(cases.size());
        unsigned saved = _controlfp(0, 0);
        if (precision.control != 0)
            _controlfp(precision.control | _RC_NEAR, _MCW_PC | _MCW_RC);
        for (size_t i = 0; i < cases.size(); i++)
            if (cases[i].single || !onlySingle)
                results[i] = CallGetValue(lua, L, 0, cases[i].t);
        unsigned during = _controlfp(0, 0);
        _controlfp(saved, _MCW_PC | _MCW_RC);

        if (precision.control != 0)
            EXPECT_EQ(during & (_MCW_PC | _MCW_RC), precision.control | _RC_NEAR)
                << precision.name << ": the setting did not hold through the calls";
        size_t run = 0, wrong = 0;
        std::string shown;
        for (size_t i = 0; i < cases.size(); i++) {
            if (!cases[i].single && onlySingle)
                continue;
            run++;
            int32_t want = SawtoothValue(cases[i].position);
            double got = results[i];
            bool right = onlySingle ? lround(got * 255) == want
                                    : memcmp(&got, &kScale.of[want], sizeof got) == 0;
            if (right)
                continue;
            if (++wrong <= 5) {
                char line[160];
                snprintf(line, sizeof line, "\n  t = %.17g (position %d): got %.17g = %.6f/255, want %d/255",
                         cases[i].t, (int)cases[i].position, got, got * 255, (int)want);
                shown += line;
            }
        }
        EXPECT_EQ(wrong, 0u) << "x87 precision " << precision.name << ": " << wrong << " of " << run
                             << " calls wrong" << shown;
        if (onlySingle)
            printf("x87 precision %s: this x87 rounds loads and stores to 24 bits, as an emulator's "
                   "does; %u calls with 24-bit t run, %u others left out\n",
                   precision.name, (unsigned)run, (unsigned)(cases.size() - run));
    }
    lua.close(L);
}

// The index is the runtime's own integer conversion of the argument, then
// compared with 0..63 in the width of lua_Integer: 64 bits in the x86_64
// build, where 2^32 + 5 is no graph; 32 bits in the i686 file, where the
// runtime has already narrowed it (Lua 5.1 rounds and keeps the low 32 bits:
// graph 5).
TEST_F(LuaTest, GetValueTakesTheIndexAsTheRuntimeConvertsIt)
{
    GraphSet set = SaveBlock();
    set.graphs[5] = MakeGraph({{0, 55}, {511, 55}});  // value 200 everywhere
    LoadBlock(set);
    LuaApi lua;
    ASSERT_TRUE(LoadLuaApi(&lua));
    lua_State *L = NewStateWithModule(lua);
    ASSERT_NE(L, nullptr);

    const double t = 0.3;
    const double diagonal = kScale.of[ExactPosition(t) * 255 / 511];
    const double indices[] = {5,           5.25,        63.9,        -0.9,     64.5,
                              4294967296.0 + 5, 4294967296.0, -4294967296.0 + 5, 2147483648.0,
                              -2147483648.0, -2147483649.0, 9007199254740992.0, 1e300};
    for (double index : indices) {
        lua.pushnumber(L, index);
        ptrdiff_t converted = lua.tointeger(L, -1);
        lua.settop(L, 0);
        double want = converted < 0 || converted > 63 ? t : converted == 5 ? kScale.of[200] : diagonal;
        EXPECT_EQ(CallGetValue(lua, L, index, t), want)
            << "index " << index << ", which the runtime converts to " << (long long)converted;
    }
#ifdef _WIN64
    EXPECT_EQ(CallGetValue(lua, L, 4294967296.0 + 5, t), t);
#endif
    lua.close(L);
}

}  // namespace
