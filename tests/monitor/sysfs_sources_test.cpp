// The sysfs sources on fake trees: labels, odd files, files that vanish, the energy counter's wrap.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_sysfs.h"
#include "monitor/frequency_source.h"
#include "monitor/power_source.h"
#include "monitor/sysfs_sensors.h"
#include "monitor/temperature_source.h"
#include "monitor/throttle_count_source.h"

namespace {

std::map<std::string, SensorReading> ByKey(const std::vector<SensorReading>& readings) {
    std::map<std::string, SensorReading> byKey;
    for (const SensorReading& reading : readings) byKey[reading.key] = reading;
    return byKey;
}

// FERROX_SYSFS_ROOT set (or, with null, removed) for one scope.
class ScopedSysfsRootVariable {
public:
    explicit ScopedSysfsRootVariable(const char* value) {
        if (const char* old = std::getenv(kSysfsRootVariable)) m_old = old;
        Set(value);
    }
    ~ScopedSysfsRootVariable() { Set(m_old ? m_old->c_str() : nullptr); }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        // Windows' C library: an empty value removes the variable.
        _putenv_s(kSysfsRootVariable, value != nullptr ? value : "");
#else
        if (value != nullptr) setenv(kSysfsRootVariable, value, 1);
        else unsetenv(kSysfsRootVariable);
#endif
    }
    std::optional<std::string> m_old;
};

}  // namespace

TEST(SysfsSourcesTest, DesktopTreeGivesLabelsUnitsAndProcessors) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 4);
    SysfsSensors sensors(tree.Root());
    EXPECT_EQ(sensors.RootProblem(), "");
    const auto temperatures = ByKey(sensors.temperatures.Read());
    // acpitz 1, nvme 3, coretemp package + 2 cores; the _max/_crit files are not sensors.
    ASSERT_EQ(temperatures.size(), 7u);
    EXPECT_EQ(temperatures.at("hwmon0/temp1").label, "acpitz temp1");  // no label file
    EXPECT_EQ(temperatures.at("hwmon1/temp1").label, "Composite");
    EXPECT_EQ(temperatures.at("hwmon2/temp1").label, "Package id 0");
    EXPECT_EQ(temperatures.at("hwmon2/temp3").label, "Core 1");
    EXPECT_EQ(temperatures.at("hwmon2/temp3").device, "coretemp");
    EXPECT_DOUBLE_EQ(temperatures.at("hwmon2/temp3").value, 54.0);
    EXPECT_EQ(temperatures.at("hwmon2/temp3").unit, MonitorUnit::kCelsius);

    const auto frequencies = ByKey(sensors.frequencies.Read());
    ASSERT_EQ(frequencies.size(), 4u);  // "cpufreq" beside cpu0..cpu3 is not a processor
    EXPECT_EQ(frequencies.at("cpu3").processor, 3);
    EXPECT_DOUBLE_EQ(frequencies.at("cpu3").value, 3.403e9);
    EXPECT_EQ(sensors.throttleCounts.ReadCounts().size(), 8u);

    // The zones and their labels; the mmio copy and the control-type folder are left out. The
    // first read of an energy counter gives no power yet.
    EXPECT_TRUE(sensors.power.ReadAt(10.0).empty());
    tree.Write("sys/class/powercap/intel-rapl:0/energy_uj", "31000000\n");
    tree.Write("sys/class/powercap/intel-rapl:0:1/energy_uj", "1500000\n");
    const auto power = ByKey(sensors.power.ReadAt(12.0));
    ASSERT_EQ(power.size(), 5u);
    EXPECT_DOUBLE_EQ(power.at("intel-rapl:0").value, 15.0);
    EXPECT_EQ(power.at("intel-rapl:0").label, "package-0");
    EXPECT_DOUBLE_EQ(power.at("intel-rapl:0:1").value, 0.25);
    EXPECT_EQ(power.at("intel-rapl:0:1").label, "package-0 uncore");
    EXPECT_EQ(power.at("intel-rapl:1").label, "psys");
    EXPECT_DOUBLE_EQ(power.at("intel-rapl:1").value, 0.0);  // a real zero: the counter did not move

    // One sweep holds every available source, and leaves its counts for the throttling detector.
    tree.Write("sys/devices/system/cpu/cpu2/thermal_throttle/core_throttle_count", "5\n");
    std::map<std::string_view, int> perSource;
    for (const SensorReading& reading : sensors.Sweep()) ++perSource[reading.source];
    EXPECT_EQ(perSource["Temperature"], 7);
    EXPECT_EQ(perSource["Frequency"], 4);
    EXPECT_EQ(perSource["Throttle count"], 8);
    const std::vector<ThrottleCount>& counts = sensors.throttleCounts.LastCounts();
    ASSERT_EQ(counts.size(), 8u);
    EXPECT_EQ(counts[4].processor, 2);
    EXPECT_EQ(counts[4].counter, ThrottleCounter::kCore);
    EXPECT_EQ(counts[4].count, 5u);
}

