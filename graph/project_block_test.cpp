#include "graph.h"

#include <gtest/gtest.h>

#include <random>
#include <string.h>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes SetImage()
{
    Bytes image(sizeof graphSet);
    memcpy(image.data(), &graphSet, image.size());
    return image;
}

Bytes Save()
{
    Bytes block(kProjectBlockSize + 16, 0xEE);
    int32_t size = -7;
    EXPECT_EQ(ProjectSave(NULL, NULL, block.data(), &size), 1);
    EXPECT_EQ(size, -7) << "a save with a buffer leaves the size alone";
    for (size_t i = kProjectBlockSize; i < block.size(); i++)
        EXPECT_EQ(block[i], 0xEE) << "written past the block at " << i;
    block.resize(kProjectBlockSize);
    return block;
}

int32_t Int32At(const Bytes &b, size_t at)
{
    return (int32_t)((uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
                     (uint32_t)b[at + 3] << 24);
}

int16_t Int16At(const Bytes &b, size_t at) { return (int16_t)(b[at] | b[at + 1] << 8); }

void PutInt16(Bytes *b, size_t at, int32_t v)
{
    (*b)[at] = (unsigned char)v;
    (*b)[at + 1] = (unsigned char)(v >> 8);
}

void PutInt32(Bytes *b, size_t at, int32_t v)
{
    for (int k = 0; k < 4; k++)
        (*b)[at + k] = (unsigned char)((uint32_t)v >> (8 * k));
}

// A valid, shaped set with stale slots: graph g gets g % 7 interior points.
void ShapeAllGraphs(uint32_t seed)
{
    std::mt19937 random(seed);
    memset(&graphSet, 0, sizeof graphSet);
    MarkAllGraphsChanged();
    for (Graph &graph : graphSet.graphs) {
        for (GraphPoint &p : graph.points)
            p = {(int16_t)(random() % 512), (int16_t)(random() % 256)};
        ResetGraph(&graph);
        for (int32_t i = 0; i < (int32_t)(random() % 7); i++)
            InsertPoint(&graph, 1 + (int32_t)(random() % 510), (int32_t)(random() % 256));
    }
}

class ProjectBlock : public ::testing::Test {
protected:
    void SetUp() override { ResetAllGraphs(); }
};

TEST_F(ProjectBlock, SizeQueryAnswers8448AndTouchesNoGraph)
{
    ShapeAllGraphs(1);
    Bytes before = SetImage();
    int32_t size = 0;
    EXPECT_EQ(ProjectSave(NULL, NULL, NULL, &size), 1);
    EXPECT_EQ(size, 8448);
    EXPECT_EQ(SetImage(), before);
}

TEST_F(ProjectBlock, ADefaultSetSavesAsSixtyFourLittleEndianDiagonals)
{
    memset(&graphSet, 0, sizeof graphSet);  // as a fresh process has it
    MarkAllGraphsChanged();
    ResetAllGraphs();
    Bytes block = Save();
    for (size_t g = 0; g < 64; g++) {
        size_t at = 132 * g;
        EXPECT_EQ(Int16At(block, at + 0), 0);
        EXPECT_EQ(Int16At(block, at + 2), 255);
        EXPECT_EQ(Int16At(block, at + 4), 511);
        EXPECT_EQ(Int16At(block, at + 6), 0);
        for (size_t k = 8; k < 128; k++)
            ASSERT_EQ(block[at + k], 0) << "graph " << g << " byte " << k;
        EXPECT_EQ(Int32At(block, at + 128), 2);
    }
    EXPECT_EQ(block[2], 0xFF) << "y is little-endian";
    EXPECT_EQ(block[4], 0xFF);
    EXPECT_EQ(block[5], 0x01);
}

TEST_F(ProjectBlock, SaveThenLoadRestoresEveryByteStaleSlotsIncluded)
{
    ShapeAllGraphs(2);
    Bytes saved = Save();
    ResetAllGraphs();
    ASSERT_NE(SetImage(), saved);
    EXPECT_EQ(ProjectLoad(NULL, NULL, saved.data(), (int32_t)saved.size()), 1);
    EXPECT_EQ(SetImage(), saved);
}

TEST_F(ProjectBlock, APartialLoadReplacesExactlyTheCoveredBytes)
{
    ShapeAllGraphs(3);
    Bytes block = Save();
    for (int32_t size : {0, 1, 4, 100, 131, 132, 133, 4000, 8447}) {
        ShapeAllGraphs(4);
        Bytes expected = SetImage();
        memcpy(expected.data(), block.data(), (size_t)size);
        EXPECT_EQ(ProjectLoad(NULL, NULL, block.data(), size), 1);
        // Both sets are valid curves at every record boundary except a
        // record cut inside its points, where a mix of the two can break
        // the x order and be reset; compare the records wholly kept or
        // wholly replaced, and require the cut one to be valid.
        Bytes actual = SetImage();
        size_t cut = (size_t)size / 132;
        for (size_t g = 0; g < 64; g++) {
            size_t at = 132 * g;
            bool whole = g < cut || g > cut || size % 132 == 0;
            if (whole)
                EXPECT_TRUE(memcmp(actual.data() + at, expected.data() + at, 132) == 0)
                    << "size " << size << " graph " << g;
            else
                EXPECT_TRUE(IsValidGraph(&graphSet.graphs[g])) << "size " << size;
        }
    }
}

TEST_F(ProjectBlock, ACutRecordThatStaysACurveLoadsByteForByte)
{
    ShapeAllGraphs(5);
    Bytes block = Save();
    ResetAllGraphs();
    Bytes expected = SetImage();
    // 8 bytes: graph 0's first two slots. Graph 0 holds its default count of
    // 2, so the two loaded points must make a curve of their own.
    PutInt16(&block, 0, 0);
    PutInt16(&block, 2, 17);
    PutInt16(&block, 4, 511);
    PutInt16(&block, 6, 33);
    memcpy(expected.data(), block.data(), 8);
    ProjectLoad(NULL, NULL, block.data(), 8);
    EXPECT_EQ(SetImage(), expected);
}

TEST_F(ProjectBlock, NullDataOrNoBytesChangesNothing)
{
    ShapeAllGraphs(6);
    Bytes before = SetImage();
    Bytes block(8448, 0x55);
    for (int32_t size : {0, -1, -8448, INT32_MIN}) {
        EXPECT_EQ(ProjectLoad(NULL, NULL, block.data(), size), 1);
        EXPECT_EQ(SetImage(), before) << size;
    }
    EXPECT_EQ(ProjectLoad(NULL, NULL, NULL, 8448), 1);
    EXPECT_EQ(SetImage(), before);
}

TEST_F(ProjectBlock, ALongerBlockLoadsItsFirst8448BytesOnly)
{
    ShapeAllGraphs(7);
    Bytes block = Save();
    block.resize(9000, 0x77);
    ResetAllGraphs();
    // The guard bytes around the set are what a write past it would hit.
    EXPECT_EQ(ProjectLoad(NULL, NULL, block.data(), (int32_t)block.size()), 1);
    block.resize(8448);
    EXPECT_EQ(SetImage(), block);
    EXPECT_EQ(ProjectLoad(NULL, NULL, block.data(), INT32_MAX), 1);
}

TEST_F(ProjectBlock, HostileRecordsBecomeTheDiagonalAndTheirNeighboursStayAsLoaded)
{
    ShapeAllGraphs(8);
    Bytes good = Save();
    struct Case {
        const char *what;
        void (*spoil)(Bytes *record);
    } cases[] = {
        {"count -5", [](Bytes *r) { PutInt32(r, 128, -5); }},
        {"count 0", [](Bytes *r) { PutInt32(r, 128, 0); }},
        {"count 1", [](Bytes *r) { PutInt32(r, 128, 1); }},
        {"count 33", [](Bytes *r) { PutInt32(r, 128, 33); }},
        {"count 1000", [](Bytes *r) { PutInt32(r, 128, 1000); }},
        {"count INT_MIN", [](Bytes *r) { PutInt32(r, 128, INT32_MIN); }},
        {"first x not 0", [](Bytes *r) { PutInt16(r, 0, 3); }},
        {"last x not 511", [](Bytes *r) {
             PutInt32(r, 128, 2);
             PutInt16(r, 4, 510);
         }},
        {"x not increasing", [](Bytes *r) {
             PutInt32(r, 128, 4);
             PutInt16(r, 4, 300);
             PutInt16(r, 8, 200);
             PutInt16(r, 12, 511);
         }},
        {"y below 0", [](Bytes *r) { PutInt16(r, 2, -1); }},
        {"y above 255", [](Bytes *r) { PutInt16(r, 2, 256); }},
    };
    const size_t victim = 9;
    for (const Case &c : cases) {
        Bytes block = good;
        Bytes record(block.begin() + 132 * victim, block.begin() + 132 * (victim + 1));
        c.spoil(&record);
        std::copy(record.begin(), record.end(), block.begin() + 132 * victim);
        ResetAllGraphs();
        ProjectLoad(NULL, NULL, block.data(), (int32_t)block.size());

        Bytes expected = block;
        Graph fixed;
        memcpy(&fixed, record.data(), sizeof fixed);
        ResetGraph(&fixed);  // the loaded stale slots stay, as a reset keeps them
        memcpy(expected.data() + 132 * victim, &fixed, sizeof fixed);
        EXPECT_EQ(SetImage(), expected) << c.what;
    }
}

TEST_F(ProjectBlock, RecordsTheCopyDidNotReachKeepEvenAZeroCount)
{
    memset(&graphSet, 0, sizeof graphSet);  // never started: every count 0
    MarkAllGraphsChanged();
    Bytes block(8448, 0);
    EXPECT_EQ(ProjectLoad(NULL, NULL, block.data(), 140), 1);  // graphs 0 and 1
    EXPECT_TRUE(IsValidGraph(&graphSet.graphs[0]));
    EXPECT_TRUE(IsValidGraph(&graphSet.graphs[1]));
    for (int32_t g = 2; g < 64; g++)
        EXPECT_EQ(graphSet.graphs[g].count, 0) << g;
}

}  // namespace
