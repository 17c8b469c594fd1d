// The project block through the callbacks the host read from the
// descriptor: size query, save, load, and what a load leaves alone.
#include <string.h>

#include "support.h"

namespace {

TEST_F(PluginTest, SizeQueryAnswers8448AndTouchesNoGraph)
{
    LoadShownGraph(MakeGraph({{0, 10}, {300, 20}, {511, 30}}));
    GraphSet before = SaveBlock();
    int32_t size = -1;
    EXPECT_EQ(HostSaveProject(NULL, &size), 1);
    EXPECT_EQ(size, 8448);
    GraphSet after = SaveBlock();
    EXPECT_EQ(memcmp(&after, &before, sizeof after), 0);
}

TEST_F(PluginTest, SaveFillsTheBufferAndLeavesTheSizeAlone)
{
    std::vector<uint8_t> buffer(8448 + 64, 0xCD);
    int32_t size = 12345;
    EXPECT_EQ(HostSaveProject(buffer.data(), &size), 1);
    EXPECT_EQ(size, 12345);
    GraphSet expected = DefaultBlock();
    EXPECT_EQ(memcmp(buffer.data(), &expected, sizeof expected), 0);
    for (size_t i = 8448; i < buffer.size(); i++)
        ASSERT_EQ(buffer[i], 0xCD) << "written past the block at " << i;
}

TEST_F(PluginTest, SaveAndLoadReproduceTheSetByteForByte)
{
    // Edits through the editor leave stale slots behind: a deletion keeps
    // the old last slot, a reset keeps slots 2 and up.
    for (int x : {100, 200, 300, 400})
        Press(x, 128, true);
    Press(300, 128, true);  // delete
    SendKey(VK_RIGHT);
    for (int x : {50, 60, 70})
        Press(x, 20, true);
    SendKey(VK_DELETE);
    GraphSet saved = SaveBlock();
    EXPECT_EQ(saved.graphs[0].count, 5);
    EXPECT_EQ(saved.graphs[0].points[5].x, 511);  // stale
    EXPECT_EQ(saved.graphs[1].count, 2);
    EXPECT_EQ(saved.graphs[1].points[4].x, 511);  // stale

    LoadBlock(DefaultBlock());
    EXPECT_EQ(HostLoadProject(&saved, sizeof saved), 1);
    GraphSet again = SaveBlock();
    EXPECT_EQ(memcmp(&again, &saved, sizeof saved), 0);
}

TEST_F(PluginTest, PartialAndEmptyLoads)
{
    GraphSet other = DefaultBlock();
    for (int g = 0; g < 64; g++)
        other.graphs[g] = MakeGraph({{0, (int16_t)g}, {(int16_t)(g + 1), 7}, {511, (int16_t)(255 - g)}});
    const GraphSet defaults = DefaultBlock();

    const struct {
        const char *what;
        const void *data;
        int32_t size;
        int graphsReplaced;
    } loads[] = {
        {"no data", NULL, 8448, 0},
        {"size 0", &other, 0, 0},
        {"graph 0 only", &other, 132, 1},
        {"three graphs", &other, 3 * 132, 3},
        {"all", &other, 8448, 64},
    };
    for (const auto &load : loads) {
        SCOPED_TRACE(load.what);
        LoadBlock(defaults);
        EXPECT_EQ(HostLoadProject((void *)load.data, load.size), 1);
        GraphSet now = SaveBlock();
        size_t replaced = (size_t)load.graphsReplaced * sizeof(Graph);
        EXPECT_EQ(memcmp(&now, &other, replaced), 0);
        EXPECT_EQ(memcmp((const char *)&now + replaced, (const char *)&defaults + replaced,
                         sizeof now - replaced),
                  0);
    }
}

TEST_F(PluginTest, LoadLeavesGraphIndexTitleAndDragAndDoesNotRepaint)
{
    ShowGraph(3);
    LoadShownGraph(MakeGraph({{0, 255}, {100, 100}, {511, 0}}));
    Press(100, 100);  // drag index 1
    std::string title = TitleBytes();

    GraphSet other = DefaultBlock();
    other.graphs[2] = MakeGraph({{0, 50}, {40, 60}, {80, 70}, {511, 80}});
    int32_t renders = host.renderCount;
    EXPECT_EQ(HostLoadProject(&other, sizeof other), 1);
    EXPECT_FALSE(EditorNeedsPaint());
    EXPECT_EQ(host.renderCount, renders);
    EXPECT_EQ(TitleBytes(), title);

    // The drag goes on with index 1 of the loaded graph 3.
    Move(30, 90);
    other.graphs[2].points[1] = {30, 90};
    GraphSet now = SaveBlock();
    EXPECT_EQ(memcmp(&now, &other, sizeof now), 0);
    Release();

    // The next paint shows the loaded points: a frame on (80, 70).
    InvalidateRect(EditorWindow(), NULL, TRUE);
    Image image = CaptureEditor();
    EXPECT_EQ(image.At(76, 66), 0x404040u);
    EXPECT_EQ(image.At(83, 73), 0x404040u);
    EXPECT_EQ(image.At(78, 68), 0xFFFFFFu);
}

}  // namespace
