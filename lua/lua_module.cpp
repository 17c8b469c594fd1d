// The Lua 5.1 face of the DLL: the module entry that publishes
// rivo.grapheditor and its one function, getvalue. This is the only file that
// calls Lua, and it calls nothing beyond these eleven functions:
//   lua_getfield lua_setfield lua_type lua_settop lua_gettop lua_createtable
//   lua_pushvalue lua_pushcclosure lua_tointeger lua_tonumber lua_pushnumber
// (lua_pop and lua_newtable are macros over them). On Linux the interpreter
// that loads the module provides them; the Windows build binds them from
// lua51.dll on first use, so adding a twelfth means adding it there too.
#include <stdint.h>
#include <stddef.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <lua.h>
}

#include "graph.h"
#include "lua_runtime.h"

#if defined(_WIN32)
#define RIVO_LUA_EXPORT extern "C" __declspec(dllexport)
#else
#define RIVO_LUA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The position on the x scale for t in 0..1: t * 511 truncated toward zero.
// NaN reads as 0, and anything beyond 32 bits saturates, so +inf lands past
// the last point and -inf before the first.
static int32_t PositionOf(lua_Number t)
{
    lua_Number position = t * kMaxX;
    if (position >= 2147483648.0)
        return INT32_MAX;
    if (position > -2147483649.0)
        return (int32_t)position;
    if (position <= -2147483649.0)
        return INT32_MIN;
    return 0;  // NaN: every comparison above was false
}

// The column t * 511 truncates to, when that is one of 0..511; any other
// number (also NaN, negative beyond -1, or past 511) otherwise. On SSE2 the
// processor's own truncation gives an out-of-range marker for NaN and for
// numbers past the integer's range, so one unsigned compare tells them all.
static inline size_t ColumnOf(lua_Number t)
{
    lua_Number position = t * kMaxX;
#if defined(__SSE2__) && defined(__x86_64__)
    return (size_t)_mm_cvttsd_si64(_mm_set_sd(position));
#elif defined(__SSE2__)
    return (size_t)(uint32_t)_mm_cvttsd_si32(_mm_set_sd(position));
#else
    return position > -1 && position < kGraphWidth ? (size_t)(ptrdiff_t)position : (size_t)kGraphWidth;
#endif
}

// value / 255.0 for every value a graph can give (0..255): a load instead of
// a division on every call. The module entry fills it before any getvalue
// can run; as a constant it would add 2 KB to the file.
static lua_Number valueScale[kMaxValue + 1];
static uint32_t valueScaleFilled;

static void FillValueScale()
{
    if (__atomic_load_n(&valueScaleFilled, __ATOMIC_ACQUIRE))
        return;
    for (int32_t value = 0; value <= kMaxValue; value++)
        valueScale[value] = value / (lua_Number)kMaxValue;
    __atomic_store_n(&valueScaleFilled, 1, __ATOMIC_RELEASE);
}

// getvalue(index, t): graph index's value at t, on the scale 0..1. An index
// outside 0..63 gives t back. Arguments are never checked: a missing or
// non-numeric one reads as 0 through Lua's own conversions.
static int getvalue(lua_State *L)
{
    // The runtime's own integer conversion, compared in the full width of
    // lua_Integer. Where that is 64 bits (the x86_64 builds) 2^32 + 5 is no
    // graph. In the i686 file it is 32 bits and the runtime has narrowed the
    // number its own way before it gets here (Lua 5.1 keeps the low 32 bits
    // of the rounded number: graph 5).
    lua_Integer index = lua_tointeger(L, 1);
    lua_Number t = lua_tonumber(L, 2);
    lua_Number result = t;
    if (index >= 0 && index < kGraphCount) {
        // Where t * 511 lies in (-1, 512) it truncates to a column: the short
        // path. NaN fails the first test; the rest goes through PositionOf.
        size_t column = ColumnOf(t);
        if (__builtin_expect(column < (size_t)kGraphWidth, 1))
            result = valueScale[ReadGraphColumn((size_t)index, column)];
        else
            result = valueScale[ReadGraphValue((size_t)index, PositionOf(t))];
    }
    lua_pushnumber(L, result);
    return 1;
}

struct ModuleFunction {
    const char *name;
    lua_CFunction function;
};

static const ModuleFunction kModuleFunctions[] = {
    {"getvalue", getvalue},
    {NULL, NULL}
};

// require "rivo_grapheditor": reuses the global table rivo and its field
// grapheditor, creating either where it is not a table, and returns
// grapheditor. Every access is an ordinary one, so scripts that guard their
// tables with __index/__newindex see the module go through them.
RIVO_LUA_EXPORT int luaopen_rivo_grapheditor(lua_State *L)
{
    // Where no Lua runtime can be bound there is nothing to register with:
    // the script sees its own error on the missing table, not a crash.
    if (!LuaRuntimeBound())
        return 0;
    FillValueScale();
    lua_getfield(L, LUA_GLOBALSINDEX, "rivo");
    if (lua_type(L, -1) != LUA_TTABLE) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setfield(L, LUA_GLOBALSINDEX, "rivo");
    }
    int rivo = lua_gettop(L);

    lua_getfield(L, rivo, "grapheditor");
    if (lua_type(L, -1) != LUA_TTABLE) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setfield(L, rivo, "grapheditor");
    }

    for (const ModuleFunction *f = kModuleFunctions; f->name != NULL; f++) {
        if (f->function == NULL)
            break;
        lua_pushcclosure(L, f->function, 0);
        lua_setfield(L, -2, f->name);
    }
    return 1;  // grapheditor, with rivo left below it
}
