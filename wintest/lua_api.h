// The few Lua 5.1 functions the Windows tests and the storm call, as a
// script engine's lua51.dll exports them, bound by name.
#ifndef RIVO_WINTEST_LUA_API_H
#define RIVO_WINTEST_LUA_API_H

#include <stddef.h>
#include <string>
#include <windows.h>

struct lua_State;

struct LuaApi {
    HMODULE library;
    lua_State *(*newstate)();
    void (*openlibs)(lua_State *L);
    int (*loadstring)(lua_State *L, const char *chunk);
    void (*pushstring)(lua_State *L, const char *s);
    void (*pushnumber)(lua_State *L, double n);
    void (*pushinteger)(lua_State *L, ptrdiff_t n);  // lua_Integer is ptrdiff_t
    void (*pushvalue)(lua_State *L, int index);
    void (*getfield)(lua_State *L, int index, const char *k);
    int (*pcall)(lua_State *L, int nargs, int nresults, int errfunc);
    double (*tonumber)(lua_State *L, int index);
    ptrdiff_t (*tointeger)(lua_State *L, int index);
    const char *(*tolstring)(lua_State *L, int index, size_t *len);
    int (*gettop)(lua_State *L);
    void (*settop)(lua_State *L, int index);
    void (*close)(lua_State *L);
};

enum { kLuaGlobalsIndex = -10002 };

// Binds every function above from library; false with the names of those
// it lacks (space-separated) in missing.
bool BindLuaApi(HMODULE library, LuaApi *lua, std::string *missing);

#endif
