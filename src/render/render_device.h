#pragma once
// RenderDevice: the one object through which a caller drives Ferrox's software renderer, in the
// manner of a Direct3D 8 device. Render states, texture stage states, transform numbers, primitive
// types and comparison values carry Direct3D 8's numbers. Setting state only stores the value and
// raises a dirty marker (an all-ones word); derived data is rebuilt at the next draw.
//
// Numbers from a caller (state, stage, level, light, stream, counter, transform) that fall outside
// the device's tables are ignored, and getters return 0 for them.

#include <cstdint>

#include "image/pixel_format.h"
#include "raster/span_context.h"
#include "render/math.h"
#include "render/vertex_batch.h"

class Texture;
struct Image;

constexpr int kRenderStateCount = 174;  // D3DRS_NORMALORDER + 1
constexpr int kStageStateCount = 41;
constexpr int kStageLevelCount = 8;
constexpr int kWorldMatrixCount = 256;
constexpr int kLightCount = 8;
constexpr int kStreamCount = 16;
constexpr int kStatisticCount = 9;
constexpr int kMaterialWords = 17;  // 68 bytes, a Direct3D 8 material
constexpr std::uint32_t kDirty = 0xFFFFFFFFu;
constexpr float kFarBound = 1e38f;

// Render-state numbers that Ferrox reads (Direct3D 8 numbering; 171-173 are Ferrox's own).
enum RenderStateNumber : std::uint32_t {
    RS_ZENABLE = 7,
    RS_FILLMODE = 8,
    RS_SHADEMODE = 9,
    RS_ZWRITEENABLE = 14,
    RS_ALPHATESTENABLE = 15,
    RS_CULLMODE = 22,
    RS_ZFUNC = 23,
    RS_ALPHAREF = 24,
    RS_ALPHAFUNC = 25,
    RS_ALPHABLENDENABLE = 27,
    RS_FOGENABLE = 28,
    RS_SPECULARENABLE = 29,
    RS_FOGCOLOR = 34,
    RS_TEXTUREFACTOR = 60,
    RS_CLIPPING = 136,
    RS_LIGHTING = 137,
    RS_AMBIENT = 139,
    RS_COLORVERTEX = 141,
    RS_NORMALIZENORMALS = 143,
    RS_VERTEXBLEND = 151,
    RS_TWEENFACTOR = 170,    // a float stored as its bits
    RS_PROCESSORPATH = 171,  // 0 plain, 1 MMX allowed, 2 SSE allowed
    RS_DEPTHTRIM = 172,      // span depth trim switch
    RS_EDGEOVERLAY = 173,    // white triangle edges over the fill
};

// Texture-stage-state numbers (Direct3D 8 D3DTSS_*; 36-40 are Ferrox's texel-centre offsets).
enum StageStateNumber : std::uint32_t {
    TSS_COLOROP = 1,
    TSS_COLORARG1 = 2,
    TSS_COLORARG2 = 3,
    TSS_ALPHAOP = 4,
    TSS_ALPHAARG1 = 5,
    TSS_ALPHAARG2 = 6,
    TSS_ADDRESSU = 13,
    TSS_ADDRESSV = 14,
    TSS_MAGFILTER = 16,
    TSS_MINFILTER = 17,
    TSS_MIPFILTER = 18,
    TSS_MIPMAPLODBIAS = 19,
    TSS_MAXMIPLEVEL = 20,
    TSS_TEXTURETRANSFORMFLAGS = 24,
    TSS_TEXELOFFSET = 36,  // 36-40, a float stored as its bits
};

enum TransformNumber : std::uint32_t {
    TS_VIEW = 2,
    TS_PROJECTION = 3,
    TS_TEXTURE0 = 16,  // 16-19
    TS_WORLD0 = 256,   // 256-511; any number with bit 0x100 selects world (number AND 255)
};

enum PrimitiveType : std::uint32_t {
    PT_POINTLIST = 1,
    PT_LINELIST = 2,
    PT_LINESTRIP = 3,
    PT_TRIANGLELIST = 4,
    PT_TRIANGLESTRIP = 5,
    PT_TRIANGLEFAN = 6,
    PT_QUADLIST = 10,
    PT_QUADSTRIP = 11,
};

