#include "script.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

ScriptResult scriptResult;

// The Lua functions the engine calls, taken from lua51.dll by name. The
// declarations in Lua's own headers give their types; nothing is linked.
static struct {
    HMODULE library;
    decltype(&luaL_newstate) newstate;
    decltype(&luaL_openlibs) openlibs;
    decltype(&luaL_loadbuffer) loadbuffer;
    decltype(&lua_pcall) pcall;
    decltype(&lua_gettop) gettop;
    decltype(&lua_settop) settop;
    decltype(&lua_type) type;
    decltype(&lua_typename) typeName;
    decltype(&lua_tonumber) tonumber;
    decltype(&lua_toboolean) toboolean;
    decltype(&lua_tolstring) tolstring;
    decltype(&lua_objlen) objlen;
    decltype(&lua_rawgeti) rawgeti;
    decltype(&lua_createtable) createtable;
    decltype(&lua_pushnumber) pushnumber;
    decltype(&lua_pushstring) pushstring;
    decltype(&lua_pushvalue) pushvalue;
    decltype(&lua_getfield) getfield;
    decltype(&lua_setfield) setfield;
    decltype(&lua_close) close;
} lua;

// The one state; the compiled script stays at stack index 1 between runs.
static lua_State *state;

template <typename Function>
static bool Bind(const char *name, Function *function)
{
    // void (*)() is the generic function pointer type the cast goes through.
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(lua.library, name)));
    return *function != NULL;
}

bool ScriptBindRuntime(const wchar_t *path)
{
    lua.library = LoadLibraryW(path);
    if (lua.library == NULL)
        return false;
    bool bound = Bind("luaL_newstate", &lua.newstate) && Bind("luaL_openlibs", &lua.openlibs) &&
                 Bind("luaL_loadbuffer", &lua.loadbuffer) && Bind("lua_pcall", &lua.pcall) &&
                 Bind("lua_gettop", &lua.gettop) && Bind("lua_settop", &lua.settop) &&
                 Bind("lua_type", &lua.type) && Bind("lua_typename", &lua.typeName) &&
                 Bind("lua_tonumber", &lua.tonumber) && Bind("lua_toboolean", &lua.toboolean) &&
                 Bind("lua_tolstring", &lua.tolstring) && Bind("lua_objlen", &lua.objlen) &&
                 Bind("lua_rawgeti", &lua.rawgeti) && Bind("lua_createtable", &lua.createtable) &&
                 Bind("lua_pushnumber", &lua.pushnumber) && Bind("lua_pushstring", &lua.pushstring) &&
                 Bind("lua_pushvalue", &lua.pushvalue) &&
                 Bind("lua_getfield", &lua.getfield) && Bind("lua_setfield", &lua.setfield) &&
                 Bind("lua_close", &lua.close);
    if (!bound) {
        FreeLibrary(lua.library);
        lua.library = NULL;
    }
    return bound;
}

bool ScriptRuntimeBound()
{
    return lua.library != NULL;
}

static void SetError(const char *format, const char *detail)
{
    snprintf(scriptResult.error, sizeof scriptResult.error, format,
             detail != NULL ? detail : "(an error value that is not a string)");
}

// The ANSI form (code page 932 here) of a path, as Lua's own file and
// library functions take it.
static void Narrow(const wchar_t *text, char *out, int size)
{
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, out, size, NULL, NULL) == 0)
        out[0] = '\0';
}

// package[field] = first .. ";" .. package[field]
static void PrependSearchPath(const char *field, const char *first)
{
    static char joined[4096];
    lua.getfield(state, LUA_GLOBALSINDEX, "package");
    lua.getfield(state, -1, field);
    const char *rest = lua.tolstring(state, -1, NULL);
    snprintf(joined, sizeof joined, "%s;%s", first, rest != NULL ? rest : "");
    lua.pushstring(state, joined);
    lua.setfield(state, -3, field);
    lua.settop(state, 0);
}

