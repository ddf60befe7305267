#include "cli/memory_report.h"

#include <cmath>

#include "load/load_kernel.h"
#include "memtest/memory_arena.h"
#include "run/run_text.h"

double GigabytesPerSecond(double bytesPerSecond) { return std::round(bytesPerSecond * 1e-8) / 10.0; }

JsonValue MemoryLoadJson(const MemoryLoadSummary& memory) {
    JsonValue part = JsonValue::MakeObject();
    const bool isMemory = memory.kernel == LoadKernelKind::Memory;
    part.Set("load", LoadKernelName(memory.kernel));
    part.Set("path", memory.path);
    part.Set("gb_per_second", GigabytesPerSecond(memory.meanBytesPerSecond));
    part.Set("last_second_gb_per_second", GigabytesPerSecond(memory.bytesPerSecond));
    part.Set("bytes_verified", memory.bytesVerified);
    if (isMemory) {
        part.Set("buffer_bytes", memory.bufferBytes);
        part.Set("start_buffer_bytes", memory.startBytes);
        part.Set("margin_bytes", memory.marginBytes);
        part.Set("block_bytes", static_cast<std::uint64_t>(kBlockBytes));
        part.Set("checksum", "crc32c");
        part.Set("huge_pages", memory.hugePages);
        part.Set("locked", memory.locked);
        part.Set("physical_addresses", memory.physicalAddresses);
        part.Set("verified_blocks", memory.blocksVerified);
        part.Set("sweeps", std::round(memory.sweeps * 100.0) / 100.0);
        part.Set("read_by_another_processor", memory.crossReadShare >= 0.0 ? JsonValue(std::round(memory.crossReadShare * 1000.0) / 1000.0)
                                                                          : JsonValue());
    } else {
        part.Set("data_sets", memory.cacheDataSets);
    }
    return part;
}

void AddMismatchJson(const RunError& error, JsonValue* entry) {
    if (error.kind != RunErrorKind::WordMismatch) return;
    const WordMismatch& where = error.mismatch;
    entry->Set("load", LoadKernelName(error.kernel));
    entry->Set("address", FormatAddress(where.address));
    entry->Set("physical_address", where.physicalAddress != 0 ? JsonValue(FormatAddress(where.physicalAddress)) : JsonValue());
    JsonValue bits = JsonValue::MakeArray();
    if (where.wrongWords > 0) {
        const std::uint64_t differing = error.expected ^ error.obtained;
        for (int bit = 0; bit < 64; ++bit)
            if (differing >> bit & 1) bits.Append(bit);
    }
    entry->Set("bits", bits);
    entry->Set("wrong_words", where.wrongWords);
    entry->Set("writer_processor", where.writer);
    entry->Set("reader_processor", where.reader);
}

std::string MemoryStatusText(const MemoryLoadSummary& memory) {
    if (!memory.ran) return {};
    std::string text = std::string(", ") + LoadKernelName(memory.kernel) + " " + FormatBandwidth(memory.bytesPerSecond);
    if (memory.kernel == LoadKernelKind::Memory) text += ", " + std::to_string(memory.blocksVerified) + " blocks verified";
    return text;
}