enum CullMode : std::uint32_t { CULL_NONE = 1, CULL_CW = 2, CULL_CCW = 3 };
enum FillMode : std::uint32_t { FILL_POINT = 1, FILL_WIREFRAME = 2, FILL_SOLID = 3 };
enum ShadeMode : std::uint32_t { SHADE_FLAT = 1, SHADE_GOURAUD = 2, SHADE_PHONG = 3 };
enum TextureArgument : std::uint32_t { TA_DIFFUSE = 0, TA_CURRENT = 1, TA_TEXTURE = 2, TA_TFACTOR = 3, TA_SPECULAR = 4 };
enum TextureFilter : std::uint32_t { TEXF_NONE = 0, TEXF_POINT = 1, TEXF_LINEAR = 2 };
enum TextureTransformFlags : std::uint32_t { TTFF_DISABLE = 0, TTFF_COUNT1 = 1, TTFF_COUNT2 = 2 };
enum ColorOperation : std::uint32_t {
    TOP_DISABLE = 1,
    TOP_SELECTARG1 = 2,
    TOP_SELECTARG2 = 3,
    TOP_MODULATE = 4,
    TOP_MODULATE2X = 5,
    TOP_MODULATE4X = 6,
    TOP_ADD = 7,
    TOP_ADDSIGNED = 8,
    TOP_ADDSIGNED2X = 9,
    TOP_SUBTRACT = 10,
    TOP_ADDSMOOTH = 11,
    TOP_BLENDDIFFUSEALPHA = 12,
    TOP_BLENDTEXTUREALPHA = 13,
};

// One bound level of a stage's texture, copied from its Image.
struct TextureLevel {
    std::uint32_t width;
    std::uint32_t height;
    PixelFormat format;
    std::int32_t pitch;
    std::uint8_t* pixels;
    float widthF;
    float heightF;
};

struct TextureStage {
    TextureLevel levels[kStageLevelCount];
    std::uint32_t states[kStageStateCount];
    std::uint32_t dirty;
};

// A matrix with each of its 16 entries held four times (entry by entry, row by row), for the
// four-lane SSE kernels.
struct alignas(16) LaneMatrix {
    Lanes m[4][4];
};

struct Viewport {
    float left;    // X
    float top;     // Y
    float right;   // X + W
    float bottom;  // Y + H
    float width;
    float height;
    float minZ;
    float maxZ;
    float farBound;  // always 1e38
    float depthRange;
    float halfWidth;
    float halfHeight;
    float depthRange2;
    std::uint32_t changed;
};

// Reciprocals of the depth limits, four times over, in the precision of the draw's path (the SSE
// path's approximate reciprocal), with results too small for a normal float made zero on both paths;
// farReciprocal (zero: 1 / 1e38 is that small) becomes the span context's fogScale. The clippers
// test against the Viewport block itself.
struct alignas(16) LaneClipBounds {
    Lanes minZReciprocal, farReciprocal;
};

// One directional light. Colour blocks are A, R, G, B.
struct Light {
    float diffuse[4];   // block 1
    float specular[4];  // block 2: stored, not used in lighting
    float ambient[4];   // block 3: added to the diffuse term
    float position[3];  // stored, not used in lighting
    float direction[3]; // normalised when set
    std::uint32_t parameter;
    std::uint32_t dirty;
};

struct alignas(16) LaneLight {
    Lanes diffuse[4];
    Lanes specular[4];
    Lanes ambient[4];
    Lanes position[3];
    Lanes direction[3];
};

struct StreamSource {
    const std::uint8_t* data;
    VertexFormat format;
    VertexFormat tweenFormat;
    std::uint32_t stride;  // bytes
};

struct IndexBinding {
    const std::uint8_t* data;
    PixelFormat format;  // INDEX16 or INDEX32; anything else counts vertices directly
    std::int32_t baseVertex;
};

class RenderDevice;
// Where ProcessBatch hands each transformed batch: the rasterizer's clipping entry unless a caller
// (a test observing batches, for one) installs another.
using BatchConsumer = void (*)(RenderDevice& device, VertexBatch& batch);

class alignas(16) RenderDevice {
public:
    RenderDevice();
    explicit RenderDevice(std::uint32_t tag);
    virtual ~RenderDevice();
    RenderDevice(const RenderDevice&) = delete;
    RenderDevice& operator=(const RenderDevice&) = delete;

    void ResetState();

    // State.
    void SetRenderState(std::uint32_t number, std::uint32_t value);
    std::uint32_t GetRenderState(std::uint32_t number) const;
    void SetTextureStageState(std::uint32_t stage, std::uint32_t number, std::uint32_t value);
    std::uint32_t GetTextureStageState(std::uint32_t stage, std::uint32_t number) const;
    void SetTexture(std::uint32_t stage, const Texture* texture);
    void SetTextureLevel(std::uint32_t stage, std::uint32_t level, const Image* image);
    void ClearTextureStage(std::uint32_t stage);
    void SetTransform(std::uint32_t number, const Matrix4& matrix);
    void GetTransform(std::uint32_t number, Matrix4* matrix) const;
    void MultiplyTransform(std::uint32_t number, const Matrix4& matrix);
    void ResetTransforms();
    void SetViewport(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height, float minZ,
                     float maxZ);
    void SetLightDiffuse(std::uint32_t index, float a, float r, float g, float b);
    void SetLightSpecular(std::uint32_t index, float a, float r, float g, float b);
    void SetLightAmbient(std::uint32_t index, float a, float r, float g, float b);
    void SetLightDirection(std::uint32_t index, float x, float y, float z);
    void SetLightParameter(std::uint32_t index, std::uint32_t value);
    void SetMaterial(const void* material);  // 68 bytes
    void SetVertexFormat(VertexFormat format);
    void SetStreamSource(std::uint32_t stream, const void* data, VertexFormat format, std::uint32_t stride);
    void SetStreamTweenFormat(std::uint32_t stream, VertexFormat format);
    void SetIndices(const void* data, PixelFormat format, std::int32_t baseVertexIndex);