TEST(SysfsSourcesTest, OddValueFilesAreAbsentNeverZero) {
    struct Case {
        const char* content;
        std::optional<double> celsius, hertz, count;
    };
    const Case cases[] = {
        {"45000\n", 45.0, 45e6, 45000.0},
        {"45000", 45.0, 45e6, 45000.0},
        {"", {}, {}, {}},
        {"\n", {}, {}, {}},
        {"abc\n", {}, {}, {}},
        {"12abc\n", {}, {}, {}},
        {" 12\n", {}, {}, {}},
        {"\x01\x02\xff", {}, {}, {}},
        {"-5000\n", -5.0, {}, {}},           // a temperature may be below zero, a clock or a count not
        {"-300000\n", {}, {}, {}},          // below absolute zero
        {"0\n", 0.0, {}, 0.0},              // a clock of 0 is no clock
        {"2147483647\n", {}, {}, 2147483647.0},  // the driver's "error" value: too hot, too fast
        {"18446744073709551615\n", {}, {}, 18446744073709551615.0},
        {"99999999999999999999\n", {}, {}, {}},  // beyond 64 bits
        {"1111111111111111111111111111111111111111111111111111111111111111111111\n", {}, {}, {}},
    };
    FakeSysfs tree;
    tree.Write("sys/class/hwmon/hwmon0/name", "k10temp\n");
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const std::string n = std::to_string(i);
        tree.Write("sys/class/hwmon/hwmon0/temp" + n + "_input", cases[i].content);
        tree.Write("sys/devices/system/cpu/cpu" + n + "/cpufreq/scaling_cur_freq", cases[i].content);
        tree.Write("sys/devices/system/cpu/cpu" + n + "/thermal_throttle/core_throttle_count", cases[i].content);
    }
    TemperatureSource temperatures(tree.Root());
    FrequencySource frequencies(tree.Root());
    ThrottleCountSource counts(tree.Root());
    const auto celsius = ByKey(temperatures.Read());
    const auto hertz = ByKey(frequencies.Read());
    const auto count = ByKey(counts.Read());
    const auto valueOf = [](const std::map<std::string, SensorReading>& readings, const std::string& key) {
        const auto found = readings.find(key);
        return found == readings.end() ? std::optional<double>() : found->second.value;
    };
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const std::string n = std::to_string(i);
        SCOPED_TRACE("content \"" + std::string(cases[i].content) + "\"");
        EXPECT_EQ(valueOf(celsius, "hwmon0/temp" + n), cases[i].celsius);
        EXPECT_EQ(valueOf(hertz, "cpu" + n), cases[i].hertz);
        EXPECT_EQ(valueOf(count, "cpu" + n + "/core"), cases[i].count);
    }
}

