// The host's filter record as this host knows it: the descriptor a plug-in
// hands out and the host's own copy passed back to every callback. Written
// from the host's side, independent of any plug-in's header, so that a layout
// fault on either side shows up when they meet.
#ifndef RIVO_HOST_FILTER_RECORD_H
#define RIVO_HOST_FILTER_RECORD_H

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

struct HostFilterRecord;

typedef int(__cdecl *HostInitCallback)(HostFilterRecord *record);
typedef int(__cdecl *HostExitCallback)(HostFilterRecord *record);
typedef int(__cdecl *HostWindowCallback)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         void *edit, HostFilterRecord *record);
typedef int(__cdecl *HostProjectLoadCallback)(HostFilterRecord *record, void *edit, void *data,
                                              int32_t size);
typedef int(__cdecl *HostProjectSaveCallback)(HostFilterRecord *record, void *edit, void *data,
                                              int32_t *size);
typedef HostFilterRecord *(__cdecl *HostGetTableEntry)(void);

// 35 fields of 4 bytes (140 bytes) on 32-bit Windows. On 64-bit Windows,
// where this host also runs for tests, every field after the three numbers
// is pointer-sized.
struct HostFilterRecord {
    int32_t flags;
    int32_t width;                        // window size the plug-in asks for
    int32_t height;
    const char *name;                     // Shift-JIS
    uintptr_t reserved1[9];
    HostInitCallback init;
    HostExitCallback exit;
    uintptr_t reserved2;
    HostWindowCallback windowProc;
    uintptr_t reserved3[4];
    const char *information;              // Shift-JIS
    uintptr_t reserved4[3];
    HWND window;                          // set by the host: the plug-in window
    HINSTANCE instance;                   // set by the host: the plug-in module
    uintptr_t reserved5[2];
    HostProjectLoadCallback projectLoad;
    HostProjectSaveCallback projectSave;
    uintptr_t reserved6[4];
};

#if defined(_WIN64)
#define RIVO_HOST_OFFSETS(o32, o64) o64
#else
#define RIVO_HOST_OFFSETS(o32, o64) o32
#endif
static_assert(sizeof(HostFilterRecord) == RIVO_HOST_OFFSETS(140, 272), "record size");
static_assert(offsetof(HostFilterRecord, width) == 4, "width");
static_assert(offsetof(HostFilterRecord, height) == 8, "height");
static_assert(offsetof(HostFilterRecord, name) == RIVO_HOST_OFFSETS(12, 16), "name");
static_assert(offsetof(HostFilterRecord, init) == RIVO_HOST_OFFSETS(52, 96), "init");
static_assert(offsetof(HostFilterRecord, exit) == RIVO_HOST_OFFSETS(56, 104), "exit");
static_assert(offsetof(HostFilterRecord, windowProc) == RIVO_HOST_OFFSETS(64, 120), "window proc");
static_assert(offsetof(HostFilterRecord, information) == RIVO_HOST_OFFSETS(84, 160), "information");
static_assert(offsetof(HostFilterRecord, window) == RIVO_HOST_OFFSETS(100, 192), "window");
static_assert(offsetof(HostFilterRecord, instance) == RIVO_HOST_OFFSETS(104, 200), "instance");
static_assert(offsetof(HostFilterRecord, projectLoad) == RIVO_HOST_OFFSETS(116, 224), "project load");
static_assert(offsetof(HostFilterRecord, projectSave) == RIVO_HOST_OFFSETS(120, 232), "project save");

#endif
