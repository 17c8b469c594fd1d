// The preview's second window: what the script read on the latest frame,
// a plot of the numbers it returned (left to right, 0 at the bottom, 1 at
// the top, on the editor's 512 x 256 scale) and its other results or error.
#ifndef RIVO_HOST_SCRIPT_WINDOW_H
#define RIVO_HOST_SCRIPT_WINDOW_H

#include <windows.h>

// Registers the class and shows the window, owned by owner, below the
// plug-in window. title is the window's title.
HWND CreateScriptWindow(HINSTANCE instance, HWND owner, const char *title);

// What the window shows besides the plot when there is nothing to run.
void SetScriptWindowNote(const char *note);

#endif
