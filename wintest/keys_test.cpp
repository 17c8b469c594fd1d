// Keys and menu commands of the plug-in window, forwarded by the host to the
// window-message callback: what each answers and what it does.
#include <string.h>

#include "cp932_texts.h"
#include "support.h"

namespace {

const Graph kShaped = MakeGraph({{0, 200}, {100, 50}, {300, 220}, {511, 10}});

std::string TitleFor(int number)
{
    return std::string(kCp932_NAME, sizeof kCp932_NAME) + " [" + std::to_string(number) + "/64]";
}

struct Case {
    const char *what;
    UINT message;
    WPARAM wParam;
    int startGraph;
    int answer;
    int graphAfter;
    bool rewritesTitle;
    bool resetsGraph;
};

const Case kCases[] = {
    {"left arrow", WM_KEYDOWN, VK_LEFT, 2, 0, 1, true, false},
    {"left arrow on graph 1 stays", WM_KEYDOWN, VK_LEFT, 1, 0, 1, true, false},
    {"right arrow", WM_KEYDOWN, VK_RIGHT, 1, 0, 2, true, false},
    {"right arrow on graph 64 stays", WM_KEYDOWN, VK_RIGHT, 64, 0, 64, true, false},
    {"delete", WM_KEYDOWN, VK_DELETE, 5, 1, 5, false, true},
    {"up arrow", WM_KEYDOWN, VK_UP, 5, 0, 5, false, false},
    {"letter A", WM_KEYDOWN, 'A', 5, 0, 5, false, false},
    {"backspace", WM_KEYDOWN, VK_BACK, 5, 0, 5, false, false},
    // The key code is the whole wParam.
    {"left arrow code in a wider value", WM_KEYDOWN, 0x10000 | VK_LEFT, 5, 0, 5, false, false},
    {"menu: previous graph", WM_COMMAND, 40007, 3, 0, 2, true, false},
    {"menu: previous graph on graph 1", WM_COMMAND, 40007, 1, 0, 1, true, false},
    {"menu: next graph", WM_COMMAND, 40008, 63, 0, 64, true, false},
    {"menu: next graph on graph 64", WM_COMMAND, 40008, 64, 0, 64, true, false},
    {"menu: reset graph", WM_COMMAND, 40009, 7, 1, 7, false, true},
    {"menu: move a point (help only)", WM_COMMAND, 40005, 7, 0, 7, false, false},
    {"menu: add or delete (help only)", WM_COMMAND, 40004, 7, 0, 7, false, false},
    {"redraw request", WM_COMMAND, 1234, 7, 1, 7, false, false},
    {"unknown command", WM_COMMAND, 40006, 7, 0, 7, false, false},
    {"command 0", WM_COMMAND, 0, 7, 0, 7, false, false},
    // Commands use the low 16 bits: 1 above them is an accelerator's.
    {"next graph from an accelerator", WM_COMMAND, MAKEWPARAM(40008, 1), 9, 0, 10, true, false},
    {"reset from an accelerator", WM_COMMAND, MAKEWPARAM(40009, 1), 9, 1, 9, false, true},
    {"redraw request with a high word", WM_COMMAND, MAKEWPARAM(1234, 1), 9, 1, 9, false, false},
};

// How a key can arrive: held down (repeat bits), with modifiers held.
struct Variant {
    const char *what;
    LPARAM lParam;
    BYTE heldKeys[3];
};

const Variant kKeyVariants[] = {
    {"plain", 0x00000001, {0, 0, 0}},
    {"repeated", 0x40000005, {0, 0, 0}},
    {"with ctrl", 0x00000001, {VK_CONTROL, VK_LCONTROL, 0}},
    {"with shift and alt", 0x20000001, {VK_SHIFT, VK_MENU, VK_LSHIFT}},
};
const Variant kCommandVariants[] = {
    {"from the menu", 0, {0, 0, 0}},
    {"with ctrl held", 0, {VK_CONTROL, VK_LCONTROL, 0}},
};

void HoldKeys(const BYTE *keys)
{
    BYTE state[256] = {};
    for (int i = 0; i < 3; i++)
        if (keys[i] != 0)
            state[keys[i]] = 0x80;
    SetKeyboardState(state);
}

class KeysTest : public PluginTest {
protected:
    void TearDown() override
    {
        BYTE none[3] = {};
        HoldKeys(none);
    }
};

TEST_F(KeysTest, EachKeyAndCommandAnswersAndActsAsTheTableSays)
{
    for (const Case &c : kCases) {
        bool isKey = c.message == WM_KEYDOWN;
        const Variant *variants = isKey ? kKeyVariants : kCommandVariants;
        size_t variantCount = isKey ? sizeof kKeyVariants / sizeof kKeyVariants[0]
                                    : sizeof kCommandVariants / sizeof kCommandVariants[0];
        for (size_t v = 0; v < variantCount; v++) {
            SCOPED_TRACE(testing::Message() << c.what << ", " << variants[v].what);
            ShowGraph(c.startGraph);
            ASSERT_EQ(CurrentGraphNumber(), c.startGraph);
            LoadShownGraph(kShaped);
            GraphSet before = SaveBlock();
            SetWindowTextA(host.pluginWindow, "untitled");  // shows whether the title is rewritten
            ASSERT_FALSE(EditorNeedsPaint());
            int32_t renders = host.renderCount;
            int32_t forwards = host.forwardCount;

            HoldKeys(variants[v].heldKeys);
            SendMessageW(host.pluginWindow, c.message, c.wParam, variants[v].lParam);
            BYTE none[3] = {};
            HoldKeys(none);

            EXPECT_EQ(host.forwardCount, forwards + 1);
            EXPECT_EQ(host.lastAnswer, c.answer);
            // A 1 makes the host render the frame again at once.
            EXPECT_EQ(host.renderCount, renders + c.answer);
            EXPECT_EQ(TitleBytes(), c.rewritesTitle ? TitleFor(c.graphAfter) : std::string("untitled"));

            // Stepping (even where it stops) and resetting repaint the whole
            // editor; the paint asks for one more render.
            bool repaints = c.rewritesTitle || c.resetsGraph;
            EXPECT_EQ(EditorNeedsPaint(), repaints);
            if (repaints) {
                RECT rect = EditorUpdateRect();
                EXPECT_EQ(rect.left, 0);
                EXPECT_EQ(rect.top, 0);
                EXPECT_EQ(rect.right, 512);
                EXPECT_EQ(rect.bottom, 256);
            }
            PaintNow();
            EXPECT_EQ(host.renderCount, renders + c.answer + (repaints ? 1 : 0));

            // Only a reset changes the graphs: the shown one becomes the
            // diagonal, its slots beyond the new count keep their points.
            GraphSet expected = before;
            if (c.resetsGraph) {
                Graph &graph = expected.graphs[c.startGraph - 1];
                graph.points[0] = {0, 255};
                graph.points[1] = {511, 0};
                graph.count = 2;
            }
            GraphSet after = SaveBlock();
            EXPECT_EQ(memcmp(&after, &expected, sizeof after), 0);

            // Reveal the current graph through the next step.
            SendKey(VK_RIGHT);
            EXPECT_EQ(CurrentGraphNumber(), c.graphAfter < 64 ? c.graphAfter + 1 : 64);
        }
    }
}

TEST_F(KeysTest, OtherMessagesAnswerZeroAndDoNothing)
{
    // The host forwards only keys and commands; called directly, the
    // callback ignores everything else, the Delete key's release included.
    const struct {
        const char *what;
        UINT message;
        WPARAM wParam;
    } messages[] = {
        {"key up delete", WM_KEYUP, VK_DELETE},
        {"system key delete", WM_SYSKEYDOWN, VK_DELETE},
        {"character", WM_CHAR, 'a'},
        {"system command", WM_SYSCOMMAND, 40009},
        {"mouse press", WM_LBUTTONDOWN, MK_LBUTTON},
        {"paint", WM_PAINT, 0},
        {"timer", WM_TIMER, 1234},
    };
    LoadShownGraph(kShaped);
    GraphSet before = SaveBlock();
    SetWindowTextA(host.pluginWindow, "untitled");
    for (const auto &m : messages) {
        SCOPED_TRACE(m.what);
        int answer = host.record.windowProc(host.pluginWindow, m.message, m.wParam, 0, NULL, &host.record);
        EXPECT_EQ(answer, 0);
        EXPECT_FALSE(EditorNeedsPaint());
        EXPECT_EQ(TitleBytes(), "untitled");
    }
    GraphSet after = SaveBlock();
    EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);
}

TEST_F(KeysTest, ArrowsWalkAllGraphsWithoutWrapping)
{
    for (int number = 1; number < 64; number++)
        SendKey(VK_RIGHT);
    EXPECT_EQ(CurrentGraphNumber(), 64);
    for (int extra = 0; extra < 3; extra++)
        SendKey(VK_RIGHT);
    EXPECT_EQ(CurrentGraphNumber(), 64);
    for (int number = 64; number > 1; number--)
        SendKey(VK_LEFT);
    EXPECT_EQ(CurrentGraphNumber(), 1);
    SendKey(VK_LEFT);
    EXPECT_EQ(TitleBytes(), TitleFor(1));
}

}  // namespace
