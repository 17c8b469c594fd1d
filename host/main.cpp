// The stand-in host as a program: rivo_host [--exit-when-idle] [PLUGIN]
// PLUGIN defaults to rivo_grapheditor.auf beside the program. With
// --exit-when-idle it closes once start-up and the first paints are done and
// exits 0 only if the plug-in started and asked for at least one render.
#include <string.h>
#include <wchar.h>

#include "host.h"

static void PluginPathBesideProgram(wchar_t *path, DWORD size)
{
    DWORD length = GetModuleFileNameW(NULL, path, size);
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
        length--;
    path[length] = L'\0';
    wcsncat(path, L"rivo_grapheditor.auf", size - length - 1);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH * 2];
    PluginPathBesideProgram(path, MAX_PATH * 2);
    bool exitWhenIdle = false;
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv != NULL && i < argc; i++) {
        if (wcscmp(argv[i], L"--exit-when-idle") == 0)
            exitWhenIdle = true;
        else
            wcsncpy(path, argv[i], MAX_PATH * 2 - 1);
    }

    if (!HostLoadPlugin(path)) {
        MessageBoxW(NULL, path, L"Rivo host: cannot load the plug-in", MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!HostCreateWindows(instance))
        return 1;
    // A failed start-up has told the user already.
    int started = HostStartPlugin();
    SetForegroundWindow(host.pluginWindow);

    MSG message;
    if (exitWhenIdle) {
        // Bounded: paints and window housekeeping settle within a few rounds.
        for (int round = 0; round < 1000 && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE); round++) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        HostClose();
        return started && host.renderCount > 0 ? 0 : 1;
    }
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return started ? 0 : 1;
}
