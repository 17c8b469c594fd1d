// The Lua 5.1 runtime as a script engine brings it along, for the Windows
// suite: the fixture lua51.dll, loaded by path, and what the tests do with it
// (run chunks, call getvalue from C).
#ifndef RIVO_WINTEST_LUA_SUPPORT_H
#define RIVO_WINTEST_LUA_SUPPORT_H

#include <stddef.h>
#include <string>
#include <windows.h>

#include "lua_api.h"

// The fixture is built outside the test program's folder, so that nothing
// finds it unless asked for it by path: fixtures\lua51.dll (Lua 5.1's), or
// fixtures\NAME\lua51.dll when the variable RIVO_LUA_FIXTURE names another
// runtime's (luajit: LuaJIT's). A process binds only one lua51.dll, so each
// runtime has a run of the Lua tests of its own.
std::wstring LuaFixtureName();
std::wstring LuaFixturePath();

// Loads the fixture and binds the functions of LuaApi; false (with a test
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
