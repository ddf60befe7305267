#pragma once
// Four-lane copies of per-draw constants for the SSE kernels: each value held four times.

#include "render/render_device.h"

inline void SpreadToLanes(float value, Lanes& lanes) {
    for (float& l : lanes.lane) l = value;
}

inline void SpreadToLanes(const Matrix4& matrix, LaneMatrix& lanes) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) SpreadToLanes(matrix.m[r][c], lanes.m[r][c]);
}
