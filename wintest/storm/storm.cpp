// The storm: the real plug-in DLL in the stand-in host, driven by long seeded
// random sequences of what a user, the window system and a host send, with
// every observable checked after every step against the storm's own model.
//
//   rivo_storm [--seed N] [--steps N] [--seconds S] [--life-steps N] [PLUGIN]
//       runs lives of at most --life-steps steps, each in a process of its
//       own (a shut-down cannot be undone in a process), until --steps
//       steps or --seconds have passed. A failing life is cut down to the
//       shortest sequence found that still fails, written to a file.
//   rivo_storm --replay FILE [PLUGIN]    runs the steps listed in FILE.
//
// The lives and the replays run this program again with --life K or
// --replay; --result FILE is where such a run leaves its count and verdict.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include "cp932_texts.h"
#include "host.h"
#include "import_watch.h"
#include "lua_api.h"
#include "storm_model.h"
#include "storm_steps.h"

using namespace storm;

namespace {

struct Options {
    uint64_t seed = 0;
    bool seedGiven = false;
    int64_t steps = 20000;        // running steps over all lives
    int64_t lifeSteps = 250000;   // running steps in one life at most
    double seconds = 0;           // 0: no time limit
    int64_t life = -1;            // run this life here
    std::string replay;           // run these steps here
    std::string result;           // where a child leaves its verdict
    std::string plugin;
    double shrinkSeconds = 240;
    double hangSeconds = 120;
    int tail = 300;               // steps after the shut-down
};
Options options;

std::string programPath;

double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

std::string PluginPathNarrow()
{
    if (!options.plugin.empty())
        return options.plugin;
    std::string path = programPath;
    size_t slash = path.find_last_of("\\/");
    return path.substr(0, slash + 1) + "rivo_grapheditor.auf";
}

std::wstring Wide(const std::string &text)
{
    wchar_t buffer[MAX_PATH * 2];
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, MAX_PATH * 2);
    return buffer;
}

// --- Lua in the same process, through the fixture lua51.dll ---------------

LuaApi lua;
lua_State *luaState;

// Every column of a graph and the positions beyond, as one string of values
// 0..255, and how many results were no exact value / 255 (or a wrong t back
// for an index outside the set).
const char kReader[] =
    "local path = ...\n"
    "local open = assert(package.loadlib(path, 'luaopen_rivo_grapheditor'))\n"
    "open()\n"
    "local gv = rivo.grapheditor.getvalue\n"
    "local floor, char, unpack = math.floor, string.char, unpack\n"
    "local extras = {-0.5, -1e-9, 1.0, 1.5, 1e300, -1e300, 1/0, -1/0, 0/0}\n"
    "local out = {}\n"
    "function storm_read(g)\n"
    "  local bad = 0\n"
    "  for x = 0, 511 do\n"
    "    local r = gv(g, (x + 0.5) / 511)\n"
    "    local n = floor(r * 255 + 0.5)\n"
    "    if n < 0 or n > 255 or r ~= n / 255 then bad = bad + 1; n = 0 end\n"
    "    out[x + 1] = n\n"
    "  end\n"
    "  for i = 1, #extras do\n"
    "    local r = gv(g, extras[i])\n"
    "    local n = floor(r * 255 + 0.5)\n"
    "    if n < 0 or n > 255 or r ~= n / 255 then bad = bad + 1; n = 0 end\n"
    "    out[512 + i] = n\n"
    "  end\n"
    "  if gv(64, 0.3) ~= 0.3 or gv(-1, 0.7) ~= 0.7 then bad = bad + 1000 end\n"
    "  return char(unpack(out)), bad\n"
    "end\n";
const double kExtras[] = {-0.5, -1e-9, 1.0, 1.5, 1e300, -1e300, 1.0 / 0.0, -1.0 / 0.0, 0.0 / 0.0};
const int kExtraCount = 9;

bool StartLua(std::string *error)
{
    std::string path = programPath.substr(0, programPath.find_last_of("\\/") + 1) + "..\\fixtures\\lua51.dll";
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == NULL) {
        *error = "no Lua runtime at " + path;
        return false;
    }
    std::string missing;
    if (!BindLuaApi(library, &lua, &missing)) {
        *error = "lua51.dll lacks " + missing;
        return false;
    }
    luaState = lua.newstate();
    lua.openlibs(luaState);
    if (lua.loadstring(luaState, kReader) != 0) {
        *error = lua.tolstring(luaState, -1, NULL);
        return false;
    }
    lua.pushstring(luaState, PluginPathNarrow().c_str());
    if (lua.pcall(luaState, 1, 0, 0) != 0) {
        *error = lua.tolstring(luaState, -1, NULL);
        return false;
    }
    return true;
}

// The values Lua reads of graph g; false with the error if the call failed.
bool ReadThroughLua(int32_t g, std::string *values, int *bad)
{
    lua.getfield(luaState, kLuaGlobalsIndex, "storm_read");
    lua.pushinteger(luaState, g);
    if (lua.pcall(luaState, 1, 2, 0) != 0) {
        *values = lua.tolstring(luaState, -1, NULL);
        lua.settop(luaState, 0);
        return false;
    }
    size_t length = 0;
    const char *text = lua.tolstring(luaState, -2, &length);
    values->assign(text != NULL ? text : "", text != NULL ? length : 0);
    *bad = (int)lua.tonumber(luaState, -1);
    lua.settop(luaState, 0);
    return true;
}

