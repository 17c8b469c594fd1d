// Where the Lua runtime comes from. On Linux the interpreter that loads the
// module provides it. On Windows it is lua51.dll, bound on first use so that
// the plug-in side loads and runs in a process without any Lua.
#ifndef RIVO_LUA_LUA_RUNTIME_H
#define RIVO_LUA_LUA_RUNTIME_H

#ifdef _WIN32
// Loads lua51.dll on the first call and keeps it; true when the library and
// every Lua function the module calls are there.
bool LuaRuntimeBound();
#else
inline bool LuaRuntimeBound() { return true; }
#endif

#endif
