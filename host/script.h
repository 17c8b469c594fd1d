// The preview's script engine: a Lua script run on every frame the host
// renders, in this process, through a lua51.dll that the program loads
// itself, the way a script engine of the host brings its runtime along.
// The script loads the plug-in as a Lua module and reads the graphs.
#ifndef RIVO_HOST_SCRIPT_H
#define RIVO_HOST_SCRIPT_H

#include <stdint.h>
#include <windows.h>

enum {
    kScriptMaxValues = 4096,  // numbers kept from the returned table
    kScriptMaxTexts = 8,      // other returned values, as text
    kScriptTextSize = 256,
    kScriptErrorSize = 1024
};

// What the latest run read: the numbers of the table it returned (plotted),
// its other results as text, or the error that stopped it.
struct ScriptResult {
    int32_t runs;    // runs so far; 0 before the first
    int32_t frame;   // the host's frame count of the latest run
    int32_t graph;   // the graph index the editor showed, 0..63
    int32_t valueCount;
    double values[kScriptMaxValues];
    int32_t textCount;
    char texts[kScriptMaxTexts][kScriptTextSize];
    char error[kScriptErrorSize];  // empty when the run succeeded
};

extern ScriptResult scriptResult;

// Loads lua51.dll from path and binds the functions the engine calls. False
// when the file or one of the functions is missing: the host then runs
// without scripts.
bool ScriptBindRuntime(const wchar_t *path);
bool ScriptRuntimeBound();

// A new Lua state with the standard libraries; package.cpath leads with the
// plug-in file, so that require "rivo_grapheditor" loads the plug-in already
// in the process, and package.path with the script's folder. Then compiles
// the script. False, with scriptResult.error set, when it cannot.
bool ScriptLoad(const wchar_t *scriptPath, const wchar_t *pluginPath);

// Runs the loaded script once with the global table preview = {graph =,
// frame =} and keeps what it returned in scriptResult.
void ScriptRun(int32_t graph, int32_t frame);

// Writes scriptResult to path as lines "frame N", "graph G", then "value X"
// per number, "text T" per other result and "error E", replacing the file
// whole so that a reader never sees half of it.
bool ScriptWriteResult(const wchar_t *path);

#endif
