#pragma once
// The span driver and the span stages it runs. All take no arguments: they read and write the
// SpanContext.

void DrawSpan();
void ComputeSpanW();
void TrimSpanByDepth();
void FillSpanFlat();
void ShadeSpanGouraud();
void FogSpan();
void BlendSpan();
