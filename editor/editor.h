// The editor: a borderless 512 x 256 child window of the plug-in window that
// shows the current graph and turns the left mouse button into point edits.
// Its client coordinates are the graph's coordinates one to one.
#ifndef RIVO_EDITOR_EDITOR_H
#define RIVO_EDITOR_EDITOR_H

#include <stdint.h>
#include <windows.h>

#include "graph.h"

// Shared by the editor and the host callbacks; touched only on the thread
// that owns the plug-in window.
struct EditorState {
    HWND pluginWindow;     // the host's window for this plug-in
    HWND editorWindow;     // our child window inside it
    HPEN pen;              // polyline, 0x404040; null until start-up
    HBRUSH brush;          // point frames, 0x404040; null until start-up
    int32_t currentGraph;  // 0..63, the graph shown and edited
    int32_t dragIndex;     // point being dragged, -1 when there is no drag
};

extern EditorState editorState;

enum {
    kEditorWidth = kGraphWidth,
    kEditorHeight = kGraphHeight,
    kRedrawCommand = 1234,  // WM_COMMAND id asking the host to render again
    kPointFrameHalf = 4     // point frames span x-4..x+3, y-4..y+3
};

#define RIVO_EDITOR_CLASS "rivo grapheditor"

// Registers the class (once per process: it is never unregistered), creates
// the editor in parent and fits parent's client area around it.
bool CreateEditorWindow(HWND parent);

// Resizes window so that its client area is width x height; keeps its
// position and z-order.
void SetClientSize(HWND window, int32_t width, int32_t height);

// The polyline through the graph's points and an 8 x 8 frame on each point.
// A graph whose count is outside 2..32 is no curve: nothing is drawn.
void DrawGraph(HDC dc, const Graph *graph, HPEN pen, HBRUSH brush);

LRESULT CALLBACK EditorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
