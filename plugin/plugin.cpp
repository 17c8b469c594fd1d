#include "plugin.h"

#include "editor.h"
#include "graph.h"
#include "texts.h"

static const COLORREF kInkColour = RGB(64, 64, 64);

// Writable like every host record, but the plug-in never writes it: the host
// fills the window and instance fields of its own copy.
static FilterTable filterTable = {
    kFilterFlags,
    kEditorWidth,
    kEditorHeight,
    RIVO_TEXT_NAME,
    {},
    FilterInit,
    FilterExit,
    NULL,
    FilterWndProc,
    {},
    RIVO_TEXT_INFORMATION,
    {},
    NULL,
    NULL,
    {},
    ProjectLoad,
    ProjectSave,
    {},
};

extern "C" FilterTable *GetFilterTable(void)
{
    return &filterTable;
}

// The only failure the user ever sees.
static void ShowStartUpFailure(HWND pluginWindow)
{
    MessageBoxA(GetWindow(pluginWindow, GW_OWNER), RIVO_TEXT_INIT_FAILED, RIVO_TEXT_INFORMATION,
                MB_OK | MB_ICONEXCLAMATION);
}

// The graphs are left untouched; the menu, if attached, and the stored
// plug-in window stay.
static int FailStartUp()
{
    if (editorState.pen != NULL)
        DeleteObject(editorState.pen);
    if (editorState.brush != NULL)
        DeleteObject(editorState.brush);
    editorState.pen = NULL;
    editorState.brush = NULL;
    ShowStartUpFailure(editorState.pluginWindow);
    return 0;
}

// The editor exists from a successful start-up until it is destroyed, by
// FilterExit or with the host's window.
static bool IsRunning()
{
    return editorState.editorWindow != NULL;
}

// The menu this plug-in attached last, so that a start-up after a shut-down
// does not stack a second copy on the window and lose the first.
static HMENU attachedMenu;

extern "C" int FilterInit(FilterTable *filter)
{
    // The editor's class stays registered, so this start-up would fail; it
    // must not take the running editor's pen, brush or window with it.
    if (IsRunning()) {
        ShowStartUpFailure(filter->window);
        return 0;
    }
    editorState.pluginWindow = filter->window;
    // A start-up after a shut-down finds the pen and brush of the first,
    // which nothing draws with any more.
    if (editorState.pen != NULL)
        DeleteObject(editorState.pen);
    if (editorState.brush != NULL)
        DeleteObject(editorState.brush);
    editorState.brush = NULL;
    editorState.pen = CreatePen(PS_SOLID, 1, kInkColour);
    if (editorState.pen == NULL)
        return FailStartUp();
    editorState.brush = CreateSolidBrush(kInkColour);
    if (editorState.brush == NULL)
        return FailStartUp();

    // The menu goes on first so that fitting the window around the editor
    // accounts for the menu bar. Without a menu the editor still works.
    if (attachedMenu == NULL || GetMenu(editorState.pluginWindow) != attachedMenu) {
        attachedMenu = LoadMenuA(filter->instance, MAKEINTRESOURCEA(kMenuResource));
        SetMenu(editorState.pluginWindow, attachedMenu);
    }
    if (!CreateEditorWindow(editorState.pluginWindow))
        return FailStartUp();

    ResetAllGraphs();
    editorState.currentGraph = 0;
    editorState.dragIndex = -1;
    UpdateTitle();
    return 1;
}

extern "C" int FilterExit(FilterTable *)
{
    // The pen, the brush and the window class stay (a later start-up
    // replaces the pen and brush). A second shut-down, or one after the host
    // destroyed its window, finds no editor: its old handle may name another
    // window by now.
    if (IsRunning())
        DestroyWindow(editorState.editorWindow);
    editorState.editorWindow = NULL;
    return 1;
}

static void InvalidateEditor()
{
    InvalidateRect(editorState.editorWindow, NULL, TRUE);
}

// Leaves the drag index alone: a drag goes on in the graph now shown. The
// title does not change, so it is not rewritten.
static void ResetCurrentGraph()
{
    ResetGraph(&graphSet.graphs[editorState.currentGraph]);
    InvalidateEditor();
}

void ShowPreviousGraph()
{
    if (editorState.currentGraph > 0)
        editorState.currentGraph--;
    UpdateTitle();
    InvalidateEditor();
}

void ShowNextGraph()
{
    if (editorState.currentGraph < kGraphCount - 1)
        editorState.currentGraph++;
    UpdateTitle();
    InvalidateEditor();
}

void UpdateTitle()
{
    char title[kFormatBufferSize];
    FormatText(title, RIVO_TEXT_TITLE_FORMAT, RIVO_TEXT_NAME, editorState.currentGraph + 1,
               (int)kGraphCount);
    SetWindowTextA(editorState.pluginWindow, title);
}

// 1 asks the host to render the current frame again.
extern "C" int FilterWndProc(HWND, UINT message, WPARAM wParam, LPARAM, void *, FilterTable *)
{
    // Before start-up and after shut-down there is no editor to show a
    // graph in, and the host's window may be gone: nothing to do.
    if (!IsRunning())
        return 0;
    switch (message) {
    case WM_KEYDOWN:
        // The whole wParam: modifiers and key repetition make no difference.
        switch (wParam) {
        case VK_LEFT:
            ShowPreviousGraph();
            return 0;
        case VK_RIGHT:
            ShowNextGraph();
            return 0;
        case VK_DELETE:
            ResetCurrentGraph();
            return 1;
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kCommandPreviousGraph:
            ShowPreviousGraph();
            return 0;
        case kCommandNextGraph:
            ShowNextGraph();
            return 0;
        case kCommandResetGraph:
            ResetCurrentGraph();
            return 1;
        case kRedrawCommand:
            return 1;
        }
        return 0;
    }
    return 0;
}
