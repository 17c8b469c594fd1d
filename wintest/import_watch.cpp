#include "import_watch.h"

#include <stdio.h>
#include <string.h>

#include <vector>

ImportWatch importWatch;

namespace {

std::vector<HGDIOBJ> gdiObjects;  // made by the DLL, not deleted yet
std::vector<HWND> windows;        // made by the DLL
std::vector<HMENU> menus;         // loaded by the DLL

template <typename Function>
struct Real {
    Function function;
};

Real<decltype(&CreatePen)> realCreatePen;
Real<decltype(&CreateSolidBrush)> realCreateSolidBrush;
Real<decltype(&DeleteObject)> realDeleteObject;
Real<decltype(&SelectObject)> realSelectObject;
Real<decltype(&BeginPaint)> realBeginPaint;
Real<decltype(&EndPaint)> realEndPaint;
Real<decltype(&CreateWindowExA)> realCreateWindowExA;
Real<decltype(&DestroyWindow)> realDestroyWindow;
Real<decltype(&InvalidateRect)> realInvalidateRect;
Real<decltype(&SetWindowTextA)> realSetWindowTextA;
Real<decltype(&SendMessageA)> realSendMessageA;
Real<decltype(&SetMenu)> realSetMenu;
Real<decltype(&LoadMenuA)> realLoadMenuA;
Real<decltype(&SetCapture)> realSetCapture;
Real<decltype(&ReleaseCapture)> realReleaseCapture;
Real<decltype(&SetWindowPos)> realSetWindowPos;
Real<decltype(&MessageBoxA)> realMessageBoxA;

bool Made(HWND window)
{
    for (HWND made : windows)
        if (made == window)
            return true;
    return false;
}

// A call on window: it must be a live window, and one the DLL made where
// only its own windows are its business.
void Check(const char *call, HWND window, bool mustBeOwn)
{
    importWatch.windowCalls++;
    const char *why = NULL;
    if (window == NULL)
        why = "a null window";
    else if (!IsWindow(window))
        why = "a window that no longer exists";
    else if (mustBeOwn && !Made(window))
        why = "a window the plug-in did not make";
    if (why == NULL)
        return;
    importWatch.strayCalls++;
    snprintf(importWatch.lastStray, sizeof importWatch.lastStray, "%s on %s (%p)", call, why, (void *)window);
}

HPEN WINAPI WatchCreatePen(int style, int width, COLORREF colour)
{
    HPEN pen = realCreatePen.function(style, width, colour);
    if (pen != NULL) {
        importWatch.gdiCreated++;
        gdiObjects.push_back(pen);
    }
    return pen;
}

HBRUSH WINAPI WatchCreateSolidBrush(COLORREF colour)
{
    HBRUSH brush = realCreateSolidBrush.function(colour);
    if (brush != NULL) {
        importWatch.gdiCreated++;
        gdiObjects.push_back(brush);
    }
    return brush;
}

BOOL WINAPI WatchDeleteObject(HGDIOBJ object)
{
    BOOL deleted = realDeleteObject.function(object);
    for (size_t i = 0; deleted && i < gdiObjects.size(); i++)
        if (gdiObjects[i] == object) {
            gdiObjects.erase(gdiObjects.begin() + i);
            importWatch.gdiDeleted++;
            break;
        }
    return deleted;
}

HGDIOBJ WINAPI WatchSelectObject(HDC dc, HGDIOBJ object)
{
    // Painting with a pen or brush it no longer has.
    if (object == NULL) {
        importWatch.strayCalls++;
        snprintf(importWatch.lastStray, sizeof importWatch.lastStray, "SelectObject with no object");
    }
    return realSelectObject.function(dc, object);
}

HDC WINAPI WatchBeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    Check("BeginPaint", window, true);
    importWatch.paintsOpen++;
    importWatch.paintsBegun++;
    return realBeginPaint.function(window, paint);
}

BOOL WINAPI WatchEndPaint(HWND window, const PAINTSTRUCT *paint)
{
    importWatch.paintsOpen--;
    return realEndPaint.function(window, paint);
}

HWND WINAPI WatchCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y,
                                 int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                 LPVOID parameter)
{
    HWND window = realCreateWindowExA.function(exStyle, className, name, style, x, y, width, height, parent,
                                               menu, instance, parameter);
    if (window != NULL)
        windows.push_back(window);
    return window;
}

BOOL WINAPI WatchDestroyWindow(HWND window)
{
    Check("DestroyWindow", window, true);
    return realDestroyWindow.function(window);
}

BOOL WINAPI WatchInvalidateRect(HWND window, const RECT *rect, BOOL erase)
{
    // A null window here would invalidate every window on the desktop.
    Check("InvalidateRect", window, true);
    importWatch.invalidations++;
    return realInvalidateRect.function(window, rect, erase);
}

BOOL WINAPI WatchSetWindowTextA(HWND window, LPCSTR text)
{
    Check("SetWindowTextA", window, false);
    return realSetWindowTextA.function(window, text);
}

LRESULT WINAPI WatchSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Check("SendMessageA", window, false);
    return realSendMessageA.function(window, message, wParam, lParam);
}

