// The scene's frame buffer: a DIB section of the client area's size, bound to the device as its
// render target.
#include "display/animation_scene.h"
#include "display/bitmap_handles.h"

namespace {
constexpr int kFrameBufferBits = 32;
// ClearDepth scales by 1e38, so the depth (w) becomes positive infinity: behind anything drawn.
constexpr float kClearedDepth = 1e38f;
}  // namespace

void AnimationScene::DetachTarget() {
    if (m_device) {
        m_device->SetRenderTarget(nullptr, 0, 0, UNKNOWN, 0);
    }
}

void AnimationScene::AttachTarget() {
    if (!m_device || m_frameBuffer == nullptr) {
        return;
    }
    const BITMAP frame = GetBitmapInfo(m_frameBuffer);
    m_device->SetRenderTarget(frame.bmBits, std::uint32_t(frame.bmWidth), std::uint32_t(frame.bmHeight), A8R8G8B8,
                              DibRowPitch(m_frameBuffer));
    m_device->ClearDepth(kClearedDepth);
}

int AnimationScene::ResizeTarget(int width, int height) {
    const BITMAP current = GetBitmapInfo(m_frameBuffer);
    if (m_frameBuffer == nullptr || current.bmWidth != width || current.bmHeight != height) {
        DetachTarget();
        m_frameBuffer = DeleteBitmapHandle(m_frameBuffer);
    }
    if (m_frameBuffer != nullptr) {
        return 1;
    }
    m_frameBuffer = CreateDib(width, height, kFrameBufferBits);
    if (m_frameBuffer == nullptr) {
        return 0;
    }
    AttachTarget();
    return 1;
}
