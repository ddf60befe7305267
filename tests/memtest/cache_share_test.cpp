// The cache load's data sets from the caches sysfs lists, read from a fake tree.

#include <gtest/gtest.h>

#include "memtest/cache_share.h"
#include "monitor/fake_sysfs.h"
#include "platform/cache_topology.h"

TEST(CacheTopology, ProcessorListsAreCounted) {
    const struct {
        const char* list;
        int count;
    } cases[] = {{"0", 1}, {"0-1", 2}, {"0-3,8,10-11", 7}, {"", 0}, {"3-1", 0}, {"a", 0}, {"0,,1", 0}, {"0-", 0}};
    for (const auto& c : cases) EXPECT_EQ(CountProcessorList(c.list), c.count) << c.list;
}

#ifndef _WIN32  // Windows asks the system, not a tree
namespace {
void WriteCache(const FakeSysfs& tree, int processor, int index, const char* level, const char* type, const char* size,
                const char* shared) {
    const std::string folder = "sys/devices/system/cpu/cpu" + std::to_string(processor) + "/cache/index" + std::to_string(index) + "/";
    tree.Write(folder + "level", std::string(level) + "\n");
    tree.Write(folder + "type", std::string(type) + "\n");
    tree.Write(folder + "size", std::string(size) + "\n");
    tree.Write(folder + "shared_cpu_list", std::string(shared) + "\n");
}
}  // namespace

TEST(CacheTopology, SharesAndDataSetsFromAFakeTree) {
    FakeSysfs tree;
    // Processor 0: two hardware threads per core, a 30 MiB level 3 shared by 16.
    WriteCache(tree, 0, 0, "1", "Data", "48K", "0,8");
    WriteCache(tree, 0, 1, "1", "Instruction", "32K", "0,8");
    WriteCache(tree, 0, 2, "2", "Unified", "2048K", "0,8");
    WriteCache(tree, 0, 3, "3", "Unified", "30720K", "0-15");
    // Processor 1: no level 3, one thread per core.
    WriteCache(tree, 1, 0, "1", "Data", "32K", "1");
    WriteCache(tree, 1, 1, "2", "Unified", "512K", "1");
    // Processor 2: a huge last level, not shared: capped; a malformed entry is skipped.
    WriteCache(tree, 2, 0, "1", "Data", "64K", "2");
    WriteCache(tree, 2, 1, "2", "Unified", "nonsense", "2");
    WriteCache(tree, 2, 2, "3", "Unified", "300M", "2");

    const std::string root = tree.Path().string();
    const std::vector<CacheLevel> caches = ProcessorCaches(0, root);
    ASSERT_EQ(caches.size(), 4u);
    EXPECT_EQ(caches[0].bytes, 48u * 1024);
    EXPECT_EQ(caches[0].sharedBy, 2);
    EXPECT_EQ(caches[1].kind, CacheKind::Instruction);
    EXPECT_EQ(caches[3].sharedBy, 16);

    const struct {
        int processor;
        CacheShare share;
        CacheRegions regions;
    } cases[] = {
        {0, {24 * 1024, 1024 * 1024, 1920 * 1024}, {{12 * 1024, 768 * 1024, 1440 * 1024}}},
        {1, {32 * 1024, 512 * 1024, 0}, {{16 * 1024, 384 * 1024, 0}}},
        {2, {64 * 1024, 0, 300ull << 20}, {{32 * 1024, 192 * 1024, kLargestLastLevelRegion}}},
        {3, {0, 0, 0}, {{16 * 1024, 192 * 1024, 0}}},  // the system says nothing: the defaults
    };
    for (const auto& c : cases) {
        const CacheShare share = ShareOfCaches(ProcessorCaches(c.processor, root));
        EXPECT_EQ(share.level1, c.share.level1) << c.processor;
        EXPECT_EQ(share.level2, c.share.level2) << c.processor;
        EXPECT_EQ(share.lastLevel, c.share.lastLevel) << c.processor;
        EXPECT_EQ(RegionsForShare(share), c.regions) << c.processor << ": " << DescribeRegions(RegionsForShare(share));
    }
    EXPECT_EQ(DescribeRegions(RegionsForShare(ShareOfCaches(ProcessorCaches(1, root)))), "16 KiB + 384 KiB");
}
#endif