TEST(SysfsSourcesTest, FilesAndFoldersVanishingBetweenReads) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 2);
    SysfsSensors sensors(tree.Root());
    ASSERT_EQ(sensors.temperatures.Read().size(), 6u);
    tree.Remove("sys/class/hwmon/hwmon1/temp2_input");
    tree.Remove("sys/devices/platform/coretemp.0");  // the link stays, dangling
    tree.Remove("sys/devices/system/cpu/cpu1");
    auto temperatures = ByKey(sensors.temperatures.Read());
    EXPECT_EQ(temperatures.size(), 3u);
    for (const char* key : {"hwmon0/temp1", "hwmon1/temp1", "hwmon1/temp3"}) {
        EXPECT_EQ(temperatures.count(key), 1u) << key;
    }
    EXPECT_EQ(ByKey(sensors.frequencies.Read()).count("cpu1"), 0u);
    EXPECT_EQ(sensors.throttleCounts.ReadCounts().size(), 2u);
    // Back again: read again without a new discovery.
    tree.Write("sys/class/hwmon/hwmon1/temp2_input", "40000\n");
    EXPECT_EQ(ByKey(sensors.temperatures.Read()).at("hwmon1/temp2").value, 40.0);
    // A new discovery forgets what is gone for good.
    sensors.temperatures.Discover();
    EXPECT_EQ(sensors.temperatures.Read().size(), 4u);
}

