#include "lua_support.h"

#include <gtest/gtest.h>

#include "support.h"

std::wstring LuaFixtureName()
{
    wchar_t name[64];
    DWORD length = GetEnvironmentVariableW(L"RIVO_LUA_FIXTURE", name, 64);
    return length > 0 && length < 64 ? name : L"";
}

std::wstring LuaFixturePath()
{
    std::wstring name = LuaFixtureName();
    if (name.empty())
        return PathBesideProgram(L"..\\fixtures\\lua51.dll");
    return PathBesideProgram((L"..\\fixtures\\" + name + L"\\lua51.dll").c_str());
}

bool LoadLuaApi(LuaApi *lua)
{
    HMODULE library = LoadLibraryW(LuaFixturePath().c_str());
    EXPECT_NE(library, nullptr) << "lua51.dll fixture";
    if (library == NULL)
        return false;
    std::string missing;
    bool bound = BindLuaApi(library, lua, &missing);
    EXPECT_TRUE(bound) << "lua51.dll lacks " << missing;
    // The runtime asked for is the one bound: only LuaJIT's has luaJIT_setmode.
    bool luaJit = GetProcAddress(library, "luaJIT_setmode") != NULL;
    EXPECT_EQ(luaJit, LuaFixtureName() == L"luajit") << "the lua51.dll loaded is "
                                                      << (luaJit ? "LuaJIT's" : "not LuaJIT's");
    return bound;
}

std::string PluginPathForLua()
{
    char buffer[MAX_PATH * 2];
    WideCharToMultiByte(CP_ACP, 0, PluginPath().c_str(), -1, buffer, sizeof buffer, NULL, NULL);
    return buffer;
}

double RunChunk(const LuaApi &lua, lua_State *L, const char *chunk)
{
    EXPECT_EQ(lua.loadstring(L, chunk), 0) << chunk;
    lua.pushstring(L, PluginPathForLua().c_str());
    if (lua.pcall(L, 1, 1, 0) != 0) {
        ADD_FAILURE() << "script failed: " << lua.tolstring(L, -1, NULL);
        lua.settop(L, 0);
        return -1;
    }
    double result = lua.tonumber(L, -1);
    lua.settop(L, 0);
    return result;
}

lua_State *NewStateWithModule(const LuaApi &lua)
{
    lua_State *L = lua.newstate();
    if (L == NULL)
        return NULL;
    lua.openlibs(L);
    double loaded = RunChunk(lua, L,
                             "local open = assert(package.loadlib(..., 'luaopen_rivo_grapheditor'))\n"
                             "open()\n"
                             "return 1\n");
    if (loaded != 1) {
        lua.close(L);
        return NULL;
    }
    return L;
}

double CallGetValue(const LuaApi &lua, lua_State *L, double index, double t)
{
    lua.getfield(L, kLuaGlobalsIndex, "rivo");
    lua.getfield(L, -1, "grapheditor");
    lua.getfield(L, -1, "getvalue");
    lua.pushnumber(L, index);
    lua.pushnumber(L, t);
    double result = -1;
    if (lua.pcall(L, 2, 1, 0) == 0)
        result = lua.tonumber(L, -1);
    else
        ADD_FAILURE() << "getvalue failed: " << lua.tolstring(L, -1, NULL);
    lua.settop(L, 0);
    return result;
}
