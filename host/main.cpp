// The stand-in host as a program, the preview of the plug-in:
//
//   rivo_host [options] [PLUGIN]
//
// PLUGIN defaults to rivo_grapheditor.auf beside the program. The program
// loads it, opens its window and starts it as the host does, and on every
// frame the plug-in asks it to render runs a Lua script in this process (see
// script.h) and shows what the script read in a second window.
//
//   --lua DLL            the Lua runtime; default lua51.dll beside the
//                        program. Without one the plug-in runs, scripts don't.
//   --script FILE        the script; default plot_graph.lua beside the program
//   --output FILE        after every run, what the script read, as text
//   --open FILE          a project block loaded after start-up
//   --save-on-exit FILE  the project block saved when the program closes
//   --project FILE       both for one file: opened if it exists, saved on exit
//   --exit-when-idle     close once start-up and the first paints are done;
//                        exit 0 only if the plug-in started and asked for a
//                        render (and every file asked for was read and written)
//
// File > Open and Save (Ctrl+O, Ctrl+S) move the block in and out of files
// while it runs.
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <windows.h>
#include <commdlg.h>

#include "host.h"
#include "host_menu.h"
#include "project_file.h"
#include "script.h"
#include "script_window.h"

static const int kPathSize = MAX_PATH * 2;

static struct {
    wchar_t plugin[kPathSize];
    wchar_t lua[kPathSize];
    wchar_t script[kPathSize];
    wchar_t output[kPathSize];
    wchar_t open[kPathSize];
    wchar_t saveOnExit[kPathSize];
    bool openIfPresent;  // --project: a missing file is a new project
    bool exitWhenIdle;
} options;

static HWND scriptWindow;
static wchar_t projectFile[kPathSize];  // where File > Save writes; may be empty
static wchar_t status[kPathSize + 64];  // the latest file operation, shown
static bool fileFailed;

static void PathBesideProgram(wchar_t *path, const wchar_t *name)
{
    DWORD length = GetModuleFileNameW(NULL, path, kPathSize);
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
        length--;
    path[length] = L'\0';
    wcsncat(path, name, kPathSize - length - 1);
}

static void CopyPath(wchar_t *to, const wchar_t *from)
{
    wcsncpy(to, from, kPathSize - 1);
    to[kPathSize - 1] = L'\0';
}

// To the terminal the program was started from, in UTF-8.
static void Report(const wchar_t *text)
{
    char bytes[kPathSize * 3];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL) != 0) {
        fprintf(stderr, "rivo_host: %s\n", bytes);
        fflush(stderr);
    }
}

static void SetStatus(bool failed, const wchar_t *what, const wchar_t *path)
{
    swprintf(status, sizeof status / sizeof status[0], L"%ls %ls", what, path);
    if (failed) {
        fileFailed = true;
        Report(status);
    }
    if (host.mainWindow != NULL)
        InvalidateRect(host.mainWindow, NULL, TRUE);
}

static const wchar_t kUsage[] =
    L"usage: rivo_host [--lua DLL] [--script FILE] [--output FILE] [--open FILE]\n"
    L"                 [--save-on-exit FILE] [--project FILE] [--exit-when-idle] [PLUGIN]";

static bool ReadOptions()
{
    PathBesideProgram(options.plugin, L"rivo_grapheditor.auf");
    PathBesideProgram(options.lua, L"lua51.dll");
    PathBesideProgram(options.script, L"plot_graph.lua");
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv != NULL && i < argc; i++) {
        const wchar_t *option = argv[i];
        const wchar_t *value = i + 1 < argc ? argv[i + 1] : NULL;
        wchar_t *target = NULL;
        if (wcscmp(option, L"--exit-when-idle") == 0) {
            options.exitWhenIdle = true;
            continue;
        } else if (wcscmp(option, L"--lua") == 0) {
            target = options.lua;
        } else if (wcscmp(option, L"--script") == 0) {
            target = options.script;
        } else if (wcscmp(option, L"--output") == 0) {
            target = options.output;
        } else if (wcscmp(option, L"--open") == 0) {
            target = options.open;
        } else if (wcscmp(option, L"--save-on-exit") == 0) {
            target = options.saveOnExit;
        } else if (wcscmp(option, L"--project") == 0 && value != NULL) {
            CopyPath(options.open, value);
            CopyPath(options.saveOnExit, value);
            options.openIfPresent = true;
            i++;
            continue;
        } else if (wcsncmp(option, L"--", 2) != 0) {
            CopyPath(options.plugin, option);
            continue;
        }
        if (target == NULL || value == NULL) {
            Report(kUsage);
            return false;
        }
        CopyPath(target, value);
        i++;
    }
    return true;
}

// The graph the editor shows, from the plug-in window's title
// "name [number/count]": its index 0..63, or 0 when the title says nothing.
static int32_t ShownGraph()
{
    wchar_t title[256] = {};
    GetWindowTextW(host.pluginWindow, title, 256);
    const wchar_t *open = wcsrchr(title, L'[');
    int number = 0, count = 0;
    if (open == NULL || swscanf(open, L"[%d/%d]", &number, &count) != 2 || number < 1)
        return 0;
    return number - 1;
}

// Every frame the plug-in asks for runs the script, as the host's script
// engine would while rendering it.
static void RenderWithScript()
{
    ScriptRun(ShownGraph(), host.renderCount);
    if (options.output[0] != L'\0' && !ScriptWriteResult(options.output))
        SetStatus(true, L"cannot write", options.output);
    if (scriptWindow != NULL)
        InvalidateRect(scriptWindow, NULL, TRUE);
}

