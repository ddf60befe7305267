#include <array>
#include <bit>

#include <gtest/gtest.h>

#include "raster/span_context.h"
#include "vertex_test_support.h"

namespace {

using Triangle = std::array<std::int64_t, 3>;

constexpr int kVertexCount = 70020;

// Vertex v sits at (v, -v, 0.5): the object-space position in a batch names the vertex, and the
// padded lanes at the origin differ from vertex 0 by z.
struct PositionStream {
    std::vector<float> xyz;
    PositionStream() : xyz(3 * kVertexCount) {
        for (int v = 0; v < kVertexCount; ++v) {
            xyz[3 * v] = static_cast<float>(v);
            xyz[3 * v + 1] = -static_cast<float>(v);
            xyz[3 * v + 2] = 0.5f;
        }
    }
};

const PositionStream& Positions() {
    static const PositionStream positions;
    return positions;
}

std::unique_ptr<RenderDevice> MakeDrawingDevice(std::uint32_t processorPath = 2) {
    auto device = MakeRecordingDevice();
    device->SetRenderState(RS_PROCESSORPATH, processorPath);
    device->SetRenderState(RS_LIGHTING, 0);
    device->SetVertexFormat(VF_XYZ);
    device->SetStreamSource(0, Positions().xyz.data(), VF_XYZ, 12);
    return device;
}

// Expects the recorded batches to hold exactly these triangles, four to a batch, with every lane
// after the last triangle at the origin.
void ExpectTriangles(const std::vector<Triangle>& expected) {
    const auto& seen = SeenBatches();
    ASSERT_EQ(seen.size(), (expected.size() + 3) / 4);
    for (std::size_t j = 0; j < seen.size() * 4; ++j) {
        const VertexBatch& batch = seen[j / 4].batch;
        const int lane = static_cast<int>(j % 4);
        for (int k = 0; k < 3; ++k) {
            const VertexSlot& c = batch.corner[k];
            if (j < expected.size()) {
                const float v = static_cast<float>(expected[j][k]);
                EXPECT_EQ(c.x.lane[lane], v) << "triangle " << j << " corner " << k;
                EXPECT_EQ(c.y.lane[lane], -v) << "triangle " << j << " corner " << k;
                EXPECT_EQ(c.z.lane[lane], 0.5f) << "triangle " << j << " corner " << k;
            } else {
                EXPECT_EQ(c.x.lane[lane], 0.0f) << "padding lane " << lane << " corner " << k;
                EXPECT_EQ(c.y.lane[lane], 0.0f) << "padding lane " << lane << " corner " << k;
                EXPECT_EQ(c.z.lane[lane], 0.0f) << "padding lane " << lane << " corner " << k;
            }
        }
    }
}

const std::uint16_t kIndices16[] = {5, 0xFFFF, 3, 0x8000, 1, 2, 7, 9};
const std::uint32_t kIndices32[] = {5, 70000, 3, 1, 2, 7};

struct AssemblyCase {
    const char* what;
    std::uint32_t type;
    std::uint32_t start;  // start vertex, or start index when indexed
    std::uint32_t count;
    PixelFormat indexFormat;  // UNKNOWN: DrawPrimitive
    std::int32_t baseVertex;
    std::vector<Triangle> triangles;
};

TEST(DrawEntryTest, PrimitivesAreAssembledFourTrianglesToABatch) {
    const AssemblyCase cases[] = {
        {"two-triangle strip", PT_TRIANGLESTRIP, 0, 2, UNKNOWN, 0, {{0, 1, 2}, {1, 3, 2}}},
        {"list of four", PT_TRIANGLELIST, 0, 4, UNKNOWN, 0, {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}}},
        {"list of five", PT_TRIANGLELIST, 0, 5, UNKNOWN, 0,
         {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}, {12, 13, 14}}},
        {"strip of five from vertex 3", PT_TRIANGLESTRIP, 3, 5, UNKNOWN, 0,
         {{3, 4, 5}, {4, 6, 5}, {5, 6, 7}, {6, 8, 7}, {7, 8, 9}}},
        {"fan from vertex 2", PT_TRIANGLEFAN, 2, 3, UNKNOWN, 0, {{2, 3, 4}, {2, 4, 5}, {2, 5, 6}}},
        {"one quad", PT_QUADLIST, 0, 1, UNKNOWN, 0, {{0, 1, 2}, {0, 2, 3}}},
        {"two quads from vertex 1", PT_QUADLIST, 1, 2, UNKNOWN, 0, {{1, 2, 3}, {1, 3, 4}, {5, 6, 7}, {5, 7, 8}}},
        {"quad strip of two", PT_QUADSTRIP, 0, 2, UNKNOWN, 0, {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}, {3, 5, 4}}},
        {"16-bit list, base 10", PT_TRIANGLELIST, 1, 2, INDEX16, 10, {{65545, 13, 32778}, {11, 12, 17}}},
        {"16-bit strip, base 10", PT_TRIANGLESTRIP, 0, 3, INDEX16, 10,
         {{15, 65545, 13}, {65545, 32778, 13}, {13, 32778, 11}}},
        {"32-bit fan, base -1", PT_TRIANGLEFAN, 1, 2, INDEX32, -1, {{69999, 2, 0}, {69999, 0, 1}}},
        {"32-bit quad, base 2", PT_QUADLIST, 2, 1, INDEX32, 2, {{5, 3, 4}, {5, 4, 9}}},
    };
    for (const AssemblyCase& t : cases) {
        SCOPED_TRACE(t.what);
        auto device = MakeDrawingDevice();
        if (t.indexFormat == UNKNOWN) {
            device->DrawPrimitive(t.type, t.start, t.count);
        } else {
            const void* data = t.indexFormat == INDEX16 ? static_cast<const void*>(kIndices16) : kIndices32;
            device->SetIndices(data, t.indexFormat, t.baseVertex);
            device->DrawIndexedPrimitive(t.type, 0, 0, t.start, t.count);
        }
        ExpectTriangles(t.triangles);
        EXPECT_EQ(device->GetStatistic(5), 4 * SeenBatches().size());
        EXPECT_EQ(device->GetStatistic(6), t.triangles.size());
        EXPECT_EQ(device->GetStatistic(8), 1u);
    }
}

