// The Lua functions the module calls, defined here as thunks into lua51.dll.
// Nothing is imported at load time: the library is loaded at the first call
// of a Lua function and kept until the process ends, and each function is
// looked up at its own first call.
#include <windows.h>

#include <lua.h>

#include "lua_runtime.h"

static HMODULE LuaLibrary()
{
    static HMODULE library;
    if (library == NULL)
        library = LoadLibraryA("lua51.dll");
    return library;
}

typedef void (*AnyFunction)();

static AnyFunction LuaFunction(const char *name)
{
    HMODULE library = LuaLibrary();
    if (library == NULL)
        return NULL;
    // void (*)() is the generic function pointer type the casts go through.
    return reinterpret_cast<AnyFunction>(GetProcAddress(library, name));
}

// Defines one Lua API function that forwards to lua51.dll's.
#define LUA_THUNK(result, name, params, args)                                  \
    LUA_API result name params                                                 \
    {                                                                          \
        typedef result(*Function) params;                                      \
        static Function function;                                              \
        if (function == NULL)                                                  \
            function = reinterpret_cast<Function>(LuaFunction(#name));        \
        return function args;                                                  \
    }

LUA_THUNK(void, lua_getfield, (lua_State *L, int index, const char *k), (L, index, k))
LUA_THUNK(void, lua_setfield, (lua_State *L, int index, const char *k), (L, index, k))
LUA_THUNK(int, lua_type, (lua_State *L, int index), (L, index))
LUA_THUNK(void, lua_settop, (lua_State *L, int index), (L, index))
LUA_THUNK(int, lua_gettop, (lua_State *L), (L))
LUA_THUNK(void, lua_createtable, (lua_State *L, int narr, int nrec), (L, narr, nrec))
LUA_THUNK(void, lua_pushvalue, (lua_State *L, int index), (L, index))
LUA_THUNK(void, lua_pushcclosure, (lua_State *L, lua_CFunction fn, int n), (L, fn, n))
LUA_THUNK(lua_Integer, lua_tointeger, (lua_State *L, int index), (L, index))
LUA_THUNK(lua_Number, lua_tonumber, (lua_State *L, int index), (L, index))
LUA_THUNK(void, lua_pushnumber, (lua_State *L, lua_Number n), (L, n))

bool LuaRuntimeBound()
{
    static const char *const names[] = {
        "lua_getfield",  "lua_setfield",    "lua_type",      "lua_settop",
        "lua_gettop",    "lua_createtable", "lua_pushvalue", "lua_pushcclosure",
        "lua_tointeger", "lua_tonumber",    "lua_pushnumber",
    };
    for (const char *name : names) {
        if (LuaFunction(name) == NULL)
            return false;
    }
    return true;
}