bool ScriptLoad(const wchar_t *scriptPath, const wchar_t *pluginPath)
{
    static char source[1 << 20];
    static char path[MAX_PATH * 4];
    static char name[MAX_PATH * 4 + 1];
    if (!ScriptRuntimeBound()) {
        SetError("%s", "no Lua runtime");
        return false;
    }
    if (state != NULL)
        lua.close(state);
    state = lua.newstate();
    if (state == NULL) {
        SetError("%s", "Lua could not make a state");
        return false;
    }
    lua.openlibs(state);

    // A cpath entry without "?" is the file itself.
    Narrow(pluginPath, path, sizeof path);
    PrependSearchPath("cpath", path);
    Narrow(scriptPath, path, sizeof path);
    char *folderEnd = strrchr(path, '\\');
    if (folderEnd != NULL) {
        strcpy(name, folderEnd + 1);
        strcpy(folderEnd + 1, "?.lua");
        PrependSearchPath("path", path);
    } else {
        strcpy(name, path);
    }

    FILE *file = _wfopen(scriptPath, L"rb");
    if (file == NULL) {
        SetError("cannot read the script %s", name);
        return false;
    }
    size_t size = fread(source, 1, sizeof source, file);
    bool whole = feof(file) != 0;
    fclose(file);
    if (!whole) {
        SetError("the script %s is larger than 1 MiB", name);
        return false;
    }
    // "@name": Lua's messages then name the file, as for luaL_loadfile.
    memmove(name + 1, name, strlen(name) + 1);
    name[0] = '@';
    if (lua.loadbuffer(state, source, size, name) != 0) {
        SetError("%s", lua.tolstring(state, -1, NULL));
        lua.settop(state, 0);
        return false;
    }
    scriptResult.error[0] = '\0';
    return true;
}

static void KeepText(const char *text)
{
    if (scriptResult.textCount < kScriptMaxTexts) {
        snprintf(scriptResult.texts[scriptResult.textCount], kScriptTextSize, "%s", text != NULL ? text : "");
        scriptResult.textCount++;
    }
}

// The numbers of a table's array part; other entries are left out.
static void KeepValues(int index)
{
    int length = (int)lua.objlen(state, index);
    for (int k = 1; k <= length && scriptResult.valueCount < kScriptMaxValues; k++) {
        lua.rawgeti(state, index, k);
        if (lua.type(state, -1) == LUA_TNUMBER)
            scriptResult.values[scriptResult.valueCount++] = lua.tonumber(state, -1);
        lua.settop(state, -2);
    }
}

void ScriptRun(int32_t graph, int32_t frame)
{
    scriptResult.runs++;
    scriptResult.frame = frame;
    scriptResult.graph = graph;
    scriptResult.valueCount = 0;
    scriptResult.textCount = 0;
    if (state == NULL || lua.gettop(state) != 1)
        return;  // not loaded: the error from ScriptLoad stays

    lua.createtable(state, 0, 2);
    lua.pushnumber(state, graph);
    lua.setfield(state, -2, "graph");
    lua.pushnumber(state, frame);
    lua.setfield(state, -2, "frame");
    lua.setfield(state, LUA_GLOBALSINDEX, "preview");

    // The chunk stays at index 1: run a copy of it.
    static char number[64];
    scriptResult.error[0] = '\0';
    lua.pushvalue(state, 1);
    if (lua.pcall(state, 0, LUA_MULTRET, 0) != 0) {
        SetError("%s", lua.tolstring(state, -1, NULL));
        lua.settop(state, 1);
        return;
    }
    int top = lua.gettop(state);
    for (int i = 2; i <= top; i++) {
        switch (lua.type(state, i)) {
        case LUA_TTABLE:
            if (scriptResult.valueCount == 0)
                KeepValues(i);
            else
                KeepText("table");
            break;
        case LUA_TNUMBER:
            snprintf(number, sizeof number, "%.17g", lua.tonumber(state, i));
            KeepText(number);
            break;
        case LUA_TSTRING:
            KeepText(lua.tolstring(state, i, NULL));
            break;
        case LUA_TBOOLEAN:
            KeepText(lua.toboolean(state, i) ? "true" : "false");
            break;
        default:
            KeepText(lua.typeName(state, lua.type(state, i)));
            break;
        }
    }
    lua.settop(state, 1);
}

bool ScriptWriteResult(const wchar_t *path)
{
    static wchar_t partial[MAX_PATH * 2 + 16];
    swprintf(partial, sizeof partial / sizeof partial[0], L"%ls.partial", path);
    FILE *file = _wfopen(partial, L"wb");
    if (file == NULL)
        return false;
    fprintf(file, "frame %d\ngraph %d\n", (int)scriptResult.frame, (int)scriptResult.graph);
    for (int32_t i = 0; i < scriptResult.valueCount; i++)
        fprintf(file, "value %.17g\n", scriptResult.values[i]);
    for (int32_t i = 0; i < scriptResult.textCount; i++)
        fprintf(file, "text %s\n", scriptResult.texts[i]);
    if (scriptResult.error[0] != '\0')
        fprintf(file, "error %s\n", scriptResult.error);
    bool written = fclose(file) == 0;
    return written && MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING) != 0;
}