// t * 511 toward zero; beyond 32 bits it saturates and NaN is position 0.
int32_t PositionOf(double t)
{
    double position = t * 511;
    if (position >= 2147483648.0)
        return INT32_MAX;
    if (position > -2147483649.0)
        return (int32_t)position;
    if (position <= -2147483649.0)
        return INT32_MIN;
    return 0;
}

// --- The host's side -------------------------------------------------------

HWND editor;        // the plug-in's editor as the storm last found it
HWND otherWindow;   // takes the mouse capture from the editor
HWND cover;         // a sibling laid over the editor
bool hostWindowAlive;
WNDPROC editorProcedure;

struct Counters {
    int64_t paints;
    int64_t paintRequests;  // redraw requests answered during a paint
    int64_t otherOnes;      // other forwarded messages answered 1
    int64_t forwarded;
};
Counters counters;
bool inPaint;

LRESULT CALLBACK CountingEditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return CallWindowProcA(editorProcedure, window, message, wParam, lParam);
    counters.paints++;
    bool outer = inPaint;
    inPaint = true;
    LRESULT result = CallWindowProcA(editorProcedure, window, message, wParam, lParam);
    inPaint = outer;
    return result;
}

void Forwarded(UINT message, WPARAM wParam, LPARAM, int answer)
{
    counters.forwarded++;
    if (answer == 0)
        return;
    if (inPaint && message == WM_COMMAND && wParam == 1234)
        counters.paintRequests++;
    else
        counters.otherOnes++;
}

// Presses OK on every message box the moment it is shown.
LRESULT CALLBACK CloseMessageBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = (HWND)wParam;
        char className[16] = {};
        GetClassNameA(box, className, sizeof className);
        if (strcmp(className, "#32770") == 0)
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void FindEditor()
{
    editor = FindWindowExA(host.pluginWindow, NULL, "rivo grapheditor", NULL);
    if (editor != NULL)
        editorProcedure = (WNDPROC)SetWindowLongPtrA(editor, GWLP_WNDPROC, (LONG_PTR)CountingEditorProc);
}

bool SetUpHost(std::string *error)
{
    std::wstring path = Wide(PluginPathNarrow());
    if (!HostLoadPlugin(path.c_str())) {
        *error = "cannot load " + PluginPathNarrow();
        return false;
    }
    if (!WatchImports(host.plugin)) {
        *error = "the plug-in does not import what the storm watches";
        return false;
    }
    HINSTANCE instance = GetModuleHandleW(NULL);
    if (!HostCreateWindows(instance)) {
        *error = "cannot create the host's windows";
        return false;
    }
    hostWindowAlive = true;
    host.forwardHook = Forwarded;
    // The pointer in a corner where no window of the storm ever lies.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    SetWindowsHookExW(WH_CBT, CloseMessageBoxes, NULL, GetCurrentThreadId());

    WNDCLASSA coverClass = {};
    coverClass.lpfnWndProc = CoverProc;
    coverClass.hInstance = instance;
    coverClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    coverClass.lpszClassName = "rivo storm cover";
    RegisterClassA(&coverClass);
    cover = CreateWindowExA(0, "rivo storm cover", NULL, WS_CHILD, 0, 0, 10, 10, host.pluginWindow, NULL,
                            instance, NULL);
    otherWindow = CreateWindowExA(0, "rivo storm cover", "other", WS_POPUP | WS_VISIBLE, 0, 600, 40, 40, NULL,
                                  NULL, instance, NULL);
    if (cover == NULL || otherWindow == NULL) {
        *error = "cannot create the storm's windows";
        return false;
    }
    return StartLua(error);
}

void HoldKeys(int32_t held)
{
    BYTE state[256] = {};
    if (held & 1)
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if (held & 2)
        state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (held & 4)
        state[VK_MENU] = state[VK_LMENU] = 0x80;
    SetKeyboardState(state);
}

void SendToHostWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hostWindowAlive)
        SendMessageW(host.pluginWindow, message, wParam, lParam);
    else
        HostForwardMessage(message, wParam, lParam);  // a host still forwarding what it had queued
}

// What the window system has queued: posted messages, timers, paints. Input
// is the storm's to give, so real mouse and key messages (a window moved
// under the pointer makes one) are dropped rather than dispatched.
void PumpMessages()
{
    MSG message;
    for (int i = 0; i < 200 && PeekMessageW(&message, NULL, 0, 0, PM_REMOVE); i++) {
        bool input = (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) ||
                     (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST);
        if (!input)
            DispatchMessageW(&message);
    }
}

// --- One life: steps applied to the plug-in and the model, then checked ----

struct Failure {
    std::string what;   // the check, one word: what a shorter sequence must keep failing
    std::string detail;
};

struct Life {
    Model model;
    Phase phase = Phase::BeforeStartUp;
    std::vector<Step> steps;
    int64_t running = 0;     // steps while running
    bool ink = false;        // the pen and brush exist
    bool menu = false;       // the help menu is attached to the host's window
    int32_t gdiBaseline = -2, userBaseline = -2;
    bool hasFailed = false;
    Failure failure;
    // What the life got up to, so that a passing run says what it covered.
    int64_t added = 0, deleted = 0, dragged = 0, heldAtAnEnd = 0, fullRefused = 0, loads = 0;
    int64_t platformPaints = 0;  // paints the window system added beyond what a step asked for
    int64_t stillWaiting = 0;    // steps after which the editor waited for a paint all the same
    std::string firstWaiting;
};

void Fail(Life *life, const char *what, const std::string &detail)
{
    if (life->hasFailed)
        return;
    life->hasFailed = true;
    life->failure = {what, detail};
}

