// Watches what the plug-in DLL asks of USER32 and GDI32 by redirecting its
// import address table to wrappers that call the real functions and keep
// count: the graphics and window objects it made and still holds, and every
// call that acts on a window it has no business touching (a null handle, a
// destroyed window, or one it did not create). Wine's GetGuiResources is a
// stub, so this is how leaks are counted there; it works the same on Windows.
#ifndef RIVO_WINTEST_IMPORT_WATCH_H
#define RIVO_WINTEST_IMPORT_WATCH_H

#include <stdint.h>
#include <windows.h>

struct ImportWatch {
    int32_t gdiCreated;      // pens and brushes the DLL made
    int32_t gdiDeleted;      // objects it made and then deleted
    int32_t paintsOpen;      // BeginPaint without its EndPaint yet
    int64_t paintsBegun;     // BeginPaint calls
    int32_t messageBoxes;    // start-up failure messages shown
    int64_t invalidations;   // InvalidateRect calls
    int32_t windowCalls;     // calls that act on a window, of the ones below
    int32_t strayCalls;      // of them, those on a window it may not touch
    char lastStray[160];     // what the latest stray call was
};

extern ImportWatch importWatch;

// Patches module's imports; false if a function it must watch is missing.
bool WatchImports(HMODULE module);

// Objects the DLL made that still exist: pens and brushes not deleted,
// windows not destroyed, menus not destroyed.
int32_t LiveGdiObjectsOfPlugin();
int32_t LiveWindowsOfPlugin();
int32_t LiveMenusOfPlugin();

// The process's own count, where the platform keeps one (-1 where it does
// not: Wine answers 0 with ERROR_CALL_NOT_IMPLEMENTED).
int32_t GuiResources(DWORD which);

#endif
