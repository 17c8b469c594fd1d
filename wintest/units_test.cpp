// Pieces checked on their own: the Shift-JIS texts in the source, FormatText
// and DrawGraph. They are compiled into this program from the plug-in's
// sources; the plug-in under test elsewhere is the loaded DLL.
#include <string.h>

#include "cp932_texts.h"
#include "editor.h"
#include "plugin.h"
#include "support.h"
#include "texts.h"

namespace {

std::string Bytes(const char *text, size_t size)
{
    return std::string(text, size);
}

TEST(Texts, AreTheCp932EncodingOfTheirReadableText)
{
    EXPECT_EQ(std::string(RIVO_TEXT_NAME), Bytes(kCp932_NAME, sizeof kCp932_NAME));
    EXPECT_EQ(std::string(RIVO_TEXT_INFORMATION), Bytes(kCp932_INFORMATION, sizeof kCp932_INFORMATION));
    EXPECT_EQ(std::string(RIVO_TEXT_TITLE_FORMAT), Bytes(kCp932_TITLE_FORMAT, sizeof kCp932_TITLE_FORMAT));
    EXPECT_EQ(std::string(RIVO_TEXT_INIT_FAILED), Bytes(kCp932_INIT_FAILED, sizeof kCp932_INIT_FAILED));
}

TEST(FormatText, CutsAt255BytesAndAlwaysTerminates)
{
    for (size_t length : {0u, 1u, 100u, 254u, 255u, 256u, 257u, 300u, 1000u}) {
        SCOPED_TRACE(testing::Message() << length << " bytes of output");
        std::string text(length, 'x');
        for (size_t i = 0; i < length; i++)
            text[i] = (char)('a' + i % 26);
        // 256 bytes are the function's; the guard after them must stay.
        char buffer[256 + 16];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(FormatText(buffer, "%s", text.c_str()), buffer);
        size_t kept = length < 255 ? length : 255;
        EXPECT_EQ(strlen(buffer), kept);
        EXPECT_EQ(memcmp(buffer, text.data(), kept), 0);
        for (size_t i = 256; i < sizeof buffer; i++)
            ASSERT_EQ(buffer[i], '#') << "written past 256 bytes at " << i;
    }
}

TEST(FormatText, FormatsTheTitle)
{
    char buffer[256];
    FormatText(buffer, RIVO_TEXT_TITLE_FORMAT, RIVO_TEXT_NAME, 1, 64);
    EXPECT_EQ(std::string(buffer), Bytes(kCp932_FIRST_TITLE, sizeof kCp932_FIRST_TITLE));
    FormatText(buffer, "%s%d", std::string(250, 'z').c_str(), 1234567);
    EXPECT_EQ(std::string(buffer), std::string(250, 'z') + "12345");
}

// DrawGraph into a 512 x 256 bitmap with the plug-in's pen and brush colour.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ oldBitmap;
    uint32_t *bits;
};

Canvas MakeCanvas()
{
    Canvas canvas;
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 512;
    info.bmiHeader.biHeight = -256;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    canvas.dc = CreateCompatibleDC(NULL);
    void *bits = NULL;
    canvas.bitmap = CreateDIBSection(canvas.dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    canvas.bits = (uint32_t *)bits;
    canvas.oldBitmap = SelectObject(canvas.dc, canvas.bitmap);
    RECT all = {0, 0, 512, 256};
    FillRect(canvas.dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    GdiFlush();
    return canvas;
}

void FreeCanvas(Canvas &canvas)
{
    SelectObject(canvas.dc, canvas.oldBitmap);
    DeleteObject(canvas.bitmap);
    DeleteDC(canvas.dc);
}

int InkPixels(const Canvas &canvas)
{
    int ink = 0;
    for (int i = 0; i < 512 * 256; i++)
        ink += (canvas.bits[i] & 0xFFFFFF) != 0xFFFFFF;
    return ink;
}

TEST(DrawGraph, DrawsNothingForACountOutside2To32AndRestoresTheContext)
{
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(64, 64, 64));
    HBRUSH brush = CreateSolidBrush(RGB(64, 64, 64));
    Graph graph = MakeGraph({{0, 255}, {100, 100}, {511, 0}});
    for (int i = 3; i < 32; i++)
        graph.points[i] = {(int16_t)(100 + i), 50};
    const struct {
        int32_t count;
        bool draws;
    } cases[] = {{-1, false}, {0, false}, {1, false}, {2, true}, {3, true}, {32, true}, {33, false},
                 {1000000, false}, {INT32_MIN, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count);
        Canvas canvas = MakeCanvas();
        HGDIOBJ penBefore = GetCurrentObject(canvas.dc, OBJ_PEN);
        HGDIOBJ brushBefore = GetCurrentObject(canvas.dc, OBJ_BRUSH);
        graph.count = c.count;
        DrawGraph(canvas.dc, &graph, pen, brush);
        GdiFlush();
        EXPECT_EQ(InkPixels(canvas) > 0, c.draws);
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), penBefore);
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), brushBefore);
        FreeCanvas(canvas);
    }
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace
