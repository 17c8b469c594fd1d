// The Lua 5.1 runtime as a script engine brings it along: the fixture
// lua51.dll, loaded by path and bound by name, with the few functions the
// tests call to run chunks and to call getvalue from C.
#ifndef RIVO_WINTEST_LUA_SUPPORT_H
#define RIVO_WINTEST_LUA_SUPPORT_H

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
    void (*pushvalue)(lua_State *L, int index);
    void (*getfield)(lua_State *L, int index, const char *k);
    int (*pcall)(lua_State *L, int nargs, int nresults, int errfunc);
    double (*tonumber)(lua_State *L, int index);
    ptrdiff_t (*tointeger)(lua_State *L, int index);  // lua_Integer is ptrdiff_t
    const char *(*tolstring)(lua_State *L, int index, size_t *len);
    int (*gettop)(lua_State *L);
    void (*settop)(lua_State *L, int index);
    void (*close)(lua_State *L);
};

enum { kLuaGlobalsIndex = -10002 };

// The fixture is built outside the test program's folder, so that nothing
// finds it unless asked for it by path: fixtures\lua51.dll (Lua 5.1's), or
// fixtures\NAME\lua51.dll when the variable RIVO_LUA_FIXTURE names another
// runtime's (luajit: LuaJIT's). A process binds only one lua51.dll, so each
// runtime has a run of the Lua tests of its own.
std::wstring LuaFixtureName();
std::wstring LuaFixturePath();

// Loads the fixture and binds every function above; false (with a test
// failure naming what is missing) when it cannot.
bool LoadLuaApi(LuaApi *lua);

// The plug-in file's path as a Lua string (the ANSI code page).
std::string PluginPathForLua();

// A new state with the standard libraries in which the plug-in file was
// loaded as a module with package.loadlib; null on failure.
lua_State *NewStateWithModule(const LuaApi &lua);

// Runs a chunk with the plug-in's path as its argument; its one number
// result, or -1 with a test failure when it fails.
double RunChunk(const LuaApi &lua, lua_State *L, const char *chunk);

// rivo.grapheditor.getvalue(index, t) with both numbers pushed from C, so
// that no Lua arithmetic touches them.
double CallGetValue(const LuaApi &lua, lua_State *L, double index, double t);

#endif