// Below the frame count: which files the preview uses, and the latest file
// operation.
static void PaintStatus(HDC dc, int top)
{
    enum { kLines = 6, kLineSize = kPathSize + 64 };
    static wchar_t lines[kLines][kLineSize];
    swprintf(lines[0], kLineSize, L"plug-in: %ls", options.plugin);
    if (ScriptRuntimeBound())
        swprintf(lines[1], kLineSize, L"Lua: %ls", options.lua);
    else
        swprintf(lines[1], kLineSize, L"Lua: none at %ls, scripts are off", options.lua);
    swprintf(lines[2], kLineSize, L"script: %ls", options.script);
    swprintf(lines[3], kLineSize, L"File > Save writes: %ls",
             projectFile[0] != L'\0' ? projectFile : L"(asks for a file)");
    swprintf(lines[4], kLineSize, L"saved on exit to: %ls",
             options.saveOnExit[0] != L'\0' ? options.saveOnExit : L"(nowhere)");
    swprintf(lines[5], kLineSize, L"%ls", status);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < kLines; i++)
        TextOutW(dc, 8, top + 18 * i, lines[i], (int)wcslen(lines[i]));
    SelectObject(dc, oldFont);
}

// After a project is opened the host shows it: the editor paints the loaded
// graphs and the frame is rendered again.
static void OpenProject(const wchar_t *path)
{
    if (!OpenProjectFile(path)) {
        SetStatus(true, L"cannot read the project block", path);
        return;
    }
    CopyPath(projectFile, path);
    SetStatus(false, L"opened", path);
    RedrawWindow(host.pluginWindow, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

static void SaveProject(const wchar_t *path)
{
    if (!SaveProjectFile(path)) {
        SetStatus(true, L"cannot save the project block to", path);
        return;
    }
    CopyPath(projectFile, path);
    SetStatus(false, L"saved", path);
}

static bool AskForFile(bool saving, wchar_t *path)
{
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = host.mainWindow;
    dialog.lpstrFilter = L"Project blocks (*.block)\0*.block\0All files\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = kPathSize;
    dialog.lpstrDefExt = L"block";
    if (saving) {
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        return GetSaveFileNameW(&dialog) != FALSE;
    }
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    return GetOpenFileNameW(&dialog) != FALSE;
}

static void OnMainCommand(WORD command)
{
    static wchar_t path[kPathSize];
    switch (command) {
    case IDM_OPEN:
        CopyPath(path, projectFile);
        if (AskForFile(false, path))
            OpenProject(path);
        break;
    case IDM_SAVE:
        if (projectFile[0] != L'\0') {
            SaveProject(projectFile);
            break;
        }
        // No file yet: ask for one.
        [[fallthrough]];
    case IDM_SAVE_AS:
        CopyPath(path, projectFile);
        if (AskForFile(true, path))
            SaveProject(path);
        break;
    case IDM_EXIT:
        HostClose();
        break;
    }
}

// Before the plug-in starts, so that its first frame runs the script.
static void StartScripts()
{
    if (!ScriptBindRuntime(options.lua)) {
        SetScriptWindowNote("No Lua runtime: lua51.dll is not there (give one with --lua). "
                            "The plug-in runs without it; scripts are off.");
        return;
    }
    wchar_t plugin[kPathSize];
    if (GetModuleFileNameW(host.plugin, plugin, kPathSize) == 0)
        CopyPath(plugin, options.plugin);
    // A script that does not load shows its error on every frame.
    ScriptLoad(options.script, plugin);
    host.renderHook = RenderWithScript;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (!ReadOptions())
        return 2;
    if (!HostLoadPlugin(options.plugin)) {
        MessageBoxW(NULL, options.plugin, L"Rivo host: cannot load the plug-in", MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!HostCreateWindows(instance))
        return 1;
    SetMenu(host.mainWindow, LoadMenuA(instance, MAKEINTRESOURCEA(IDR_HOST_MENU)));
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_HOST_ACCELERATORS));
    host.commandHook = OnMainCommand;
    host.paintHook = PaintStatus;
    StartScripts();

    // A failed start-up has told the user already.
    int started = HostStartPlugin();
    // Placed below the plug-in window, which start-up has fitted.
    const wchar_t *name = wcsrchr(options.script, L'\\');
    char title[kPathSize * 2] = "Script: ";
    WideCharToMultiByte(CP_ACP, 0, name != NULL ? name + 1 : options.script, -1, title + 8,
                        sizeof title - 8, NULL, NULL);
    scriptWindow = CreateScriptWindow(instance, host.mainWindow, title);
    if (options.open[0] != L'\0' &&
        !(options.openIfPresent && GetFileAttributesW(options.open) == INVALID_FILE_ATTRIBUTES))
        OpenProject(options.open);
    if (projectFile[0] == L'\0')
        CopyPath(projectFile, options.saveOnExit);
    SetForegroundWindow(host.pluginWindow);

    MSG message;
    if (options.exitWhenIdle) {
        // Bounded: paints and window housekeeping settle within a few rounds.
        for (int round = 0; round < 1000 && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE); round++) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        HostClose();
    } else {
        while (GetMessageA(&message, NULL, 0, 0) > 0) {
            if (TranslateAcceleratorA(host.mainWindow, accelerators, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // The plug-in has shut down; the graphs live on in this process.
    if (options.saveOnExit[0] != L'\0')
        SaveProject(options.saveOnExit);
    if (options.exitWhenIdle)
        return started && host.renderCount > 0 && !fileFailed ? 0 : 1;
    return started ? 0 : 1;
}
