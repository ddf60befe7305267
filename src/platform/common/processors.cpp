#include "platform/processors.h"

#include "platform/common/processor_backend.h"

const std::vector<ProcessorPlace>& AllowedProcessors() {
    static const std::vector<ProcessorPlace> places = [] {
        std::vector<ProcessorPlace> read = ReadAllowedProcessors();
        // A system that tells nothing still runs this thread somewhere.
        if (read.empty()) read.push_back(ProcessorPlace{CurrentProcessor() >= 0 ? CurrentProcessor() : 0, -1, -1});
        return read;
    }();
    return places;
}
