// The cache and memory loads in a whole run: a clean run passes with its bandwidth and verified
// blocks; a flip injected through FERROX_INJECT_FAULT is an error naming the flipped word's address
// and bit, the block's writer and its reader, in the error list and the log; a machine whose
// available memory falls shrinks the buffer, then stops the run with STOPPED.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "load/placement.h"
#include "platform/clock.h"
#include "platform/processors.h"
#include "run/run_text.h"
#include "run/stress_run.h"
#include "test_environment.h"

namespace {


std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename Done>
bool PollUntil(StressRun& run, Done done, RunPoll* last = nullptr) {
    for (int attempt = 0; attempt < 3000; ++attempt) {
        RunPoll poll = run.Poll();
        if (last != nullptr) {
            last->notes.insert(last->notes.end(), poll.notes.begin(), poll.notes.end());
            last->safetyStop = last->safetyStop || poll.safetyStop;
        }
        if (done()) return true;
        Sleep(10);
    }
    return false;
}

RunSettings MemorySettings(unsigned threads) {
    RunSettings settings;
    settings.load = LoadChoice::Memory;
    settings.threads = threads;
    settings.memory.kind = MemorySizeRequest::Kind::Bytes;
    settings.memory.bytes = 64ull << 20;
    return settings;
}

// The machine the guard sees in the shrinking test.
std::uint64_t g_available = 0;
MemoryStatus FakeMachine() { return MemoryStatus{true, 4ull << 30, g_available}; }

class MemoryRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        directory = (std::filesystem::temp_directory_path() / ("ferrox-memrun-" + std::to_string(random()))).string();
        std::filesystem::create_directories(directory);
        logPath = directory + "/ferrox.log";
    }
    void TearDown() override {
        UnsetVariable("FERROX_INJECT_FAULT");
        // Under Wine the run's log stays open until the process ends (as in RunWithLog's tests):
        // what cannot be removed now is left to the temporary folder.
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    std::string directory;
    std::string logPath;
};

}  // namespace

TEST_F(MemoryRun, ACleanRunPassesWithItsBandwidthAndVerifiedBlocks) {
    for (LoadChoice load : {LoadChoice::Memory, LoadChoice::Cache}) {
        StressRun run{RunLog(logPath)};
        RunSettings settings = MemorySettings(2);
        settings.load = load;
        settings.durationSeconds = 2.0;
        run.BeginRun(settings);
        run.TakeStartNotes();
        ASSERT_TRUE(PollUntil(run, [&] { return run.DurationReached(); }));
        run.EndRun("duration");
        const RunSummary summary = run.Summary();
        EXPECT_EQ(summary.verdict, Verdict::Passed) << VerdictText(summary);
        EXPECT_TRUE(summary.selfChecked);
        EXPECT_TRUE(summary.memory.ran);
        EXPECT_GT(summary.memory.bytesVerified, 0u);
        EXPECT_GT(summary.memory.meanBytesPerSecond, 0.0);
        if (load == LoadChoice::Memory) {
            EXPECT_EQ(summary.kernel, LoadKernelKind::Memory);
            EXPECT_EQ(summary.memory.bufferBytes, 64ull << 20);
            EXPECT_GT(summary.memory.blocksVerified, 256u) << "more than one sweep of the buffer";
            EXPECT_GT(summary.memory.sweeps, 1.0);
        } else {
            EXPECT_EQ(summary.kernel, LoadKernelKind::Cache);
            EXPECT_FALSE(summary.memory.cacheDataSets.empty());
        }
    }
    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("memory load: a buffer of 64 MiB"), std::string::npos) << log;
    EXPECT_NE(log.find("cache load: data sets of"), std::string::npos) << log;
}