TEST(DrawEntryTest, RefusedDrawsProcessNothingButAreCounted) {
    struct Refusal {
        const char* what;
        std::uint32_t type;
        std::uint32_t count;
        void (*setUp)(RenderDevice&);
    };
    const auto none = [](RenderDevice&) {};
    const Refusal refusals[] = {
        {"type 0", 0, 2, none},
        {"point list", PT_POINTLIST, 2, none},
        {"line list", PT_LINELIST, 2, none},
        {"line strip", PT_LINESTRIP, 2, none},
        {"type 7", 7, 2, none},
        {"type 8", 8, 2, none},
        {"type 9", 9, 2, none},
        {"type 12", 12, 2, none},
        {"type 0xFFFFFFFF", 0xFFFFFFFFu, 2, none},
        {"no primitives", PT_TRIANGLELIST, 0, none},
        {"unusable device format", PT_TRIANGLELIST, 2, [](RenderDevice& d) { d.SetVertexFormat(VF_UNUSABLE); }},
        {"unusable stream format", PT_TRIANGLELIST, 2,
         [](RenderDevice& d) { d.SetStreamSource(1, Positions().xyz.data(), VF_UNUSABLE, 12); }},
        {"only slot 1 bound", PT_TRIANGLELIST, 2,
         [](RenderDevice& d) {
             d.SetStreamSource(1, Positions().xyz.data(), VF_XYZ, 12);
             d.SetStreamSource(0, nullptr, VF_XYZ, 12);
         }},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        auto device = MakeDrawingDevice();
        r.setUp(*device);
        device->DrawPrimitive(r.type, 0, r.count);
        EXPECT_TRUE(SeenBatches().empty());
        EXPECT_EQ(device->GetStatistic(8), 1u);
        EXPECT_EQ(device->GetStatistic(5), 0u);
        EXPECT_EQ(device->GetStatistic(6), 0u);
    }

    // An index format with no index data to read.
    auto device = MakeDrawingDevice();
    device->SetIndices(nullptr, INDEX16, 0);
    device->DrawIndexedPrimitive(PT_TRIANGLELIST, 0, 3, 0, 1);
    EXPECT_TRUE(SeenBatches().empty());
    EXPECT_EQ(device->GetStatistic(8), 1u);
}

void AddSpanTotals(RenderDevice& device, VertexBatch& batch) {
    RecordBatch(device, batch);
    g_spanContext.pixelTotal += 3;
    g_spanContext.roundedPixelTotal += 4;
}

TEST(DrawEntryTest, CountersAddTheRasterizerTotalsBatchesTrianglesAndCalls) {
    auto device = MakeDrawingDevice();
    device->batchConsumer = AddSpanTotals;
    device->DrawPrimitive(PT_TRIANGLELIST, 0, 5);   // two batches
    device->DrawPrimitive(PT_QUADLIST, 0, 1);       // two triangles, one batch
    device->DrawPrimitive(PT_LINELIST, 0, 1);       // refused
    EXPECT_EQ(device->GetStatistic(1), 12u);
    EXPECT_EQ(device->GetStatistic(2), 9u);
    EXPECT_EQ(device->GetStatistic(5), 12u);
    EXPECT_EQ(device->GetStatistic(6), 7u);
    EXPECT_EQ(device->GetStatistic(8), 3u);
    for (std::uint32_t unchanged : {0u, 3u, 4u, 7u}) EXPECT_EQ(device->GetStatistic(unchanged), 0u);
}

