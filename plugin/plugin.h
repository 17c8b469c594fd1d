// What the host sees of the plug-in: the descriptor it reads through
// GetFilterTable and the callbacks named in it.
#ifndef RIVO_PLUGIN_PLUGIN_H
#define RIVO_PLUGIN_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

struct FilterTable;

// Host callbacks: the plain C calling convention, results 1 or 0.
typedef int(__cdecl *FilterInitProc)(FilterTable *filter);
typedef int(__cdecl *FilterExitProc)(FilterTable *filter);
typedef int(__cdecl *FilterWndProcProc)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        void *edit, FilterTable *filter);
typedef int(__cdecl *ProjectLoadProc)(void *filter, void *edit, void *data, int32_t size);
typedef int(__cdecl *ProjectSaveProc)(void *filter, void *edit, void *data, int32_t *sizeOut);

// The host's filter record: 35 fields of 4 bytes on the 32-bit target, 140
// bytes. The host passes its own record of this layout to every callback.
// After the three numbers every field is pointer-sized, so a 64-bit build
// (used for tests) keeps the same order with 8-byte pointers; the fields
// this plug-in leaves at zero are declared as pointers for that reason.
struct FilterTable {
    int32_t flags;               // 0
    int32_t windowWidth;         // 4
    int32_t windowHeight;        // 8
    const char *name;            // 12
    void *unused16[9];           // 16..48
    FilterInitProc init;         // 52
    FilterExitProc exit;         // 56
    void *unused60;              // 60
    FilterWndProcProc wndProc;   // 64
    void *unused68[4];           // 68..80
    const char *information;     // 84
    void *unused88[3];           // 88..96
    HWND window;                 // 100: the plug-in window, filled in by the host
    HINSTANCE instance;          // 104: this module, filled in by the host
    void *unused108[2];          // 108..112
    ProjectLoadProc projectLoad; // 116
    ProjectSaveProc projectSave; // 120
    void *unused124[4];          // 124..136
};

// Where a field at the given 32-bit offset lies in this build.
constexpr size_t FilterTableOffset(size_t offset32)
{
    return offset32 < 12 ? offset32 : 12 + (offset32 - 12) / 4 * sizeof(void *) + (sizeof(void *) - 4);
}

static_assert(sizeof(void *) != 4 || sizeof(FilterTable) == 140, "the host reads 140 bytes");
static_assert(sizeof(FilterTable) == FilterTableOffset(140), "35 fields");
static_assert(offsetof(FilterTable, flags) == FilterTableOffset(0), "flags");
static_assert(offsetof(FilterTable, windowWidth) == FilterTableOffset(4), "window width");
static_assert(offsetof(FilterTable, windowHeight) == FilterTableOffset(8), "window height");
static_assert(offsetof(FilterTable, name) == FilterTableOffset(12), "name");
static_assert(offsetof(FilterTable, init) == FilterTableOffset(52), "start-up callback");
static_assert(offsetof(FilterTable, exit) == FilterTableOffset(56), "shut-down callback");
static_assert(offsetof(FilterTable, wndProc) == FilterTableOffset(64), "window-message callback");
static_assert(offsetof(FilterTable, information) == FilterTableOffset(84), "information");
static_assert(offsetof(FilterTable, window) == FilterTableOffset(100), "plug-in window");
static_assert(offsetof(FilterTable, instance) == FilterTableOffset(104), "module instance");
static_assert(offsetof(FilterTable, projectLoad) == FilterTableOffset(116), "project load");
static_assert(offsetof(FilterTable, projectSave) == FilterTableOffset(120), "project save");
static_assert(offsetof(FilterTable, unused124) == FilterTableOffset(124), "last fields");

enum {
    kFilterFlags = 0x0004C004,  // the host's bits 0x4, 0x4000, 0x8000, 0x40000
    kMenuResource = 101,
    kCommandMovePoint = 40005,    // help text only
    kCommandAddDelete = 40004,    // help text only
    kCommandPreviousGraph = 40007,
    kCommandNextGraph = 40008,
    kCommandResetGraph = 40009,
    kFormatBufferSize = 256
};

extern "C" FilterTable *GetFilterTable(void);
extern "C" int FilterInit(FilterTable *filter);
extern "C" int FilterExit(FilterTable *filter);
extern "C" int FilterWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void *edit,
                             FilterTable *filter);

void ShowPreviousGraph();
void ShowNextGraph();
void UpdateTitle();

// printf into a buffer of kFormatBufferSize bytes; output that does not fit
// is cut to 255 bytes and always terminated. Returns buffer.
char *FormatText(char *buffer, const char *format, ...);

#endif
