#include "script_window.h"

#include <stdio.h>

#include "host.h"
#include "script.h"

static const char kScriptClass[] = "rivo host script";

enum {
    kMargin = 8,
    kPlotWidth = 512,   // the editor's width: one column per position
    kPlotHeight = 256,  // the editor's height: value 1 at the top row
    kLineHeight = 16,
    kTextLines = 4
};

static char note[256];

void SetScriptWindowNote(const char *text)
{
    snprintf(note, sizeof note, "%s", text);
}

// Row of a value, as the editor draws it: 1 on the top row, 0 on the
// bottom one; values beyond stay at the edges.
static int PlotRow(double value)
{
    if (!(value > 0))
        value = 0;
    if (value > 1)
        value = 1;
    return kMargin + (kPlotHeight - 1) - (int)(value * (kPlotHeight - 1) + 0.5);
}

static void PaintPlot(HDC dc)
{
    HPEN gridPen = CreatePen(PS_SOLID, 1, RGB(224, 224, 224));
    HPEN plotPen = CreatePen(PS_SOLID, 1, RGB(0, 90, 200));
    HGDIOBJ oldPen = SelectObject(dc, gridPen);
    // Quarter lines of the value scale, and the frame around the plot.
    for (int quarter = 0; quarter <= 4; quarter++) {
        int row = PlotRow(quarter / 4.0);
        MoveToEx(dc, kMargin - 1, row, NULL);
        LineTo(dc, kMargin + kPlotWidth + 1, row);
    }
    MoveToEx(dc, kMargin - 1, kMargin - 1, NULL);
    LineTo(dc, kMargin - 1, kMargin + kPlotHeight + 1);
    MoveToEx(dc, kMargin + kPlotWidth, kMargin - 1, NULL);
    LineTo(dc, kMargin + kPlotWidth, kMargin + kPlotHeight + 1);

    SelectObject(dc, plotPen);
    int32_t count = scriptResult.valueCount;
    for (int32_t k = 0; k < count; k++) {
        int column = kMargin + (count > 1 ? (int)((double)k * (kPlotWidth - 1) / (count - 1) + 0.5) : 0);
        int row = PlotRow(scriptResult.values[k]);
        if (k == 0)
            MoveToEx(dc, column, row, NULL);
        else
            LineTo(dc, column, row);
        if (count <= 64) {
            // Few samples: mark each.
            Rectangle(dc, column - 2, row - 2, column + 3, row + 3);
            MoveToEx(dc, column, row, NULL);
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(gridPen);
    DeleteObject(plotPen);
}

static void PaintText(HDC dc, const RECT &client)
{
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    char line[kScriptTextSize + 64];
    RECT box = {kMargin, kMargin + kPlotHeight + kMargin, client.right - kMargin, client.bottom};
    if (note[0] != '\0') {
        DrawTextA(dc, note, -1, &box, DT_WORDBREAK | DT_NOPREFIX);
    } else {
        if (scriptResult.runs == 0)
            snprintf(line, sizeof line, "waiting for the first frame");
        else
            snprintf(line, sizeof line, "frame %d, editor on graph %d: %d values", (int)scriptResult.frame,
                     (int)scriptResult.graph + 1, (int)scriptResult.valueCount);
        DrawTextA(dc, line, -1, &box, DT_SINGLELINE | DT_NOPREFIX);
        box.top += kLineHeight;
        for (int32_t i = 0; i < scriptResult.textCount && box.top < box.bottom; i++) {
            DrawTextA(dc, scriptResult.texts[i], -1, &box, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            box.top += kLineHeight;
        }
        if (scriptResult.error[0] != '\0') {
            SetTextColor(dc, RGB(200, 0, 0));
            DrawTextA(dc, scriptResult.error, -1, &box, DT_WORDBREAK | DT_NOPREFIX);
        }
    }
    SelectObject(dc, oldFont);
}

static LRESULT CALLBACK ScriptWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        PaintPlot(dc);
        PaintText(dc, client);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        // Like the host's own windows: closing it ends the program.
        HostClose();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateScriptWindow(HINSTANCE instance, HWND owner, const char *title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ScriptWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = kScriptClass;
    if (RegisterClassA(&windowClass) == 0)
        return NULL;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, kMargin + kPlotWidth + kMargin,
                  kMargin + kPlotHeight + kMargin + kTextLines * kLineHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    // Below the plug-in window, whose place the host chose.
    RECT plugin = {520, 40, 520, 340};
    if (host.pluginWindow != NULL)
        GetWindowRect(host.pluginWindow, &plugin);
    HWND window = CreateWindowExA(0, kScriptClass, title, style, plugin.left, plugin.bottom + 16,
                                  frame.right - frame.left, frame.bottom - frame.top, owner, NULL,
                                  instance, NULL);
    if (window != NULL)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}