TEST(DrawEntryTest, TheDrawsRoundingModeHoldsOnlyInsideTheDraw) {
    const std::uint32_t callerMxcsr = (_mm_getcsr() & ~_MM_ROUND_MASK) | _MM_ROUND_UP;
    struct PathCase {
        std::uint32_t processorPath;
        RoundingMode inside;
    } paths[] = {{2, RoundingMode::Down}, {0, RoundingMode::Nearest}};
    for (const PathCase& p : paths) {
        auto device = MakeDrawingDevice(p.processorPath);
        std::uint32_t afterDraw, afterRefusal;
        {
            const MxcsrGuard restoreAfterTest;
            _mm_setcsr(callerMxcsr);
            device->DrawPrimitive(PT_TRIANGLESTRIP, 0, 2);
            afterDraw = _mm_getcsr();
            device->DrawPrimitive(PT_POINTLIST, 0, 2);  // refused
            afterRefusal = _mm_getcsr();
        }
        EXPECT_EQ(afterDraw, callerMxcsr);
        EXPECT_EQ(afterRefusal, callerMxcsr);
        ASSERT_EQ(SeenBatches().size(), 1u);
        EXPECT_EQ(SeenBatches()[0].mode, p.inside);
        EXPECT_EQ(SeenBatches()[0].ssePath, p.processorPath == 2);
    }
}

TEST(DrawEntryTest, TweeningBlendsPositionsOnlyWhenVertexBlendIs255) {
    // Each vertex: position (v, 0, 1), tween position (v + 4, 8, 1).
    std::vector<float> data;
    for (int v = 0; v < 4; ++v) data.insert(data.end(), {float(v), 0, 1, float(v + 4), 8, 1});
    for (std::uint32_t vertexBlend : {0u, 255u}) {
        auto device = MakeDrawingDevice();
        device->SetStreamSource(0, data.data(), VF_XYZ, 24);
        device->SetStreamTweenFormat(0, VF_XYZ);
        device->SetRenderState(RS_VERTEXBLEND, vertexBlend);
        device->SetRenderState(RS_TWEENFACTOR, std::bit_cast<std::uint32_t>(0.25f));
        device->DrawPrimitive(PT_TRIANGLESTRIP, 0, 2);
        ASSERT_EQ(SeenBatches().size(), 1u);
        const VertexSlot& corner1 = SeenBatches()[0].batch.corner[1];  // vertices 1 and 3
        const bool tweening = vertexBlend == 255;
        EXPECT_EQ(corner1.x.lane[0], tweening ? 0.25f * 5 + 0.75f * 1 : 1.0f);
        EXPECT_EQ(corner1.x.lane[1], tweening ? 0.25f * 7 + 0.75f * 3 : 3.0f);
        EXPECT_EQ(corner1.y.lane[1], tweening ? 2.0f : 0.0f);
    }
}

TEST(DrawEntryTest, TwoStreamsFillOneBatchAndEachUsesItsOwnFormat) {
    std::vector<std::uint32_t> colors(8);
    for (int v = 0; v < 8; ++v) colors[v] = 0xFF000000u | static_cast<std::uint32_t>(v * 16);
    auto device = MakeDrawingDevice();
    device->SetVertexFormat(VF_XYZ | VF_NORMAL);  // describes neither stream once two are bound
    device->SetStreamSource(1, colors.data(), VF_DIFFUSE, 4);
    device->DrawPrimitive(PT_TRIANGLEFAN, 1, 2);
    ExpectTriangles({{1, 2, 3}, {1, 3, 4}});
    const VertexBatch& batch = SeenBatches()[0].batch;
    EXPECT_EQ(batch.corner[2].diffuse[CH_B].lane[1], 64.0f);
    EXPECT_EQ(batch.corner[0].diffuse[CH_A].lane[0], 255.0f);
    EXPECT_EQ(batch.corner[0].nx.lane[0], 0.0f);  // never fetched
}