TEST(SysfsSourcesTest, PowerFromEnergyCounters) {
    constexpr std::uint64_t kRange = 262143328850;
    struct Read {
        double seconds;
        const char* energy;  // null: the file is gone
        std::optional<double> watts;
    };
    struct Case {
        const char* name;
        const char* maxEnergyRange;  // null: no such file
        std::vector<Read> reads;
    };
    const std::string nearEnd = std::to_string(kRange - 5000000) + "\n";
    const std::string beyondEnd = std::to_string(kRange + 1) + "\n";
    const Case cases[] = {
        {"steady", "262143328850\n", {{0, "1000000", {}}, {1, "11000000", 10.0}, {3, "31000000", 10.0}}},
        {"wraps at the range", "262143328850\n", {{0, nearEnd.c_str(), {}}, {2, "15000000\n", 10.0}}},
        {"wraps without a range", nullptr, {{0, "5000000", {}}, {1, "1000000", {}}, {2, "3000000", 2.0}}},
        {"range file garbage", "lots\n", {{0, "5000000", {}}, {1, "1000000", {}}, {2, "3000000", 2.0}}},
        {"beyond the range", "262143328850\n", {{0, "1000000", {}}, {1, beyondEnd.c_str(), {}}, {2, "3000000", {}},
                                                {3, "4000000", 1.0}}},
        {"vanishes", "262143328850\n", {{0, "1000000", {}}, {1, nullptr, {}}, {2, "3000000", {}}, {3, "5000000", 2.0}}},
        {"garbage", "262143328850\n", {{0, "abc", {}}, {1, "-1", {}}, {2, "2000000", {}}, {4, "6000000", 2.0}}},
        {"no time passed", "262143328850\n", {{1, "1000000", {}}, {1, "2000000", {}}, {2, "3000000", 2.0}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        FakeSysfs tree;
        const std::string zone = "sys/class/powercap/intel-rapl:0/";
        tree.Write(zone + "name", "package-0\n");
        tree.Write(zone + "energy_uj", "0\n");
        if (test.maxEnergyRange != nullptr) tree.Write(zone + "max_energy_range_uj", test.maxEnergyRange);
        PowerSource power(tree.Root());
        ASSERT_TRUE(power.IsAvailable());
        for (const Read& read : test.reads) {
            if (read.energy != nullptr) tree.Write(zone + "energy_uj", read.energy);
            else tree.Remove(zone + "energy_uj");
            const auto readings = power.ReadAt(read.seconds);
            std::optional<double> watts;
            if (!readings.empty()) watts = readings[0].value;
            EXPECT_EQ(watts, read.watts) << "at " << read.seconds << " s";
        }
    }
}

// A counter that goes down was either wrapped at its range or reset (a driver reload, a firmware
// step back). Only a wrap that gives a power some processor could draw is one; anything else,
// and any sample beyond that bound, gives no value and starts the count again.
TEST(SysfsSourcesTest, PowerCounterSteppingBackIsAResetNotAWrap) {
    struct Read {
        double seconds;
        std::string energy;
        std::optional<double> watts;
    };
    struct Case {
        const char* name;
        const char* maxEnergyRange;  // null: no such file
        std::vector<Read> reads;
    };
    const std::uint64_t range = 262143328850;
    const std::string nearEnd = std::to_string(range - 60000000);
    const Case cases[] = {
        {"steps back a little", "262143328850\n", {{0, "5000000", {}}, {1, "4000000", {}}, {2, "6000000", 2.0}}},
        {"steps back to zero", "262143328850\n", {{0, "90000000000", {}}, {1, "0", {}}, {4, "30000000", 10.0}}},
        {"a real wrap stays one", "262143328850\n", {{0, nearEnd, {}}, {2, "40000000", 50.0}}},
        {"a wrap too large for the time", "262143328850\n", {{0, nearEnd, {}}, {0.01, "40000000", {}}}},
        {"jumps far ahead", "262143328850\n", {{0, "1000000", {}}, {1, "100001000000", {}}, {2, "100003000000", 2.0}}},
        {"a range of 0 is no range", "0\n", {{0, "5000000", {}}, {1, "1000000", {}}, {2, "3000000", 2.0}}},
        {"a range of 0 does not hide values", "0\n", {{0, "5000000", {}}, {1, "7000000", 2.0}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        FakeSysfs tree;
        const std::string zone = "sys/class/powercap/intel-rapl:0/";
        tree.Write(zone + "name", "package-0\n");
        tree.Write(zone + "energy_uj", "0\n");
        if (test.maxEnergyRange != nullptr) tree.Write(zone + "max_energy_range_uj", test.maxEnergyRange);
        PowerSource power(tree.Root());
        ASSERT_TRUE(power.IsAvailable());
        for (const Read& read : test.reads) {
            tree.Write(zone + "energy_uj", read.energy + "\n");
            const auto readings = power.ReadAt(read.seconds);
            std::optional<double> watts;
            if (!readings.empty()) watts = readings[0].value;
            EXPECT_EQ(watts, read.watts) << "at " << read.seconds << " s";
        }
    }
}

// Sensor files that are not what they seem: only a regular file inside the tree is read, and none
// of these makes the reader wait (a FIFO would, for a writer that never comes).
TEST(SysfsSourcesTest, OnlyRegularFilesInsideTheTreeAreRead) {
    FakeSysfs tree;
    FakeSysfs outside;
    outside.Write("hot", "99000\n");
    const std::string chip = "sys/class/hwmon/hwmon0/";
    tree.Write(chip + "name", "k10temp\n");
    tree.Write(chip + "temp1_input", "41000\n");
    tree.Write("sys/devices/platform/nct6775/temp", "43000\n");
    const std::filesystem::path at = tree.Path() / chip;
    struct Case {
        const char* name;
        std::function<bool(const std::filesystem::path&)> make;  // false: cannot be made here
        bool read;
    };
    const auto link = [](std::filesystem::path target) {
        return [target](const std::filesystem::path& path) {
            std::error_code error;
            std::filesystem::create_symlink(target, path, error);
            return !error;
        };
    };
    const Case cases[] = {
        {"a regular file", [](const std::filesystem::path& path) { return static_cast<bool>(std::ofstream(path) << "42000\n"); }, true},
#ifndef _WIN32
        {"a FIFO", [](const std::filesystem::path& path) { return mkfifo(path.c_str(), 0644) == 0; }, false},
        {"a character device", [](const std::filesystem::path& path) { return mknod(path.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0; },
         false},
#endif
        {"a folder", [](const std::filesystem::path& path) { return std::filesystem::create_directory(path); }, false},
        {"a link out of the tree", link(outside.Path() / "hot"), false},
        {"a link to a file of the tree", link(tree.Path() / "sys/devices/platform/nct6775/temp"), false},
        {"a link to a device", link("/dev/zero"), false},
        {"too long to be a value", [](const std::filesystem::path& path) { return static_cast<bool>(std::ofstream(path) << std::string(70, '4')); },
         false},
    };
    std::map<std::string, bool> expected;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const std::string name = "temp" + std::to_string(i + 2) + "_input";
        if (!cases[i].make(at / name)) continue;
        expected["hwmon0/temp" + std::to_string(i + 2)] = cases[i].read;
    }
    TemperatureSource temperatures(tree.Root());
    const auto celsius = ByKey(temperatures.Read());
    EXPECT_EQ(celsius.count("hwmon0/temp1"), 1u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string key = "hwmon0/temp" + std::to_string(i + 2);
        if (expected.count(key) == 0) continue;
        EXPECT_EQ(celsius.count(key), expected[key] ? 1u : 0u) << cases[i].name;
    }
    // A name file that is a FIFO or a link out of the tree gives no label; the chip's folder name stands in.
    FakeSysfs labels;
    labels.Write("sys/class/hwmon/hwmon4/temp1_input", "30000\n");
    link(outside.Path() / "hot")(labels.Path() / "sys/class/hwmon/hwmon4/temp1_label");
#ifndef _WIN32
    ASSERT_EQ(mkfifo((labels.Path() / "sys/class/hwmon/hwmon4/name").c_str(), 0644), 0);
#endif
    const auto labelled = ByKey(TemperatureSource(labels.Root()).Read());
    ASSERT_EQ(labelled.count("hwmon4/temp1"), 1u);
    EXPECT_EQ(labelled.at("hwmon4/temp1").label, "hwmon4 temp1");
}

TEST(SysfsSourcesTest, BadRootMakesEverySourceAbsentWithOneMessage) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 2);
    tree.Write("plain_file", "x");
    const std::string missing = (tree.Path() / "no_such_folder").string();
    const std::string plainFile = (tree.Path() / "plain_file").string();
    const struct {
        std::optional<std::string> variable;  // nullopt: unset
        std::string problem;
    } cases[] = {
        {missing, "FERROX_SYSFS_ROOT: sysfs root \"" + missing + "\" does not exist; no sensor can be read"},
        {plainFile, "FERROX_SYSFS_ROOT: sysfs root \"" + plainFile + "\" is not a directory; no sensor can be read"},
        {tree.Path().string(), ""},
        {"", ""},  // set but empty counts as unset: the real "/"
        {std::nullopt, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.variable.value_or("(unset)"));
        const ScopedSysfsRootVariable variable(test.variable ? test.variable->c_str() : nullptr);
        SysfsSensors sensors(SysfsRoot::FromEnvironment());
        EXPECT_EQ(sensors.RootProblem(), test.problem);
        // The fake tree has every kind of sensor, a bad root none; the real "/" may have either.
        if (!test.variable || test.variable->empty()) continue;
        for (MonitorSource* source : sensors.Sources()) {
            EXPECT_EQ(source->IsAvailable(), test.problem.empty()) << source->Name();
        }
    }
    // A root without "sys" (another system) is valid and has no sensors.
    SysfsSensors empty(SysfsRoot(tree.Path() / "sys" / "class"));
    EXPECT_EQ(empty.RootProblem(), "");
    for (MonitorSource* source : empty.Sources()) EXPECT_FALSE(source->IsAvailable()) << source->Name();
}
