// Lua in the host's process: the plug-in runs with no Lua runtime anywhere,
// and once a script engine has brought lua51.dll along, a script that loads
// the same DLL as a module reads what the user draws in the editor.
#include <string>

#include "support.h"

namespace {

// The few Lua 5.1 functions a script engine calls to run a chunk, declared
// here and taken from the fixture lua51.dll by name.
struct lua_State;
struct LuaApi {
    lua_State *(*newstate)();
    void (*openlibs)(lua_State *L);
    int (*loadstring)(lua_State *L, const char *chunk);
    void (*pushstring)(lua_State *L, const char *s);
    int (*pcall)(lua_State *L, int nargs, int nresults, int errfunc);
    double (*tonumber)(lua_State *L, int index);
    const char *(*tolstring)(lua_State *L, int index, size_t *len);
    void (*settop)(lua_State *L, int index);
    void (*close)(lua_State *L);
};

template <typename Function>
void Bind(HMODULE library, const char *name, Function *function)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    ASSERT_NE(*function, nullptr) << name;
}

// The fixture is built outside the test program's folder, so that nothing
// finds it unless asked for it by path.
std::wstring FixturePath()
{
    return PathBesideProgram(L"..\\fixtures\\lua51.dll");
}

std::string Narrow(const std::wstring &text)
{
    char buffer[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof buffer, NULL, NULL);
    return buffer;
}

// Runs a chunk with the plug-in's path as its argument; its one result.
double RunChunk(const LuaApi &lua, lua_State *L, const char *chunk)
{
    EXPECT_EQ(lua.loadstring(L, chunk), 0) << chunk;
    lua.pushstring(L, Narrow(PluginPath()).c_str());
    if (lua.pcall(L, 1, 1, 0) != 0) {
        ADD_FAILURE() << "script failed: " << lua.tolstring(L, -1, NULL);
        lua.settop(L, 0);
        return -1;
    }
    double result = lua.tonumber(L, -1);
    lua.settop(L, 0);
    return result;
}

const char kLoadAndRead[] =
    "local path = ...\n"
    "local open = assert(package.loadlib(path, 'luaopen_rivo_grapheditor'))\n"
    "local module = open()\n"
    "assert(module == rivo.grapheditor, 'the loader returns rivo.grapheditor')\n"
    "assert(rivo.grapheditor.getvalue(64, 0.3) == 0.3)\n"
    "return rivo.grapheditor.getvalue(0, 200.5 / 511)\n";

TEST_F(PluginTest, ScriptsInTheSameProcessReadTheEditorsGraphsAndNeedNoLuaBefore)
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
    HMODULE library = LoadLibraryW(FixturePath().c_str());
    ASSERT_NE(library, nullptr) << "lua51.dll fixture";
    LuaApi lua;
    Bind(library, "luaL_newstate", &lua.newstate);
    Bind(library, "luaL_openlibs", &lua.openlibs);
    Bind(library, "luaL_loadstring", &lua.loadstring);
    Bind(library, "lua_pushstring", &lua.pushstring);
    Bind(library, "lua_pcall", &lua.pcall);
    Bind(library, "lua_tonumber", &lua.tonumber);
    Bind(library, "lua_tolstring", &lua.tolstring);
    Bind(library, "lua_settop", &lua.settop);
    Bind(library, "lua_close", &lua.close);
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

}  // namespace
