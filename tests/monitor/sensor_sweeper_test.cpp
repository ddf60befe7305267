// The sweeper over a tree where one file's read does not come back (a driver waiting on a stuck
// bus): the owner never waits for it, the file is given up with one note, the other sensors go on,
// and Stop returns.

#include "monitor/sensor_sweeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "fake_sysfs.h"
#include "platform/sensor_file.h"

namespace {

// A reader whose reads of one file, from its n-th on, wait until the test ends.
struct StuckFile {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::string suffix;
    int blockFrom = 0;
    int reads = 0;
    std::atomic<int> blocked{0};
};
// Never destroyed: a sweep thread given up on is detached and may still be reading as the
// program ends.
StuckFile& g_stuck = *new StuckFile;

std::optional<std::string> ReadWithStuckFile(const std::string& path, const std::string& tree, std::size_t capacity) {
    std::string forward = path;  // Windows paths mix both separators
    std::replace(forward.begin(), forward.end(), '\\', '/');
    {
        // Under the lock: a sweep thread left behind by an earlier case may still be reading
        // while the next case sets the file up.
        std::unique_lock lock(g_stuck.mutex);
        if (forward.ends_with(g_stuck.suffix) && g_stuck.reads++ >= g_stuck.blockFrom) {
            ++g_stuck.blocked;
            g_stuck.released.wait(lock, [] { return g_stuck.release; });
            --g_stuck.blocked;
        }
    }
    return ReadSensorFile(path, tree, capacity);
}

// Waits for a condition by taking the sweeps now and then (the way a run samples its monitor).
template <typename Done>
bool TakeUntil(SensorSweeper& sweeper, std::vector<std::string>& notes, std::map<std::string, int>& readings, Done done) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        SensorSweeper::Sweeps sweeps = sweeper.Take();
        notes.insert(notes.end(), sweeps.notes.begin(), sweeps.notes.end());
        for (const SensorReading& reading : sweeps.readings) ++readings[reading.key];
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

TEST(SensorSweeperTest, AReadThatDoesNotComeBackIsGivenUpOnceAndTheRestGoesOn) {
    const struct {
        const char* name;
        int blockFrom;  // 0: stuck while the sensors are found; 1: at the first sweep
    } cases[] = {{"stuck while the sensors are found", 0}, {"stuck while sweeping", 1}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        FakeSysfs tree;
        WriteIntelDesktop(tree, 2);
        {
            std::lock_guard lock(g_stuck.mutex);
            g_stuck.release = false;
            g_stuck.suffix = "hwmon1/temp2_input";
            g_stuck.blockFrom = test.blockFrom;
            g_stuck.reads = 0;
        }
        SensorSweeper::Settings settings;
        settings.interval = std::chrono::milliseconds(20);
        settings.readLimit = std::chrono::milliseconds(200);
        settings.discoveryWait = std::chrono::milliseconds(50);
        std::vector<std::string> notes;
        std::map<std::string, int> readings;
        {
            SensorSweeper sweeper(SysfsRoot(tree.Path(), &ReadWithStuckFile), settings);
            sweeper.Start();
            ASSERT_TRUE(TakeUntil(sweeper, notes, readings, [&] { return !notes.empty() && readings["hwmon1/temp3"] >= 3; }))
                << "the stuck read was not given up, or the other sensors stopped";
            EXPECT_TRUE(sweeper.Found().hasSensors);
            EXPECT_EQ(g_stuck.blocked.load(), 1) << "one thread left behind, waiting in its read";
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_NE(notes[0].find("temp2_input did not answer within 0.2 s"), std::string::npos) << notes[0];
            const int before = readings["hwmon1/temp2"];
            ASSERT_TRUE(TakeUntil(sweeper, notes, readings, [&] { return readings["hwmon1/temp3"] >= 6; }));
            EXPECT_EQ(readings["hwmon1/temp2"], before) << "the file given up on is read no more";
            EXPECT_EQ(notes.size(), 1u) << "one note only";
            sweeper.Stop();
        }
        // Let the thread left behind come back and end before the tree goes away.
        {
            std::lock_guard lock(g_stuck.mutex);
            g_stuck.release = true;
        }
        g_stuck.released.notify_all();
        for (int attempt = 0; attempt < 500 && g_stuck.blocked.load() > 0; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Stop while a read is stuck: the owner gets its thread back, and nothing of the stuck sweep
// arrives later.
TEST(SensorSweeperTest, StopNeverWaitsForAStuckRead) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 2);
    {
        std::lock_guard lock(g_stuck.mutex);
        g_stuck.release = false;
        g_stuck.suffix = "hwmon0/temp1_input";
        g_stuck.blockFrom = 1;
        g_stuck.reads = 0;
    }
    SensorSweeper::Settings settings;
    settings.interval = std::chrono::milliseconds(20);
    settings.readLimit = std::chrono::milliseconds(200);
    {
        SensorSweeper sweeper(SysfsRoot(tree.Path(), &ReadWithStuckFile), settings);
        ASSERT_TRUE(sweeper.Found().done);
        sweeper.Start();
        for (int attempt = 0; attempt < 500 && g_stuck.blocked.load() == 0; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(g_stuck.blocked.load(), 1);
        sweeper.Stop();  // returns: the test would hang here otherwise
        sweeper.Take();
        std::lock_guard lock(g_stuck.mutex);
        g_stuck.release = true;
    }
    g_stuck.released.notify_all();
    for (int attempt = 0; attempt < 500 && g_stuck.blocked.load() > 0; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(g_stuck.blocked.load(), 0);
}
