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

// The only failure the user ever sees. The graphs are left untouched; the
// menu, if attached, and the stored plug-in window stay.
static int FailStartUp()
{
    if (editorState.pen != NULL)
        DeleteObject(editorState.pen);
    if (editorState.brush != NULL)
        DeleteObject(editorState.brush);
    editorState.pen = NULL;
    editorState.brush = NULL;
    MessageBoxA(GetWindow(editorState.pluginWindow, GW_OWNER), RIVO_TEXT_INIT_FAILED,
                RIVO_TEXT_INFORMATION, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

extern "C" int FilterInit(FilterTable *filter)
{
    editorState.pluginWindow = filter->window;
    editorState.pen = CreatePen(PS_SOLID, 1, kInkColour);
    if (editorState.pen == NULL)
        return FailStartUp();
    editorState.brush = CreateSolidBrush(kInkColour);
    if (editorState.brush == NULL)
        return FailStartUp();

    // The menu goes on first so that fitting the window around the editor
    // accounts for the menu bar. Without a menu the editor still works.
    SetMenu(editorState.pluginWindow, LoadMenuA(filter->instance, MAKEINTRESOURCEA(kMenuResource)));
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
    // The pen, the brush and the window class live until the process ends.
    DestroyWindow(editorState.editorWindow);
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
