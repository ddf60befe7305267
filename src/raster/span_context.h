#pragma once
// The rasterizer's one process-wide record. The draw preparation fills its per-draw values and
// routine choices, scan conversion its span extent and interpolants, and the span routines (which
// take no arguments) read it and walk its per-pixel arrays. One draw uses it at a time, on the
// drawing thread; nothing is locked.

#include <cstdint>

#include "image/pixel_format.h"
#include "render/vertex_batch.h"

constexpr int kSpanArrayLength = 4096;  // a multiple of 16, so groups of 4 and 16 stay inside
constexpr int kTextureStages = 4;

// A span routine: no arguments, everything in the SpanContext.
using SpanRoutine = void (*)();

// A colour or depth buffer as the device describes it.
struct BufferDesc {
    std::uint32_t width;
    std::uint32_t height;
    PixelFormat format;
    std::int32_t pitch;  // bytes from one row to the next
    std::uint8_t* bits;  // first pixel of row 0
};

// How one texture stage addresses its level-0 texels. W and H are the largest powers of two not
// above the level's size, so wrapping and addressing are AND and OR. Every value is kept four times,
// one per pixel of a four-pixel group.
struct alignas(16) StageSampling {
    float width[4];               // W
    float height[4];              // H
    std::int32_t columnMask[4];   // W - 1
    std::int32_t rowMask[4];      // (H - 1) x W
    std::int32_t one[4];          // 1
    std::int32_t rowLength[4];    // W
    std::int32_t zero[4];
    std::int32_t log2Width[4];    // log2 W, then three zeros
    const Color32* pixels;        // level 0
};

struct alignas(16) SpanContext {
    // Per-pixel arrays; entry k is pixel spanStart + k of the current span.
    alignas(16) float wArray[kSpanArrayLength];
    alignas(16) float fogArray[kSpanArrayLength];
    alignas(16) Color32 diffuseArray[kSpanArrayLength];
    alignas(16) Color32 specularArray[kSpanArrayLength];
    alignas(16) Color32 texelArray[kSpanArrayLength];
    alignas(16) Color32 currentArray[kSpanArrayLength];
    alignas(16) Color32 constantArray[kSpanArrayLength];  // all 0xFFFFFFFF

    // Span extent and rows.
    std::int32_t spanStart;   // first pixel x, inclusive
    std::int32_t spanEnd;     // end x, exclusive
    std::int32_t spanLength;  // 1 to 4096 inside DrawSpan
    std::int32_t spanTrim;    // pixels removed from the left by the depth trim, a multiple of 4
    std::int32_t scanY;
    std::uint8_t* colorRow;
    std::uint8_t* depthRow;
    std::int32_t colorPitch;
    std::int32_t depthPitch;
    std::int32_t colorBytesPerPixel;
    std::int32_t depthBytesPerPixel;
    std::uint8_t* colorEnd;  // colorRow + spanEnd x colorBytesPerPixel
    std::uint8_t* depthEnd;  // depthRow + spanEnd x depthBytesPerPixel

    // End pointers: array + spanLength entries; routines run an index from spanStart - spanEnd up
    // to 0.
    float* wEnd;
    float* fogEnd;
    Color32* diffuseEnd;
    Color32* texelEnd;
    Color32* currentEnd;
    Color32* firstArgEnd;
    Color32* secondArgEnd;

    // Interpolants: start values at pixels spanStart + 0..3, steps over four pixels.
    alignas(16) float rhwStart[4];
    alignas(16) float rhwStep4[4];
    alignas(16) float diffuseStart[4][4];  // [A, R, G, B][pixel], channel x rhw
    alignas(16) float diffuseStep4[4][4];
    alignas(16) float texStart[kTextureStages][2][4];  // [stage][u, v][pixel], texels x rhw
    alignas(16) float texStep4[kTextureStages][2][4];
    alignas(16) Color32 flatColor[4];

    // Per-draw values, written by the draw preparation.
    std::uint32_t zEnable;
    std::uint32_t zWriteEnable;
    std::uint32_t depthTrimEnable;
    std::uint32_t shadeMode;
    std::uint32_t colorVertex;
    std::uint32_t fogEnable;
    std::uint32_t alphaBlendEnable;
    std::uint32_t alphaTestEnable;
    std::uint32_t alphaRef;
    SpanRoutine alphaFunc;
    std::uint16_t fogColor[4];  // B, G, R, A, each 0-255
    std::uint32_t interpolateNormal;
    std::uint32_t interpolateDiffuse;
    std::uint32_t interpolateSpecular;
    std::uint32_t interpolateTex[kTextureStages];
    alignas(16) float fogScale[4];
    alignas(16) float minZReciprocal[4];
    float minZ;
    float maxZ;
    VertexFormat vertexFormat;
    std::uint32_t ssePath;  // all-ones when the draw runs on the SSE path
    SpanRoutine stageFetch[kTextureStages];
    SpanRoutine stageOp[kTextureStages];  // none ends the stage chain
    Color32* stageArg1Base[kTextureStages];
    Color32* stageArg2Base[kTextureStages];
    SpanRoutine pixelWriter;
    std::int32_t clipLeft;
    std::int32_t clipTop;
    std::int32_t clipRight;
    std::int32_t clipBottom;
    StageSampling sampling[kTextureStages];
    BufferDesc target;
    BufferDesc depth;
    const void* compiledFor;  // the device whose state the per-draw values hold

    // Per-draw statistics, zeroed by CompileRasterState.
    std::uint32_t spanCount;
    std::uint32_t pixelTotal;
    std::uint32_t roundedPixelTotal;
    std::uint32_t otherTotal;
};

extern SpanContext g_spanContext;