// The same perspective draw on both paths: data that only moves (positions, colours, flat colours)
// agrees bit for bit; the transformed positions, computed under each path's rounding mode, agree
// within 8 units in the last place (each of the four roundings of a row may go the other way by an
// ulp of a partial sum larger than the result when the terms partly cancel).
TEST(DrawEntryTest, BothPathsHandOverTheSameBatchesUpToRounding) {
    struct Vertex {
        float x, y, z;
        std::uint32_t color;
    };
    std::vector<Vertex> vertices;
    for (int v = 0; v < 9; ++v)
        vertices.push_back({0.37f * v - 1.1f, 0.21f * v * v - 0.9f, 2.3f + 0.13f * v, 0x80402010u * (v + 1)});
    Matrix4 projection{{{1.4f, 0, 0, 0}, {0, 1.9f, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -0.101f, 0}}};
    std::vector<SeenBatch> byPath[2];
    for (int sse = 0; sse < 2; ++sse) {
        auto device = MakeDrawingDevice(sse ? 2 : 0);
        device->SetVertexFormat(VF_XYZ | VF_DIFFUSE);
        device->SetStreamSource(0, vertices.data(), VF_XYZ | VF_DIFFUSE, sizeof(Vertex));
        device->SetRenderState(RS_SHADEMODE, SHADE_FLAT);
        device->SetTransform(TS_PROJECTION, projection);
        device->viewport = Viewport{0, 0, 320, 240, 320, 240, 0, 1, kFarBound, 1, 160, 120, 1, kDirty};
        device->DrawPrimitive(PT_TRIANGLESTRIP, 0, 7);
        byPath[sse] = SeenBatches();
    }
    ASSERT_EQ(byPath[0].size(), 2u);
    ASSERT_EQ(byPath[1].size(), 2u);
    for (int b = 0; b < 2; ++b) {
        const SeenBatch& scalar = byPath[0][b];
        const SeenBatch& sse = byPath[1][b];
        EXPECT_FALSE(scalar.ssePath);
        EXPECT_TRUE(sse.ssePath);
        for (int l = 0; l < kBatchLanes; ++l) EXPECT_EQ(scalar.flatColors[l], sse.flatColors[l]);
        for (int k = 0; k < 3; ++k) {
            const VertexSlot& a = scalar.batch.corner[k];
            const VertexSlot& c = sse.batch.corner[k];
            const Lanes* moved[][2] = {{&a.x, &c.x}, {&a.y, &c.y}, {&a.z, &c.z}, {&a.diffuse[0], &c.diffuse[0]},
                                       {&a.diffuse[1], &c.diffuse[1]}, {&a.diffuse[2], &c.diffuse[2]},
                                       {&a.diffuse[3], &c.diffuse[3]}};
            const Lanes* computed[][2] = {{&a.X, &c.X}, {&a.Y, &c.Y}, {&a.Z, &c.Z}, {&a.W, &c.W}};
            for (int l = 0; l < kBatchLanes; ++l) {
                for (auto& m : moved) EXPECT_EQ(Bits(m[0]->lane[l]), Bits(m[1]->lane[l])) << "batch " << b;
                for (auto& m : computed) EXPECT_LE(UlpDistance(m[0]->lane[l], m[1]->lane[l]), 8) << "batch " << b;
            }
        }
    }
    // Flat colours come from corner 0 before lighting: vertex 4 starts triangle 4 (batch 1, lane 0).
    EXPECT_EQ(byPath[1][1].flatColors[0], 0x80402010u * 5);
}

// The whole chain with the rasterizer as consumer: a strip over the whole viewport fills every pixel
// of the target on both paths, and counter 2 adds the pixels of each draw.
TEST(DrawEntryTest, AStripOverTheViewportFillsTheTargetOnBothPaths) {
    constexpr int kSide = 64;
    struct Vertex {
        float x, y, z;
        std::uint32_t color;
    } quad[4] = {{-1, 1, 0.5f, 0xFF20A040u}, {1, 1, 0.5f, 0xFF20A040u}, {-1, -1, 0.5f, 0xFF20A040u},
                 {1, -1, 0.5f, 0xFF20A040u}};
    std::vector<std::uint32_t> pixels(kSide * kSide);
    auto device = MakeDevice();
    device->SetRenderTarget(pixels.data(), kSide, kSide, A8R8G8B8, kSide * 4);
    device->SetVertexFormat(VF_XYZ | VF_DIFFUSE);
    device->SetStreamSource(0, quad, VF_XYZ | VF_DIFFUSE, sizeof(Vertex));
    device->SetRenderState(RS_LIGHTING, 0);
    device->SetTextureStageState(0, TSS_COLOROP, TOP_SELECTARG1);
    device->SetTextureStageState(0, TSS_COLORARG1, TA_DIFFUSE);
    std::uint64_t expectedPixels = 0;
    for (std::uint32_t path : {2u, 0u}) {
        SCOPED_TRACE(path);
        std::fill(pixels.begin(), pixels.end(), 0u);
        device->ClearDepth(1.0f);
        device->SetRenderState(RS_PROCESSORPATH, path);
        device->DrawPrimitive(PT_TRIANGLESTRIP, 0, 2);
        int filled = 0;
        for (std::uint32_t p : pixels) filled += p == 0xFF20A040u;
        EXPECT_EQ(filled, kSide * kSide);
        expectedPixels += kSide * kSide;
        EXPECT_EQ(device->GetStatistic(2), expectedPixels);
    }
}

}  // namespace
