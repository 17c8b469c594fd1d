#include "host.h"

#include <stdio.h>
#include <string.h>

HostState host;

// The host's handle of the edited project; plug-ins only pass it back.
static int editHandle;

static const char kHostClass[] = "rivo host window";

static LRESULT CALLBACK HostWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_COMMAND:
        if (window == host.pluginWindow) {
            HostForwardMessage(message, wParam, lParam);
            return 0;
        }
        if (message == WM_COMMAND && window == host.mainWindow && host.commandHook != NULL) {
            host.commandHook(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_PAINT:
        if (window == host.mainWindow) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            char text[64];
            int length = snprintf(text, sizeof text, "frames rendered: %d", (int)host.renderCount);
            TextOutA(dc, 8, 8, text, length);
            if (host.paintHook != NULL)
                host.paintHook(dc, 32);
            EndPaint(window, &paint);
            return 0;
        }
        break;
    case WM_CLOSE:
        HostClose();
        return 0;
    case WM_DESTROY:
        if (window == host.mainWindow)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool HostLoadPlugin(const wchar_t *path)
{
    host.plugin = LoadLibraryW(path);
    if (host.plugin == NULL)
        return false;
    HostGetTableEntry getTable = (HostGetTableEntry)(void *)GetProcAddress(host.plugin, "GetFilterTable");
    if (getTable == NULL)
        return false;
    host.table = getTable();
    if (host.table == NULL)
        return false;
    memcpy(&host.record, host.table, sizeof host.record);
    host.record.instance = host.plugin;
    return true;
}

bool HostCreateWindows(HINSTANCE instance)
{
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = HostWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = kHostClass;
    if (RegisterClassA(&windowClass) == 0)
        return false;

    host.mainWindow = CreateWindowExA(0, kHostClass, "Rivo host", WS_OVERLAPPEDWINDOW, 0, 0, 480, 320,
                                      NULL, NULL, instance, NULL);
    if (host.mainWindow == NULL)
        return false;

    // The plug-in window asks for its size in the descriptor; the plug-in
    // may fit it again once it knows its contents.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, host.record.width, host.record.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    host.pluginWindow = CreateWindowExA(0, kHostClass, host.record.name, style, 520, 40,
                                        frame.right - frame.left, frame.bottom - frame.top,
                                        host.mainWindow, NULL, instance, NULL);
    if (host.pluginWindow == NULL)
        return false;
    host.record.window = host.pluginWindow;

    ShowWindow(host.mainWindow, SW_SHOW);
    ShowWindow(host.pluginWindow, SW_SHOW);
    UpdateWindow(host.mainWindow);
    return true;
}

int HostStartPlugin()
{
    return host.record.init != NULL ? host.record.init(&host.record) : 0;
}

int HostStopPlugin()
{
    return host.record.exit != NULL ? host.record.exit(&host.record) : 0;
}

int HostSaveProject(void *data, int32_t *size)
{
    return host.record.projectSave != NULL ? host.record.projectSave(&host.record, &editHandle, data, size) : 0;
}

int HostLoadProject(void *data, int32_t size)
{
    return host.record.projectLoad != NULL ? host.record.projectLoad(&host.record, &editHandle, data, size) : 0;
}

int HostForwardMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (host.record.windowProc == NULL)
        return 0;
    host.forwardCount++;
    host.lastAnswer = host.record.windowProc(host.pluginWindow, message, wParam, lParam, &editHandle,
                                             &host.record);
    if (host.forwardHook != NULL)
        host.forwardHook(message, wParam, lParam, host.lastAnswer);
    if (host.lastAnswer != 0)
        HostRenderFrame();
    return host.lastAnswer;
}

void HostRenderFrame()
{
    host.renderCount++;
    if (host.mainWindow != NULL)
        InvalidateRect(host.mainWindow, NULL, TRUE);
    if (host.renderHook != NULL)
        host.renderHook();
}

void HostClose()
{
    HostStopPlugin();
    if (host.pluginWindow != NULL)
        DestroyWindow(host.pluginWindow);
    host.pluginWindow = NULL;
    if (host.mainWindow != NULL)
        DestroyWindow(host.mainWindow);
    host.mainWindow = NULL;
}
