// Test plans: the built-in ones, and plan files, read or refused with the place of the mistake.

#include <gtest/gtest.h>

#include <string>

#include "plan/plan_file.h"
#include "plan/test_plan.h"

namespace {
const ProcessorTraits kWide{0, true, true, true};
const ProcessorTraits kClassicOnly{0, true, false, false};
}  // namespace

TEST(BuiltinPlans, EachHasItsLengthAndOnlyLoadsThisMachineRuns) {
    struct Case {
        const char* name;
        unsigned processors;
        ProcessorTraits traits;
        double shortest, longest;  // minutes
    };
    const Case cases[] = {
        {"quick", 2, kWide, 4.5, 5.5},     {"quick", 16, kWide, 4.5, 6.0},   {"standard", 2, kWide, 25, 35},
        {"standard", 8, kClassicOnly, 20, 35}, {"thorough", 2, kWide, 120, 300}, {"thorough", 64, kWide, 400, 1000},
    };
    for (const Case& c : cases) {
        TestPlan plan;
        ASSERT_TRUE(BuiltinPlan(c.name, c.processors, c.traits, &plan)) << c.name;
        EXPECT_EQ(plan.name, c.name);
        EXPECT_GE(plan.TotalSeconds() / 60, c.shortest) << c.name << " on " << c.processors;
        EXPECT_LE(plan.TotalSeconds() / 60, c.longest) << c.name << " on " << c.processors;
        for (const PlanPhase& phase : plan.phases) {
            EXPECT_GT(phase.settings.durationSeconds, 0.0) << phase.name;
            EXPECT_FALSE(phase.name.empty());
            const LoadChoice load = phase.settings.load;
            EXPECT_TRUE(ChooseKernel(load, c.traits, nullptr)) << c.name << ": " << phase.name << " cannot run here";
            if (phase.settings.cycleSeconds > 0) {
                EXPECT_GE(phase.settings.durationSeconds, phase.settings.cycleSeconds * 1.0 * c.processors)
                    << "each processor gets its turn: " << phase.name;
            }
        }
    }
    TestPlan plan;
    ASSERT_TRUE(BuiltinPlan("thorough", 2, kWide, &plan));
    int variable = 0, alone = 0;
    for (const PlanPhase& phase : plan.phases) {
        variable += phase.settings.variablePeriodSeconds > 0 ? 1 : 0;
        alone += phase.settings.cycleSeconds > 0 ? 1 : 0;
    }
    EXPECT_GE(variable, 4) << "variable load from 10 ms to 10 s";
    EXPECT_EQ(alone, 3) << "each processor alone with every load";
    EXPECT_FALSE(BuiltinPlan("fast", 2, kWide, &plan));
}

TEST(PlanFile, AWholePlanIsRead) {
    TestPlan plan;
    std::string error;
    ASSERT_TRUE(ParsePlan(R"({"name": "night", "phases": [
        {"name": "burn", "load": "avx2", "threads": 3, "duration": "1h30m"},
        {"cycle": 20, "duration": 600},
        {"load": "builtin", "threads": "auto", "duration": "10m", "variable": {"period": "250ms", "on": 0.25}}]})",
                          "file", &plan, &error))
        << error;
    EXPECT_EQ(plan.name, "night");
    ASSERT_EQ(plan.phases.size(), 3u);
    EXPECT_EQ(plan.phases[0].name, "burn");
    EXPECT_EQ(plan.phases[0].settings.load, LoadChoice::Avx2Fma);
    EXPECT_EQ(plan.phases[0].settings.threads, 3u);
    EXPECT_EQ(plan.phases[0].settings.durationSeconds, 5400.0);
    EXPECT_EQ(plan.phases[1].name, "phase 2");
    EXPECT_EQ(plan.phases[1].settings.load, LoadChoice::Widest);
    EXPECT_EQ(plan.phases[1].settings.cycleSeconds, 20u);
    EXPECT_EQ(plan.phases[1].settings.durationSeconds, 600.0);
    EXPECT_EQ(plan.phases[2].settings.threads, 0u);
    EXPECT_DOUBLE_EQ(plan.phases[2].settings.variablePeriodSeconds, 0.25);
    EXPECT_DOUBLE_EQ(plan.phases[2].settings.variableOnShare, 0.25);
    EXPECT_EQ(plan.TotalSeconds(), 5400.0 + 600 + 600);
    ASSERT_TRUE(ParsePlan(R"({"phases": [{"duration": "1m"}]})", "from-file-name", &plan, &error));
    EXPECT_EQ(plan.name, "from-file-name");
}

