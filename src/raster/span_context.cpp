#include "raster/span_context.h"

SpanContext g_spanContext;
