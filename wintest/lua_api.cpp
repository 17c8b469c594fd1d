#include "lua_api.h"

template <typename Function>
static void Bind(HMODULE library, const char *name, Function *function, std::string *missing)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    if (*function == nullptr)
        *missing += missing->empty() ? name : std::string(" ") + name;
}

bool BindLuaApi(HMODULE library, LuaApi *lua, std::string *missing)
{
    missing->clear();
    lua->library = library;
    Bind(library, "luaL_newstate", &lua->newstate, missing);
    Bind(library, "luaL_openlibs", &lua->openlibs, missing);
    Bind(library, "luaL_loadstring", &lua->loadstring, missing);
    Bind(library, "lua_pushstring", &lua->pushstring, missing);
    Bind(library, "lua_pushnumber", &lua->pushnumber, missing);
    Bind(library, "lua_pushinteger", &lua->pushinteger, missing);
    Bind(library, "lua_pushvalue", &lua->pushvalue, missing);
    Bind(library, "lua_getfield", &lua->getfield, missing);
    Bind(library, "lua_pcall", &lua->pcall, missing);
    Bind(library, "lua_tonumber", &lua->tonumber, missing);
    Bind(library, "lua_tointeger", &lua->tointeger, missing);
    Bind(library, "lua_tolstring", &lua->tolstring, missing);
    Bind(library, "lua_gettop", &lua->gettop, missing);
    Bind(library, "lua_settop", &lua->settop, missing);
    Bind(library, "lua_close", &lua->close, missing);
    return missing->empty();
}