TEST_F(MemoryRun, AnInjectedFlipIsFoundWithItsAddressBitWriterAndReader) {
    const std::vector<int> order = SpreadOrder(AllowedProcessors());
    const int injecting = order.size() > 1 ? order[1] : order[0];
    for (int bit : {0, 17, 63}) {
        SetVariable("FERROX_INJECT_FAULT", "cpu=" + std::to_string(injecting) + ",after=2,kind=memory,bit=" + std::to_string(bit));
        StressRun run{RunLog(logPath)};
        run.BeginRun(MemorySettings(static_cast<unsigned>(std::min<std::size_t>(order.size(), 2))));
        RunPoll seen;
        ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().errors > 0 && !run.Summary().errorList.empty(); }, &seen)) << bit;
        run.EndRun("test");
        const RunSummary summary = run.Summary();
        EXPECT_EQ(summary.verdict, Verdict::Failed);
        ASSERT_EQ(summary.errorList.size(), 1u) << bit;
        const RunError& error = summary.errorList[0];
        const InjectedFlip flip = run.Memtest().Arena()->LastFlip();
        ASSERT_TRUE(flip.done);
        EXPECT_EQ(error.kind, RunErrorKind::WordMismatch);
        EXPECT_EQ(error.kernel, LoadKernelKind::Memory);
        EXPECT_EQ(error.mismatch.address, flip.address) << bit;
        EXPECT_EQ(error.expected ^ error.obtained, std::uint64_t{1} << bit);
        EXPECT_EQ(error.mismatch.writer, flip.writer);
        EXPECT_EQ(error.mismatch.reader, error.processor) << "read where the error is counted";
        EXPECT_EQ(summary.failingProcessors, std::vector<int>{error.processor});
        // The note of the flip and the error name the same word.
        bool noted = false;
        for (const std::string& note : seen.notes) noted = noted || note.find(FormatAddress(flip.address)) != std::string::npos;
        EXPECT_TRUE(noted) << bit;
    }
    const std::string log = ReadAll(logPath);
    EXPECT_NE(log.find("memory load: the word at 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("differs in bit 63"), std::string::npos) << log;
}

TEST_F(MemoryRun, FallingAvailableMemoryShrinksTheBufferThenStopsTheRun) {
    g_available = 2ull << 30;  // margin 512 MiB: plenty
    StressRun run{RunLog(logPath)};
    run.SetMemoryStatusSource(FakeMachine);
    run.BeginRun(MemorySettings(1));
    run.TakeStartNotes();
    ASSERT_TRUE(PollUntil(run, [&] { return run.Memtest().Arena() && run.Memtest().Arena()->Filled(); }));
    // Another program grows: 240 MiB left, under half the 512 MiB margin: the buffer gives back the
    // 16 MiB missing and a sixteenth of itself.
    g_available = 240ull << 20;
    RunPoll seen;
    ASSERT_TRUE(PollUntil(run, [&] { return run.Summary().memory.bufferBytes < (64ull << 20); }, &seen));
    EXPECT_EQ(run.Summary().memory.bufferBytes, 44ull << 20);
    ASSERT_FALSE(seen.notes.empty());
    EXPECT_NE(seen.notes.back().find("the memory load's buffer shrinks from 64 MiB to 44 MiB"), std::string::npos) << seen.notes.back();
    EXPECT_EQ(run.Summary().verdict, Verdict::Passed) << "still running, without an error";
    // Then almost nothing left: the load stops and the run with it.
    g_available = 100ull << 20;
    RunPoll stop;
    ASSERT_TRUE(PollUntil(run, [&] { return stop.safetyStop; }, &stop));
    run.EndRun("a safety limit");
    const RunSummary summary = run.Summary();
    EXPECT_EQ(summary.verdict, Verdict::Stopped);
    EXPECT_NE(summary.verdictReason.find("the memory load stopped"), std::string::npos) << summary.verdictReason;
    EXPECT_EQ(summary.errors, 0u);
    EXPECT_NE(ReadAll(logPath).find("STOPPED"), std::string::npos);
}