TEST(PlanFile, EachMistakeIsNamedWithItsPlace) {
    struct Case {
        const char* text;
        const char* error;  // the start of the message
    };
    const Case cases[] = {
        {"", "line 1, column 1"},
        {"{\"phases\": [\n  {\"duration\": \"1m\",}\n]}", "line 2"},
        {"[]", "the plan must be an object"},
        {R"({"phases": []})", "phases: must be a list of 1 to 100"},
        {R"({"phase": [{"duration": "1m"}]})", "phase: is not a member a plan may have"},
        {R"({"name": 3, "phases": [{"duration": "1m"}]})", "name: must be a string"},
        {R"({"phases": [{"duration": "1m"}, 7]})", "phases[1]: must be an object"},
        {R"({"phases": [{"load": "avx2"}]})", "phases[0]: has no duration"},
        {R"({"phases": [{"duration": "10x"}]})", "phases[0].duration: must be a time"},
        {R"({"phases": [{"duration": 1.5}]})", "phases[0].duration"},
        {R"({"phases": [{"duration": "1m", "load": "sse"}]})", "phases[0].load: must be widest, avx512, avx2, builtin, cache or memory"},
        {R"({"phases": [{"duration": "1m", "threads": 0}]})", "phases[0].threads: must be a whole number from 1 to 1024"},
        {R"({"phases": [{"duration": "1m", "threads": 2.5}]})", "phases[0].threads"},
        {R"({"phases": [{"duration": "1m", "threads": "all"}]})", "phases[0].threads"},
        {R"({"phases": [{"duration": "1m", "cycle": 0}]})", "phases[0].cycle: must be whole seconds"},
        {R"({"phases": [{"duration": "1m", "cycle": 5, "threads": 2}]})", "phases[0]: has both threads and cycle"},
        {R"({"phases": [{"duration": "1m", "thread": 2}]})", "phases[0].thread: is not a member a phase may have"},
        {R"({"phases": [{"duration": "1m", "variable": 5}]})", "phases[0].variable: must be an object"},
        {R"({"phases": [{"duration": "1m", "variable": {"period": "5ms", "on": 0.5}}]})", "phases[0].variable.period"},
        {R"({"phases": [{"duration": "1m", "variable": {"period": "11s", "on": 0.5}}]})", "phases[0].variable.period"},
        {R"({"phases": [{"duration": "1m", "variable": {"period": "1s", "on": 1}}]})", "phases[0].variable.on"},
        {R"({"phases": [{"duration": "1m", "variable": {"period": "1s"}}]})", "phases[0].variable.on"},
        {R"({"phases": [{"duration": "1m", "variable": {"period": "1s", "on": 0.5, "off": 1}}]})", "phases[0].variable.off"},
    };
    for (const Case& c : cases) {
        TestPlan plan;
        plan.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParsePlan(c.text, "x", &plan, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n gave: " << error;
        EXPECT_EQ(plan.name, "untouched") << "a plan with a mistake leaves nothing behind";
    }
}

TEST(PlanFile, AFileThatIsNotThereOrNotAFileIsRefused) {
    TestPlan plan;
    std::string error;
    EXPECT_FALSE(FindPlan(testing::TempDir() + "no-such-plan.json", 2, kWide, &plan, &error));
    EXPECT_NE(error.find("no-such-plan.json"), std::string::npos) << error;
    EXPECT_FALSE(FindPlan(testing::TempDir(), 2, kWide, &plan, &error)) << "a folder";
    EXPECT_TRUE(FindPlan("quick", 2, kWide, &plan, &error));
}