    // Buffers. The device frees only the depth buffer it allocated itself.
    void SetRenderTarget(void* bits, std::uint32_t width, std::uint32_t height, PixelFormat format,
                         std::int32_t pitch);
    void ClearRenderTargetInfo();
    void SetDepthBuffer(void* bits, std::uint32_t width, std::uint32_t height, PixelFormat format,
                        std::int32_t pitch);
    void EnsureDepthBuffer();
    void ReleaseDepthBuffer();
    void ClearDepth(float value);  // fills with value x 1e38
    void ClearColor(std::uint32_t color);

    // Statistics: 1 rounded span pixels, 2 pixels, 5 batch lanes, 6 triangles, 8 draw calls.
    std::uint64_t GetStatistic(std::uint32_t index) const;
    void ResetStatistic(std::uint32_t index);
    void ResetStatistics();

    // Draws.
    void DrawPrimitive(std::uint32_t type, std::uint32_t startVertex, std::uint32_t primitiveCount);
    void DrawIndexedPrimitive(std::uint32_t type, std::uint32_t minIndex, std::uint32_t vertexCount,
                              std::uint32_t startIndex, std::uint32_t primitiveCount);
    void SubmitPrimitives(std::uint32_t type, std::uint32_t minIndex, std::uint32_t vertexCount,
                          std::uint32_t startIndex, std::uint32_t primitiveCount, const void* indexData,
                          PixelFormat indexFormat, std::int32_t baseVertex);

    // Draw preparation, run by the draw entry in this order.
    void PrepareViewport();
    void CompileRasterState();
    void InitRasterTables();
    void PrepareTransforms();
    void PrepareLighting();
    void SelectProcessorPaths();

    // Vertex processing of one full (or padded) batch; returns after clipping consumed it.
    void ProcessBatch(VertexBatch& batch);

    // --- State, public as a plain record for the pipeline stages. ---
    std::uint32_t renderStates[kRenderStateCount];
    std::uint32_t renderStateDirty[kRenderStateCount];
    std::uint32_t renderStatesDirty;  // any render state changed since CompileRasterState

    BufferDesc renderTarget;
    BufferDesc depthBuffer;       // current: owned or external
    BufferDesc ownedDepthBuffer;  // allocated by the device; bits null when none

    TextureStage stages[kTextureStages];

    // Four-lane copies of C0-C3, read by the SSE position transform. Texture coordinates are
    // transformed with textureMatrix itself, spread per batch, so no copy of it can go stale.
    LaneMatrix laneComposite[4];

    Matrix4 composite[4];  // Ci = Worldi x View x Projection x ViewportMatrix, i = 0-3
    Matrix4 world[kWorldMatrixCount];
    Matrix4 view;
    Matrix4 projection;
    Matrix4 textureMatrix[kTextureStages];
    Matrix4 viewportMatrix;
    std::uint32_t transformsDirty;

    LaneClipBounds laneClip;
    Viewport viewport;
    // The integer clip rectangle handed to the rasterizer at every draw.
    std::int32_t clipLeft, clipTop, clipRight, clipBottom;

    std::uint32_t fogColor;
    std::uint16_t fogColorWide[4];  // B, G, R, A zero-extended (MMX path)

    Color32 flatColors[kBatchLanes];
    VertexFormat vertexFormat;

    std::uint32_t ssePath;  // all-ones = enabled
    std::uint32_t mmxPath;

    std::uint32_t material[kMaterialWords];
    Light lights[kLightCount];
    LaneLight laneLight;

    // Tweening factors for the attribute fetch of the current draw.
    std::uint32_t tweening;
    float tweenFactor;
    float tweenComplement;

    // Clipper queues: single accepted lanes and triangles made by clipping, each waiting for four.
    alignas(16) VertexBatch drawBatch;
    alignas(16) VertexBatch clipBatch;
    std::int32_t clipCount;
    std::int32_t drawCount;

    StreamSource streams[kStreamCount];
    IndexBinding indices;

    SpanRoutine alphaRoutines[9];  // by D3DRS_ALPHAFUNC
    std::uint64_t statistics[kStatisticCount];

    BatchConsumer batchConsumer;  // set at construction; ResetState keeps it
    std::uint32_t tag;            // the second constructor form's word
};