BOOL WINAPI WatchSetMenu(HWND window, HMENU menu)
{
    Check("SetMenu", window, false);
    return realSetMenu.function(window, menu);
}

HMENU WINAPI WatchLoadMenuA(HINSTANCE instance, LPCSTR name)
{
    HMENU menu = realLoadMenuA.function(instance, name);
    if (menu != NULL)
        menus.push_back(menu);
    return menu;
}

HWND WINAPI WatchSetCapture(HWND window)
{
    Check("SetCapture", window, true);
    return realSetCapture.function(window);
}

BOOL WINAPI WatchReleaseCapture()
{
    // Releasing takes the capture from whichever window holds it.
    HWND holder = GetCapture();
    if (holder != NULL)
        Check("ReleaseCapture", holder, true);
    return realReleaseCapture.function();
}

BOOL WINAPI WatchSetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags)
{
    Check("SetWindowPos", window, false);
    return realSetWindowPos.function(window, after, x, y, width, height, flags);
}

int WINAPI WatchMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    importWatch.messageBoxes++;
    return realMessageBoxA.function(owner, text, caption, type);
}

// The import slot of dll!name in module, or NULL.
void **FindImport(HMODULE module, const char *dll, const char *name)
{
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS *headers = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return NULL;
    for (IMAGE_IMPORT_DESCRIPTOR *entry = (IMAGE_IMPORT_DESCRIPTOR *)(base + directory.VirtualAddress);
         entry->Name != 0; entry++) {
        if (lstrcmpiA((const char *)(base + entry->Name), dll) != 0)
            continue;
        DWORD namesAt = entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + namesAt);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, name) == 0)
                return (void **)&slots->u1.Function;
        }
    }
    return NULL;
}

template <typename Function>
bool Redirect(HMODULE module, const char *dll, const char *name, Real<Function> *real, Function watch)
{
    void **slot = FindImport(module, dll, name);
    if (slot == NULL)
        return false;
    DWORD protection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
        return false;
    real->function = reinterpret_cast<Function>(*slot);
    *slot = reinterpret_cast<void *>(watch);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

}  // namespace

bool WatchImports(HMODULE module)
{
    bool all = true;
    all &= Redirect(module, "gdi32.dll", "CreatePen", &realCreatePen, &WatchCreatePen);
    all &= Redirect(module, "gdi32.dll", "CreateSolidBrush", &realCreateSolidBrush, &WatchCreateSolidBrush);
    all &= Redirect(module, "gdi32.dll", "DeleteObject", &realDeleteObject, &WatchDeleteObject);
    all &= Redirect(module, "gdi32.dll", "SelectObject", &realSelectObject, &WatchSelectObject);
    all &= Redirect(module, "user32.dll", "BeginPaint", &realBeginPaint, &WatchBeginPaint);
    all &= Redirect(module, "user32.dll", "EndPaint", &realEndPaint, &WatchEndPaint);
    all &= Redirect(module, "user32.dll", "CreateWindowExA", &realCreateWindowExA, &WatchCreateWindowExA);
    all &= Redirect(module, "user32.dll", "DestroyWindow", &realDestroyWindow, &WatchDestroyWindow);
    all &= Redirect(module, "user32.dll", "InvalidateRect", &realInvalidateRect, &WatchInvalidateRect);
    all &= Redirect(module, "user32.dll", "SetWindowTextA", &realSetWindowTextA, &WatchSetWindowTextA);
    all &= Redirect(module, "user32.dll", "SendMessageA", &realSendMessageA, &WatchSendMessageA);
    all &= Redirect(module, "user32.dll", "SetMenu", &realSetMenu, &WatchSetMenu);
    all &= Redirect(module, "user32.dll", "LoadMenuA", &realLoadMenuA, &WatchLoadMenuA);
    all &= Redirect(module, "user32.dll", "SetCapture", &realSetCapture, &WatchSetCapture);
    all &= Redirect(module, "user32.dll", "ReleaseCapture", &realReleaseCapture, &WatchReleaseCapture);
    all &= Redirect(module, "user32.dll", "SetWindowPos", &realSetWindowPos, &WatchSetWindowPos);
    all &= Redirect(module, "user32.dll", "MessageBoxA", &realMessageBoxA, &WatchMessageBoxA);
    return all;
}

int32_t LiveGdiObjectsOfPlugin()
{
    int32_t live = 0;
    for (HGDIOBJ object : gdiObjects)
        live += GetObjectType(object) != 0;
    return live;
}

// Dead handles are forgotten, so that a value the system hands out again
// to someone else's window or menu is not counted as the plug-in's.
int32_t LiveWindowsOfPlugin()
{
    for (size_t i = windows.size(); i-- > 0;)
        if (!IsWindow(windows[i]))
            windows.erase(windows.begin() + i);
    return (int32_t)windows.size();
}

int32_t LiveMenusOfPlugin()
{
    for (size_t i = menus.size(); i-- > 0;)
        if (!IsMenu(menus[i]))
            menus.erase(menus.begin() + i);
    return (int32_t)menus.size();
}

int32_t GuiResources(DWORD which)
{
    SetLastError(0);
    DWORD count = GetGuiResources(GetCurrentProcess(), which);
    if (count == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        return -1;
    return (int32_t)count;
}
