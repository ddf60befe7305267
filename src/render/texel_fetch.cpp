// Placeholder until the texel fetch lands.
#include "render/texel_fetch.h"

void FetchNoTexels() {}
SpanRoutine PointFetchRoutine(int, bool) { return FetchNoTexels; }
SpanRoutine BilinearFetchRoutine(int, bool) { return FetchNoTexels; }
