// The stand-in host: loads a filter plug-in, owns its window, forwards the
// window's keys and commands to the plug-in and renders the frame again when
// the plug-in asks. Used by the host program and by the Windows tests.
#ifndef RIVO_HOST_HOST_H
#define RIVO_HOST_HOST_H

#include <stdint.h>
#include <windows.h>

#include "filter_record.h"

struct HostState {
    HMODULE plugin;
    HostFilterRecord *table;   // the plug-in's own descriptor, as handed out
    HostFilterRecord record;   // the host's copy, passed to every callback
    HWND mainWindow;           // owns the plug-in window
    HWND pluginWindow;
    int32_t renderCount;       // frames rendered again at the plug-in's request
    int32_t forwardCount;      // messages handed to the window-message callback
    int32_t lastAnswer;        // its latest answer
    void (*renderHook)(void);  // called after each re-render, if set
    // Called with every forwarded message and the plug-in's answer, if set.
    void (*forwardHook)(UINT message, WPARAM wParam, LPARAM lParam, int answer);
    // The program's own part of the main window, if set: its menu and
    // accelerator commands, and what it paints below the frame count.
    void (*commandHook)(WORD command);
    void (*paintHook)(HDC dc, int top);
};

extern HostState host;

// LoadLibrary, GetFilterTable, copy of the descriptor. False when the module
// or its entry is missing.
bool HostLoadPlugin(const wchar_t *path);

// The main window and, owned by it, the plug-in window sized from the
// descriptor; both shown. Fills the record's window and instance fields.
bool HostCreateWindows(HINSTANCE instance);

// The plug-in's callbacks with the host's record; 0 where the plug-in has none.
int HostStartPlugin();
int HostStopPlugin();
int HostSaveProject(void *data, int32_t *size);
int HostLoadProject(void *data, int32_t size);

// What the host does with the plug-in window's key and command messages.
int HostForwardMessage(UINT message, WPARAM wParam, LPARAM lParam);

void HostRenderFrame();

// Closes the program's windows: shuts the plug-in down first.
void HostClose();

#endif