std::string Describe(const Curve &curve)
{
    std::string text = "count " + std::to_string(curve.count) + ":";
    for (int32_t i = 0; i < curve.count && i < 32 && i >= 0; i++)
        text += " (" + std::to_string(curve.points[i].x) + "," + std::to_string(curve.points[i].y) + ")";
    return text;
}

std::string ExpectedTitle(const Model &model)
{
    if (model.titleGraph == 0)
        return host.record.name;
    return std::string(kCp932_NAME, sizeof kCp932_NAME) + " [" + std::to_string(model.titleGraph) + "/64]";
}

// What a step must do beyond what the model shows.
struct Expect {
    int64_t ones = 0;  // forwarded messages the plug-in must answer with 1
    bool actsOnWindows = false;  // a start-up, or the shut-down of a running plug-in
};

int OneForward(Model *model, UINT message, WPARAM wParam)
{
    if (message == WM_KEYDOWN)
        return Key(model, wParam);
    if (message == WM_COMMAND)
        return Command(model, wParam);
    return 0;
}

void Apply(Life *life, const Step &step, Expect *expect)
{
    Model *model = &life->model;
    switch (step.kind) {
    case Kind::Press:
        SendMessageW(editor, WM_LBUTTONDOWN, (WPARAM)step.c, MAKELPARAM(step.a, step.b));
        Press(model, (int16_t)step.a, (int16_t)step.b, (step.c & MK_CONTROL) != 0);
        break;
    case Kind::Move:
        SendMessageW(editor, WM_MOUSEMOVE, (WPARAM)step.c, MAKELPARAM(step.a, step.b));
        Move(model, (int16_t)step.a, (int16_t)step.b);
        break;
    case Kind::Release:
        SendMessageW(editor, WM_LBUTTONUP, (WPARAM)step.c, MAKELPARAM(step.a, step.b));
        Release(model);
        break;
    case Kind::Mouse: {
        UINT message = (UINT)step.a;
        WPARAM wParam = (WPARAM)step.d;
        if (message == WM_MOUSEWHEEL)
            wParam = MAKEWPARAM(step.d, 120);
        SendMessageW(editor, message, wParam, MAKELPARAM(step.b, step.c));
        break;
    }
    case Kind::LoseCapture:
        if (step.a == 0) {
            SetCapture(otherWindow);
            model->capture = Capture::Other;
        } else {
            ReleaseCapture();
            model->capture = Capture::None;
        }
        break;
    case Kind::Cover:
        if (hostWindowAlive && step.e == 0) {
            SetWindowPos(cover, HWND_TOP, step.a, step.b, step.c, step.d, SWP_SHOWWINDOW);
            UpdateWindow(cover);
        } else if (hostWindowAlive) {
            // Another program's window over the host's.
            POINT origin = {step.a, step.b};
            ClientToScreen(host.pluginWindow, &origin);
            SetWindowPos(otherWindow, HWND_TOP, origin.x, origin.y, step.c, step.d, SWP_SHOWWINDOW);
            UpdateWindow(otherWindow);
        }
        break;
    case Kind::Uncover:
        if (hostWindowAlive) {
            if (step.a == 0)
                SetWindowPos(cover, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
            else
                SetWindowPos(cover, NULL, 600, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        SetWindowPos(otherWindow, NULL, 0, 600, 40, 40, SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    case Kind::Key:
        if (step.c != 0)
            HoldKeys(step.c);
        for (int32_t i = 0; i < step.d; i++) {
            SendToHostWindow(WM_KEYDOWN, (WPARAM)(uint32_t)step.a, (LPARAM)step.b);
            expect->ones += Key(model, (uint32_t)step.a);
        }
        if (step.c != 0)
            HoldKeys(0);
        break;
    case Kind::KeyRun:
        for (int32_t i = 0; i < step.d; i++) {
            SendToHostWindow(WM_KEYDOWN, (WPARAM)(uint32_t)step.a, 1);
            expect->ones += Key(model, (uint32_t)step.a);
        }
        break;
    case Kind::Command:
        SendToHostWindow(WM_COMMAND, (WPARAM)(uint32_t)step.a, (LPARAM)step.b);
        expect->ones += Command(model, (uint32_t)step.a);
        break;
    case Kind::Forward:
        HostForwardMessage((UINT)step.a, (WPARAM)(uint32_t)step.b, (LPARAM)step.c);
        expect->ones += OneForward(model, (UINT)step.a, (uint32_t)step.b);
        break;
    case Kind::Invalidate: {
        RECT rect = {step.a, step.b, step.c, step.d};
        bool whole = (step.e & 1) != 0;
        if (step.e & 4)
            RedrawWindow(host.pluginWindow, whole ? NULL : &rect, NULL,
                         RDW_INVALIDATE | RDW_ALLCHILDREN | ((step.e & 2) ? RDW_ERASE : 0));
        else
            InvalidateRect(editor, whole ? NULL : &rect, (step.e & 2) != 0);
        RECT client = {0, 0, 512, 256}, overlap;
        if (model->running && (whole || IntersectRect(&overlap, &rect, &client)))
            model->invalid = true;
        break;
    }
    case Kind::Pump:
        PumpMessages();
        break;
    case Kind::Save:
        break;  // every step saves; see Check
    case Kind::Load: {
        std::vector<uint8_t> bytes = LoadBytes(step);
        uint8_t *data = bytes.empty() ? NULL : bytes.data();
        if (HostLoadProject(data, step.b) != 1)
            Fail(life, "load-answer", "a project load did not answer 1");
        LoadBlock(model, data, step.b);
        break;
    }
    case Kind::ReadGraph:
        break;  // see Check
    case Kind::StartUp: {
        int32_t boxes = importWatch.messageBoxes;
        bool started = StartUp(model);
        int answer = HostStartPlugin();
        if (answer != (started ? 1 : 0))
            Fail(life, "start-up-answer", "start-up answered " + std::to_string(answer));
        if (importWatch.messageBoxes != boxes + (started ? 0 : 1))
            Fail(life, "start-up-message", "the start-up failure message was shown " +
                                                   std::to_string(importWatch.messageBoxes - boxes) + " times");
        if (started) {
            FindEditor();
            life->ink = life->menu = true;
            life->phase = Phase::Running;
        } else {
            // The message box takes the mouse from whoever held it.
            model->capture = Capture::None;
            if (!model->running)
                life->ink = false;  // a failed start-up deletes the pen and brush it made
        }
        expect->actsOnWindows = true;
        break;
    }
    case Kind::ShutDown:
        expect->actsOnWindows = model->running;
        if (HostStopPlugin() != 1)
            Fail(life, "shut-down-answer", "shut-down did not answer 1");
        ShutDown(model);
        if (life->phase == Phase::Running)
            life->phase = Phase::AfterShutDown;
        break;
    case Kind::CloseHostWindow:
        if (hostWindowAlive) {
            DestroyWindow(host.pluginWindow);  // with it the editor, if still there
            hostWindowAlive = false;
            life->menu = false;
            ShutDown(model);  // nothing of the editor is left
            model->titleGraph = 0;
            life->phase = Phase::AfterHostClosed;
        }
        break;
    case Kind::Count:
        break;
    }
}

const char *const kCaptureNames[] = {"none", "the editor", "another window"};

void Check(Life *life, const Step &step, const Expect &expect, const Counters &before, int32_t strayBefore,
           int32_t windowCallsBefore, int64_t invalidationsBefore, int64_t modelInvalidationsBefore,
           int64_t paintsBegunBefore)
{
    Model *model = &life->model;
    bool editorAlive = editor != NULL && IsWindow(editor);

    // Invalidation: the plug-in invalidates the editor once for every edit,
    // switch and reset, and never otherwise.
    if (importWatch.invalidations - invalidationsBefore != model->invalidations - modelInvalidationsBefore)
        Fail(life, "invalidate", "the plug-in invalidated the editor " +
                                     std::to_string(importWatch.invalidations - invalidationsBefore) +
                                     " times, expected " +
                                     std::to_string(model->invalidations - modelInvalidationsBefore));

    // Paints: the storm paints the editor at the end of each step. What the
    // step asked for must be waiting; under load the window system may add
    // a paint of its own now and then (an exposure), which is fine as long
    // as it too asks for exactly one render.
    bool pending = editorAlive && GetUpdateRect(editor, NULL, FALSE) != FALSE;
    bool asked = model->invalid && model->running;
    if (asked && !pending)
        Fail(life, "repaint", "the editor does not wait for the paint its change asked for");
    for (int round = 0; round < 5 && editorAlive && GetUpdateRect(editor, NULL, FALSE) != FALSE; round++)
        UpdateWindow(editor);
    model->invalid = false;
    int64_t paints = counters.paints - before.paints;
    // Each paint validates what it paints. Now and then under load Wine
    // leaves the editor waiting all the same; that is counted, and painted
    // in the next step.
    if (importWatch.paintsBegun - paintsBegunBefore != paints)
        Fail(life, "paint", std::to_string(paints) + " paint messages began " +
                                std::to_string(importWatch.paintsBegun - paintsBegunBefore) + " paints");
    RECT waiting;
    if (editorAlive && GetUpdateRect(editor, &waiting, FALSE) != FALSE && life->stillWaiting++ == 0) {
        char text[200];
        snprintf(text, sizeof text, "first after step %lld (%s): %lld paints, (%ld,%ld)-(%ld,%ld) waiting",
                 (long long)life->steps.size(), StepText(step).c_str(), (long long)paints, waiting.left,
                 waiting.top, waiting.right, waiting.bottom);
        life->firstWaiting = text;
    }
    if (paints > (asked ? 1 : 0))
        life->platformPaints += paints - (asked ? 1 : 0);
    if (counters.paintRequests - before.paintRequests != paints)
        Fail(life, "render-per-paint", std::to_string(paints) + " paints sent " +
                                           std::to_string(counters.paintRequests - before.paintRequests) +
                                           " redraw requests");
    if (counters.otherOnes - before.otherOnes != expect.ones)
        Fail(life, "render-answer", "the plug-in asked for " +
                                        std::to_string(counters.otherOnes - before.otherOnes) +
                                        " renders outside paints, expected " + std::to_string(expect.ones));
    if (importWatch.paintsOpen != 0)
        Fail(life, "paint-balance", "a paint was begun and not ended");

    // The graphs, byte for byte, through the project-save callback.
    static struct {
        Block block;
        uint8_t guard[64];  // a save writes the block and not a byte more
    } buffer;
    memset(&buffer, 0xA5, sizeof buffer);
    int32_t size = 0x5A5A5A5A;
    if (HostSaveProject(&buffer, &size) != 1 || size != 0x5A5A5A5A)
        Fail(life, "save", "a save did not answer 1 or touched the size");
    for (uint8_t byte : buffer.guard)
        if (byte != 0xA5) {
            Fail(life, "save", "a save wrote past the block");
            break;
        }
    const Block &saved = buffer.block;
    if (step.kind == Kind::Save) {
        size = -1;
        if (step.a == 0 && (HostSaveProject(NULL, &size) != 1 || size != (int32_t)sizeof(Block)))
            Fail(life, "save", "the size query answered " + std::to_string(size));
        if (step.a == 2 && HostSaveProject(NULL, NULL) != 1)
            Fail(life, "save", "a size query with nowhere to put it did not answer 1");
    }
    for (int32_t g = 0; g < 64; g++) {
        const Curve &real = saved.curves[g], &expected = model->block.curves[g];
        if (model->classRegistered && !IsCurve(real)) {
            Fail(life, "invariant", "graph " + std::to_string(g) + " is no curve: " + Describe(real));
            break;
        }
        if (memcmp(&real, &expected, sizeof real) != 0) {
            size_t used = expected.count > 0 && expected.count <= 32 ? (size_t)expected.count : 0;
            bool slotsOnly = real.count == expected.count &&
                             memcmp(real.points, expected.points, sizeof(Point) * used) == 0;
            Fail(life, slotsOnly ? "stale-slots" : "graph",
                 "graph " + std::to_string(g) + (g == model->shown ? " (shown)" : "") + " is " + Describe(real) +
                     ", expected " + Describe(expected));
            break;
        }
    }

    // The title names the graph shown.
    if (hostWindowAlive) {
        char title[512] = {};
        GetWindowTextA(host.pluginWindow, title, sizeof title);
        std::string expected = ExpectedTitle(*model);
        if (expected != title)
            Fail(life, "title", std::string("the title reads \"") + title + "\", expected graph " +
                                    std::to_string(model->titleGraph));
    }

    // getvalue in this process against the model.
    int32_t g = step.kind == Kind::ReadGraph ? step.a : model->shown;
    std::string values;
    int bad = 0;
    if (!ReadThroughLua(g, &values, &bad)) {
        Fail(life, "lua", "the reader failed: " + values);
    } else if (values.size() != (size_t)(512 + kExtraCount)) {
        Fail(life, "lua", "the reader returned " + std::to_string(values.size()) + " values");
    } else if (bad != 0) {
        Fail(life, "getvalue", "getvalue gave " + std::to_string(bad) + " results that are no value/255");
    } else {
        const Curve &curve = model->block.curves[g];
        for (int32_t i = 0; i < 512 + kExtraCount; i++) {
            int32_t position = i < 512 ? i : PositionOf(kExtras[i - 512]);
            int32_t expected = Evaluate(curve, position);
            if ((uint8_t)values[(size_t)i] != expected) {
                Fail(life, "getvalue", "getvalue(" + std::to_string(g) + ") at position " +
                                           std::to_string(position) + " reads " +
                                           std::to_string((uint8_t)values[(size_t)i]) + "/255, expected " +
                                           std::to_string(expected) + "/255 of " + Describe(curve));
                break;
            }
        }
    }

    // The editor and the mouse capture.
    if (editorAlive != model->running)
        Fail(life, "editor", editorAlive ? "the editor outlived the shut-down" : "the editor is gone");
    HWND captured = GetCapture();
    HWND expectedCapture = model->capture == Capture::Editor  ? editor
                           : model->capture == Capture::Other ? otherWindow
                                                              : NULL;
    if (captured != expectedCapture)
        Fail(life, "capture", std::string("the mouse capture is with ") +
                                  (captured == NULL ? "no window" : captured == editor ? "the editor"
                                                                : captured == otherWindow ? "another window"
                                                                                          : "a stranger") +
                                  ", expected " + kCaptureNames[(int)model->capture]);

    // What the plug-in holds of USER and GDI, and where it reached.
    if (importWatch.strayCalls != strayBefore)
        Fail(life, "stray-call", std::string("the plug-in called ") + importWatch.lastStray);
    if (!model->running && !expect.actsOnWindows && importWatch.windowCalls != windowCallsBefore)
        Fail(life, "after-shut-down", "the plug-in acted on a window while not running");
    int32_t gdi = LiveGdiObjectsOfPlugin(), windows = LiveWindowsOfPlugin(), menus = LiveMenusOfPlugin();
    if (gdi != (life->ink ? 2 : 0))
        Fail(life, "gdi-leak", "the plug-in holds " + std::to_string(gdi) + " pens and brushes, expected " +
                                   std::to_string(life->ink ? 2 : 0));
    if (windows != (model->running ? 1 : 0))
        Fail(life, "window-leak", "the plug-in's windows alive: " + std::to_string(windows));
    if (menus != (life->menu ? 1 : 0))
        Fail(life, "menu-leak", "the plug-in's menus alive: " + std::to_string(menus) + ", expected " +
                                    std::to_string(life->menu ? 1 : 0));

    // The process's own counts, where the platform keeps them: flat once the
    // storm's own windows exist.
    if (life->running == 1000 && life->gdiBaseline == -2) {
        life->gdiBaseline = GuiResources(GR_GDIOBJECTS);
        life->userBaseline = GuiResources(GR_USEROBJECTS);
    } else if (life->gdiBaseline >= 0 && model->running && life->running % 1000 == 0) {
        int32_t gdiNow = GuiResources(GR_GDIOBJECTS), userNow = GuiResources(GR_USEROBJECTS);
        if (gdiNow != life->gdiBaseline || userNow != life->userBaseline)
            Fail(life, "gui-resources", "GDI objects " + std::to_string(life->gdiBaseline) + " -> " +
                                            std::to_string(gdiNow) + ", USER objects " +
                                            std::to_string(life->userBaseline) + " -> " + std::to_string(userNow));
    }
}

// --- Hangs and crashes -----------------------------------------------------

volatile LONG heartbeat;
volatile LONG watching;
Life *current;
const char *crashFile;

void LeaveResult(const char *verdict, const std::string &detail);

void SaveStepsForShrinking()
{
    if (current != NULL && crashFile != NULL)
        WriteSteps(crashFile, current->steps);
}

DWORD WINAPI Watchdog(LPVOID)
{
    LONG seen = heartbeat;
    double since = Now();
    for (;;) {
        Sleep(500);
        if (!watching) {
            since = Now();
            continue;
        }
        if (heartbeat != seen) {
            seen = heartbeat;
            since = Now();
        } else if (Now() - since > options.hangSeconds) {
            std::string last = current != NULL && !current->steps.empty() ? StepText(current->steps.back()) : "";
            printf("FAIL hang: step %ld (%s) has not returned in %.0f s\n", (long)seen, last.c_str(),
                   options.hangSeconds);
            fflush(stdout);
            SaveStepsForShrinking();
            LeaveResult("hang", "step " + last + " hangs");
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

LONG WINAPI Crashed(EXCEPTION_POINTERS *exception)
{
    char detail[160];
    snprintf(detail, sizeof detail, "exception 0x%08lx at %p", (unsigned long)exception->ExceptionRecord->ExceptionCode,
             exception->ExceptionRecord->ExceptionAddress);
    std::string last = current != NULL && !current->steps.empty() ? StepText(current->steps.back()) : "";
    printf("FAIL crash: %s in step %s\n", detail, last.c_str());
    fflush(stdout);
    SaveStepsForShrinking();
    LeaveResult("crash", detail);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

void LeaveResult(const char *verdict, const std::string &detail)
{
    if (options.result.empty())
        return;
    FILE *file = fopen(options.result.c_str(), "w");
    if (file == NULL)
        return;
    fprintf(file, "%s %lld %lld\n%s\n", verdict, current != NULL ? (long long)current->steps.size() : 0LL,
            current != NULL ? (long long)current->running : 0LL, detail.c_str());
    fclose(file);
}

// Runs a step and its checks; false once the life has failed.
bool RunStep(Life *life, const Step &step)
{
    life->steps.push_back(step);
    InterlockedIncrement(&heartbeat);
    Counters before = counters;
    int32_t stray = importWatch.strayCalls, windowCalls = importWatch.windowCalls;
    int64_t invalidations = importWatch.invalidations, paintsBegun = importWatch.paintsBegun;
    Expect expect;
    static Model was;
    was = life->model;
    Apply(life, step, &expect);
    Check(life, step, expect, before, stray, windowCalls, invalidations, was.invalidations, paintsBegun);
    const Curve &then = was.block.curves[was.shown], &now = life->model.block.curves[was.shown];
    bool sameGraph = was.shown == life->model.shown;
    if (step.kind == Kind::Press && sameGraph) {
        life->added += now.count > then.count;
        life->deleted += now.count < then.count;
        life->fullRefused += (step.c & MK_CONTROL) && then.count == 32 && now.count == 32;
    }
    if (step.kind == Kind::Move && memcmp(&then, &now, sizeof now) != 0)
        life->dragged++;
    bool arrow = ((step.kind == Kind::Key || step.kind == Kind::KeyRun) &&
                  ((uint32_t)step.a == VK_LEFT || (uint32_t)step.a == VK_RIGHT)) ||
                 (step.kind == Kind::Command && ((step.a & 0xFFFF) == 40007 || (step.a & 0xFFFF) == 40008));
    if (arrow && was.running && (life->model.shown == 0 || life->model.shown == 63))
        life->heldAtAnEnd++;
    life->loads += step.kind == Kind::Load;
    if (life->phase == Phase::Running && life->model.running)
        life->running++;
    return !life->hasFailed;
}

// --- The processes ---------------------------------------------------------

uint64_t LifeSeed(uint64_t seed, int64_t life)
{
    Random random = {seed ^ (0xD1B54A32D192ED03ull * (uint64_t)(life + 1))};
    return random.Next();
}

// One life: a few host calls before start-up, the start-up, running steps
// until the count or the time is up, the shut-down and what arrives after.
int RunLife(int64_t index, int64_t runningSteps, double deadline)
{
    static Life life;
    current = &life;
    InitialModel(&life.model);
    Random random = {LifeSeed(options.seed, index)};
    life.model.titleGraph = 0;

    uint32_t before = random.Below(5);
    for (uint32_t i = 0; i < before && !life.hasFailed; i++)
        RunStep(&life, NextStep(&random, life.model, Phase::BeforeStartUp));
    if (!life.hasFailed)
        RunStep(&life, Step{Kind::StartUp, 0, 0, 0, 0, 0, 0});
    double start = Now();
    while (!life.hasFailed && life.running < runningSteps && (deadline == 0 || Now() < deadline)) {
        RunStep(&life, NextStep(&random, life.model, Phase::Running));
        if (life.running % 100000 == 0 && life.model.running)
            printf("life %lld: %lld steps running after %.0f s\n", (long long)index, (long long)life.running,
                   Now() - start);
    }
    if (!life.hasFailed)
        RunStep(&life, Step{Kind::ShutDown, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < options.tail && !life.hasFailed; i++)
        RunStep(&life, NextStep(&random, life.model, life.phase));

    int32_t gdi = GuiResources(GR_GDIOBJECTS);
    printf("life %lld: %lld steps, %lld of them running; %lld paints, %ld renders, %lld points added, %lld "
           "deleted, %lld drag moves, %lld arrows ending on graph 1 or 64, %lld Ctrl-clicks on a full graph, %lld loads, "
           "%ld message boxes, %lld paints the window system added, %lld steps left waiting for a paint; %s\n",
           (long long)index, (long long)life.steps.size(), (long long)life.running, (long long)counters.paints,
           (long)host.renderCount, (long long)life.added, (long long)life.deleted, (long long)life.dragged,
           (long long)life.heldAtAnEnd, (long long)life.fullRefused, (long long)life.loads,
           (long)importWatch.messageBoxes, (long long)life.platformPaints, (long long)life.stillWaiting,
           gdi < 0 ? "GetGuiResources is not implemented here: objects counted through the plug-in's imports"
                   : "GetGuiResources flat");
    if (life.stillWaiting > 0)
        printf("life %lld: left waiting for a paint %s\n", (long long)index, life.firstWaiting.c_str());
    if (life.hasFailed) {
        printf("FAIL %s at step %lld (%s): %s\n", life.failure.what.c_str(), (long long)life.steps.size(),
               StepText(life.steps.back()).c_str(), life.failure.detail.c_str());
        SaveStepsForShrinking();
        LeaveResult(life.failure.what.c_str(), life.failure.detail);
        return 1;
    }
    LeaveResult("pass", "");
    return 0;
}

int RunReplay(const std::vector<Step> &steps)
{
    static Life life;
    current = &life;
    InitialModel(&life.model);
    for (const Step &step : steps) {
        if (!RunStep(&life, step))
            break;
        // Steps after a shut-down or a closed window find the phase set
        // already; a list that starts mid-life starts the editor itself.
    }
    if (life.hasFailed) {
        printf("FAIL %s at step %lld (%s): %s\n", life.failure.what.c_str(), (long long)life.steps.size(),
               StepText(life.steps.back()).c_str(), life.failure.detail.c_str());
        LeaveResult(life.failure.what.c_str(), life.failure.detail);
        return 1;
    }
    printf("replay: %lld steps pass\n", (long long)steps.size());
    LeaveResult("pass", "");
    return 0;
}

struct ChildResult {
    std::string verdict;  // "pass", a check's name, "crash", "hang", or "lost"
    long long steps = 0, running = 0;
    std::string detail;
};

std::string TempPath(const char *stem)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    char path[MAX_PATH * 2];
    snprintf(path, sizeof path, "%srivo_storm_%lu_%s", folder, (unsigned long)GetCurrentProcessId(), stem);
    return path;
}

ChildResult RunChild(const std::string &arguments, bool quiet)
{
    std::string resultPath = TempPath("result.txt");
    DeleteFileA(resultPath.c_str());
    std::string command = "\"" + programPath + "\" " + arguments + " --result \"" + resultPath + "\" --plugin \"" +
                          PluginPathNarrow() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (quiet) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
        nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, NULL);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = nul;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    ChildResult result;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, quiet, 0, NULL, NULL, &startup, &process)) {
        result.verdict = "lost";
        result.detail = "cannot start " + programPath;
        return result;
    }
    WaitForSingleObject(process.hProcess, INFINITE);  // the child has its own watchdog
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    FILE *file = fopen(resultPath.c_str(), "r");
    if (file == NULL) {
        result.verdict = "lost";
        result.detail = "the run left no result";
        return result;
    }
    char verdict[64] = {}, detail[1024] = {};
    if (fscanf(file, "%63s %lld %lld\n", verdict, &result.steps, &result.running) == 3) {
        result.verdict = verdict;
        if (fgets(detail, sizeof detail, file) != NULL)
            result.detail = detail;
    } else {
        result.verdict = "lost";
    }
    fclose(file);
    DeleteFileA(resultPath.c_str());
    return result;
}

// Delta debugging: drop ever smaller chunks of the list while it still fails
// the same check, each candidate run in a process of its own.
std::vector<Step> Shrink(std::vector<Step> steps, const std::string &what)
{
    double deadline = Now() + options.shrinkSeconds;
    std::string candidatePath = TempPath("candidate.steps");
    int runs = 0;
    auto fails = [&](const std::vector<Step> &candidate) {
        WriteSteps(candidatePath.c_str(), candidate);
        runs++;
        ChildResult result = RunChild("--replay \"" + candidatePath + "\"", true);
        return result.verdict == what;
    };
    // First the shortest prefix that fails: the failing step is the last.
    size_t chunks = 2;
    while (steps.size() >= 2 && Now() < deadline) {
        size_t chunk = (steps.size() + chunks - 1) / chunks;
        bool dropped = false;
        for (size_t start = 0; start < steps.size() && Now() < deadline; start += chunk) {
            std::vector<Step> candidate(steps.begin(), steps.begin() + (ptrdiff_t)start);
            size_t end = start + chunk < steps.size() ? start + chunk : steps.size();
            candidate.insert(candidate.end(), steps.begin() + (ptrdiff_t)end, steps.end());
            if (!candidate.empty() && fails(candidate)) {
                steps = candidate;
                chunks = chunks > 2 ? chunks - 1 : 2;
                dropped = true;
                break;
            }
        }
        if (!dropped) {
            if (chunk == 1)
                break;
            chunks = chunks * 2 < steps.size() ? chunks * 2 : steps.size();
        }
    }
    DeleteFileA(candidatePath.c_str());
    printf("shrink: %d replays, %s\n", runs, Now() < deadline ? "done" : "out of time");
    return steps;
}

std::string ReportFailure(const ChildResult &result, const std::string &stepsPath, int64_t life)
{
    printf("FAIL %s in life %lld of seed %llu: %s", result.verdict.c_str(), (long long)life,
           (unsigned long long)options.seed, result.detail.c_str());
    if (result.detail.empty() || result.detail.back() != '\n')
        printf("\n");
    printf("reproduce: rivo_storm --seed %llu --life %lld --steps %lld\n", (unsigned long long)options.seed,
           (long long)life, result.running);
    std::vector<Step> steps;
    if (!ReadSteps(stepsPath.c_str(), &steps) || steps.empty()) {
        printf("(the failing life left no step list)\n");
        return "";
    }
    printf("the failing life ran %zu steps; cutting them down...\n", steps.size());
    fflush(stdout);
    std::vector<Step> shortest = Shrink(steps, result.verdict);
    // Beside the program, where the test run leaves it for whoever reads the log.
    char name[64];
    snprintf(name, sizeof name, "storm-failure-%llu.steps", (unsigned long long)options.seed);
    std::string path = programPath.substr(0, programPath.find_last_of("\\/") + 1) + name;
    WriteSteps(path.c_str(), shortest);
    printf("shortest failing sequence, %zu steps (written to %s; replay: rivo_storm --replay FILE):\n",
           shortest.size(), path.c_str());
    for (const Step &step : shortest)
        printf("  %s\n", StepText(step).c_str());
    return path;
}

int Supervise()
{
    printf("storm: seed %llu, up to %lld steps%s, lives of up to %lld steps\n", (unsigned long long)options.seed,
           (long long)options.steps, options.seconds > 0 ? (" or " + std::to_string((int)options.seconds) + " s").c_str() : "",
           (long long)options.lifeSteps);
    fflush(stdout);
    double start = Now();
    int64_t done = 0, total = 0;
    for (int64_t life = 0; done < options.steps; life++) {
        double left = options.seconds > 0 ? options.seconds - (Now() - start) : 0;
        if (options.seconds > 0 && left <= 0)
            break;
        int64_t steps = options.steps - done < options.lifeSteps ? options.steps - done : options.lifeSteps;
        std::string stepsPath = TempPath("life.steps");
        char arguments[256];
        snprintf(arguments, sizeof arguments, "--seed %llu --life %lld --steps %lld --seconds %.1f --crash-file \"%s\"",
                 (unsigned long long)options.seed, (long long)life, (long long)steps, left, stepsPath.c_str());
        fflush(stdout);
        ChildResult result = RunChild(arguments, false);
        done += result.running;
        total += result.steps;
        if (result.verdict != "pass") {
            ReportFailure(result, stepsPath, life);
            DeleteFileA(stepsPath.c_str());
            printf("storm: seed %llu FAILED after %lld steps (%lld running) in %.0f s\n",
                   (unsigned long long)options.seed, (long long)total, (long long)done, Now() - start);
            printf("0 passed, 1 failed\n");
            return 1;
        }
        if (result.running == 0)
            break;  // no time was left for a running step
    }
    printf("storm: seed %llu passed: %lld steps (%lld with the plug-in running) in %.0f s\n",
           (unsigned long long)options.seed, (long long)total, (long long)done, Now() - start);
    printf("1 passed, 0 failed\n");
    return 0;
}

bool ParseOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--seed" && hasValue) {
            options.seed = strtoull(argv[++i], NULL, 10);
            options.seedGiven = true;
        } else if (arg == "--steps" && hasValue) {
            options.steps = strtoll(argv[++i], NULL, 10);
        } else if (arg == "--life-steps" && hasValue) {
            options.lifeSteps = strtoll(argv[++i], NULL, 10);
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = atof(argv[++i]);
        } else if (arg == "--life" && hasValue) {
            options.life = strtoll(argv[++i], NULL, 10);
        } else if (arg == "--replay" && hasValue) {
            options.replay = argv[++i];
        } else if (arg == "--result" && hasValue) {
            options.result = argv[++i];
        } else if (arg == "--crash-file" && hasValue) {
            crashFile = argv[++i];
        } else if (arg == "--plugin" && hasValue) {
            options.plugin = argv[++i];
        } else if (arg == "--shrink-seconds" && hasValue) {
            options.shrinkSeconds = atof(argv[++i]);
        } else if (arg == "--hang-seconds" && hasValue) {
            options.hangSeconds = atof(argv[++i]);
        } else if (arg == "--tail" && hasValue) {
            options.tail = atoi(argv[++i]);
        } else if (arg.rfind("--", 0) != 0) {
            options.plugin = arg;
        } else {
            fprintf(stderr, "rivo_storm: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    char self[MAX_PATH * 2];
    GetModuleFileNameA(NULL, self, sizeof self);
    programPath = self;
    if (!ParseOptions(argc, argv))
        return 2;
    if (!options.seedGiven) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        options.seed = (uint64_t)counter.QuadPart ^ ((uint64_t)GetCurrentProcessId() << 32);
        options.seed %= 1000000000000ull;
    }
    if (options.life < 0 && options.replay.empty())
        return Supervise();

    // A life or a replay: the host, the plug-in and Lua in this process.
    SetUnhandledExceptionFilter(Crashed);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::string error;
    if (!SetUpHost(&error)) {
        printf("FAIL set-up: %s\n", error.c_str());
        LeaveResult("set-up", error);
        return 2;
    }
    watching = 1;
    CreateThread(NULL, 0, Watchdog, NULL, 0, NULL);
    if (!options.replay.empty()) {
        std::vector<Step> steps;
        if (!ReadSteps(options.replay.c_str(), &steps)) {
            printf("FAIL set-up: cannot read %s\n", options.replay.c_str());
            LeaveResult("set-up", "unreadable step list");
            return 2;
        }
        int code = RunReplay(steps);
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), (UINT)code);  // no shut-down beyond what the steps did
        return code;
    }
    double deadline = options.seconds > 0 ? Now() + options.seconds : 0;
    int code = RunLife(options.life, options.steps, deadline);
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), (UINT)code);
    return code;
}
