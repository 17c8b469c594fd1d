#include "editor.h"

EditorState editorState = {NULL, NULL, NULL, NULL, 0, -1};

static Graph *CurrentGraph()
{
    return &graphSet.graphs[editorState.currentGraph];
}

bool CreateEditorWindow(HWND parent)
{
    WNDCLASSEXA windowClass;
    windowClass.cbSize = sizeof windowClass;
    // No CS_DBLCLKS: a quick second click must arrive as a second press.
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = EditorWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = NULL;
    windowClass.hIcon = (HICON)LoadImageA(NULL, MAKEINTRESOURCEA(32512), IMAGE_ICON, 0, 0,
                                          LR_SHARED | LR_DEFAULTSIZE);
    windowClass.hCursor = (HCURSOR)LoadImageA(NULL, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0,
                                              LR_SHARED | LR_DEFAULTSIZE);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = RIVO_EDITOR_CLASS;
    windowClass.hIconSm = NULL;
    // Registered once and kept for the life of the process, so a second
    // start-up in the same process ends here.
    if (RegisterClassExA(&windowClass) == 0)
        return false;

    editorState.editorWindow = CreateWindowExA(0, RIVO_EDITOR_CLASS, NULL, WS_CHILD | WS_VISIBLE,
                                               0, 0, 0, 0, parent, NULL, NULL, NULL);
    if (editorState.editorWindow == NULL)
        return false;

    SetClientSize(editorState.editorWindow, kEditorWidth, kEditorHeight);
    // The host's window already carries the menu, so fitting its client
    // area leaves the menu bar above the editor.
    RECT outer;
    GetWindowRect(editorState.editorWindow, &outer);
    SetClientSize(parent, outer.right - outer.left, outer.bottom - outer.top);
    return true;
}

void SetClientSize(HWND window, int32_t width, int32_t height)
{
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    int32_t frameWidth = (outer.right - outer.left) - (client.right - client.left);
    int32_t frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
    SetWindowPos(window, NULL, 0, 0, width + frameWidth, height + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER);
}

void DrawGraph(HDC dc, const Graph *graph, HPEN pen, HBRUSH brush)
{
    int32_t count = graph->count;
    if (count < 2 || count > kMaxPoints)
        return;
    const GraphPoint *p = graph->points;

    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);

    MoveToEx(dc, p[0].x, p[0].y, NULL);
    for (int32_t i = 1; i < count; i++)
        LineTo(dc, p[i].x, p[i].y);
    for (int32_t i = 0; i < count; i++) {
        RECT frame = {p[i].x - kPointFrameHalf, p[i].y - kPointFrameHalf,
                      p[i].x + kPointFrameHalf, p[i].y + kPointFrameHalf};
        FrameRect(dc, &frame, brush);
    }

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

LRESULT CALLBACK EditorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Signed 16 bits for every mouse message: while the mouse is captured a
    // position left of or above the editor is negative.
    int32_t x = (int16_t)LOWORD(lParam);
    int32_t y = (int16_t)HIWORD(lParam);

    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        // The whole graph, whatever the update region: clipping keeps it cheap.
        DrawGraph(dc, CurrentGraph(), editorState.pen, editorState.brush);
        EndPaint(window, &paint);
        // Every paint shows a change (or an uncovering): have the host render
        // its frame again so scripts see the graphs as drawn.
        SendMessageA(editorState.pluginWindow, WM_COMMAND, kRedrawCommand, 0);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (editorState.dragIndex != -1) {
            MovePoint(CurrentGraph(), editorState.dragIndex, x, y);
            InvalidateRect(window, NULL, TRUE);
        }
        return 0;
    case WM_LBUTTONDOWN:
        if (wParam & MK_CONTROL) {
            // Add or delete; a drag in progress is left alone.
            int32_t hit = HitTestPoint(CurrentGraph(), x, y);
            bool changed = hit == -1 ? InsertPoint(CurrentGraph(), x, y)
                                     : DeletePoint(CurrentGraph(), hit);
            if (changed)
                InvalidateRect(window, NULL, TRUE);
        } else {
            // Nothing changes until the first move, so nothing is repainted.
            editorState.dragIndex = HitTestPoint(CurrentGraph(), x, y);
            if (editorState.dragIndex != -1)
                SetCapture(window);
        }
        return 0;
    case WM_LBUTTONUP:
        if (editorState.dragIndex != -1) {
            // The capture may have gone to another window in the meantime;
            // releasing it then would end that window's drag, not ours.
            if (GetCapture() == window)
                ReleaseCapture();
            editorState.dragIndex = -1;
        }
        return 0;
    case WM_NCDESTROY:
        // Destroyed by FilterExit or with the host's window: either way the
        // handle must not be used again, not even by a second shut-down.
        if (editorState.editorWindow == window)
            editorState.editorWindow = NULL;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
