#include "plan/plan_file.h"

#include <cmath>
#include <filesystem>

#include "platform/files.h"
#include "platform/json.h"

namespace {

constexpr std::size_t kLargestPlanFile = 1 << 20;
constexpr std::size_t kMostPhases = 100;
constexpr unsigned kMostThreads = 1024;
constexpr unsigned kLongestCycle = 86400;
constexpr double kShortestPeriod = 0.010, kLongestPeriod = 10.0;
constexpr double kSmallestOnShare = 0.05, kLargestOnShare = 0.95;

using Object = JsonValue::Object;

const JsonValue* Member(const Object& object, const std::string& key) {
    const JsonValue* found = nullptr;
    for (const auto& [name, value] : object)
        if (name == key) found = &value;  // the last one given, as JSON readers do
    return found;
}

const std::string* AsString(const JsonValue* value) { return value != nullptr ? std::get_if<std::string>(&value->Value()) : nullptr; }
const double* AsNumber(const JsonValue* value) { return value != nullptr ? std::get_if<double>(&value->Value()) : nullptr; }

// Reading one phase; the first mistake wins, with its place.
class PhaseReader {
public:
    PhaseReader(const Object& object, std::string place, std::string* error) : m_object(object), m_place(std::move(place)), m_error(error) {}

    bool Read(PlanPhase* phase) {
        static const char* const kKnown[] = {"name", "load", "threads", "cycle", "duration", "variable"};
        for (const auto& [key, value] : m_object) {
            bool known = false;
            for (const char* name : kKnown) known = known || key == name;
            if (!known) return Fail(m_place + "." + key, "is not a member a phase may have (name, load, threads, cycle, duration, variable)");
        }
        RunSettings& settings = phase->settings;
        if (const JsonValue* name = Member(m_object, "name")) {
            if (AsString(name) == nullptr) return Fail(m_place + ".name", "must be a string");
            phase->name = *AsString(name);
        }
        if (const JsonValue* load = Member(m_object, "load")) {
            const std::string* text = AsString(load);
            bool found = false;
            for (LoadChoice choice : {LoadChoice::Widest, LoadChoice::Avx512, LoadChoice::Avx2Fma, LoadChoice::Builtin,
                                      LoadChoice::Cache, LoadChoice::Memory}) {
                if (text != nullptr && *text == LoadChoiceKey(choice)) {
                    settings.load = choice;
                    found = true;
                }
            }
            if (!found) return Fail(m_place + ".load", "must be widest, avx512, avx2, builtin, cache or memory");
        }
        const JsonValue* threads = Member(m_object, "threads");
        const JsonValue* cycle = Member(m_object, "cycle");
        if (threads != nullptr && cycle != nullptr) return Fail(m_place, "has both threads and cycle: core cycling runs one worker");
        if (threads != nullptr && !Whole(threads, 1, kMostThreads, "auto", &settings.threads))
            return Fail(m_place + ".threads", "must be a whole number from 1 to " + std::to_string(kMostThreads) + ", or \"auto\"");
        if (cycle != nullptr && !Whole(cycle, 1, kLongestCycle, nullptr, &settings.cycleSeconds))
            return Fail(m_place + ".cycle", "must be whole seconds from 1 to " + std::to_string(kLongestCycle));
        const JsonValue* duration = Member(m_object, "duration");
        if (duration == nullptr) return Fail(m_place, "has no duration");
        const std::string* durationText = AsString(duration);
        const double* durationNumber = AsNumber(duration);
        const bool durationRead = durationText != nullptr ? ParseDuration(*durationText, &settings.durationSeconds)
                                  : durationNumber != nullptr
                                      ? *durationNumber == std::floor(*durationNumber) &&
                                            ParseDuration(std::to_string(static_cast<long long>(*durationNumber)), &settings.durationSeconds)
                                      : false;
        if (!durationRead) return Fail(m_place + ".duration", "must be a time such as 90s, 10m, 2h or 1h30m (up to a year), or whole seconds");
        if (const JsonValue* variable = Member(m_object, "variable")) return ReadVariable(*variable, &settings);
        return true;
    }

private:
    bool Fail(const std::string& place, const std::string& what) {
        if (m_error != nullptr) *m_error = place + ": " + what;
        return false;
    }

    // A whole number from lowest to highest, or the word that stands for 0.
    static bool Whole(const JsonValue* value, unsigned lowest, unsigned highest, const char* zeroWord, unsigned* out) {
        if (const std::string* text = AsString(value)) {
            if (zeroWord == nullptr || *text != zeroWord) return false;
            *out = 0;
            return true;
        }
        const double* number = AsNumber(value);
        if (number == nullptr || *number != std::floor(*number) || *number < lowest || *number > highest) return false;
        *out = static_cast<unsigned>(*number);
        return true;
    }

    // "10ms", "250ms", "1s", "2.5s".
    static bool Period(const std::string& text, double* seconds) {
        const bool milliseconds = text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0;
        const bool whole = !milliseconds && text.size() > 1 && text.back() == 's';
        if (!milliseconds && !whole) return false;
        const std::string number = text.substr(0, text.size() - (milliseconds ? 2 : 1));
        if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) return false;
        char* end = nullptr;
        const double value = std::strtod(number.c_str(), &end);
        if (end != number.c_str() + number.size() || !std::isfinite(value)) return false;
        *seconds = milliseconds ? value / 1000.0 : value;
        return true;
    }

    bool ReadVariable(const JsonValue& variable, RunSettings* settings) {
        const Object* members = std::get_if<Object>(&variable.Value());
        const std::string place = m_place + ".variable";
        if (members == nullptr) return Fail(place, "must be an object with period and on");
        for (const auto& [key, value] : *members)
            if (key != "period" && key != "on") return Fail(place + "." + key, "is not a member of variable (period, on)");
        const std::string* period = AsString(Member(*members, "period"));
        double seconds = 0.0;
        if (period == nullptr || !Period(*period, &seconds) || seconds < kShortestPeriod || seconds > kLongestPeriod)
            return Fail(place + ".period", "must be a time from 10ms to 10s, such as \"100ms\" or \"2s\"");
        const double* on = AsNumber(Member(*members, "on"));
        if (on == nullptr || *on < kSmallestOnShare || *on > kLargestOnShare)
            return Fail(place + ".on", "must be the share of each period that works, from 0.05 to 0.95");
        settings->variablePeriodSeconds = seconds;
        settings->variableOnShare = *on;
        return true;
    }

    const Object& m_object;
    std::string m_place;
    std::string* m_error;
};

}  // namespace

bool ParsePlan(const std::string& text, const std::string& name, TestPlan* plan, std::string* error) {
    JsonValue document;
    std::string problem;
    if (!ParseJson(text, &document, &problem)) {
        if (error != nullptr) *error = problem;
        return false;
    }
    const Object* top = std::get_if<Object>(&document.Value());
    auto fail = [error](const std::string& what) {
        if (error != nullptr) *error = what;
        return false;
    };
    if (top == nullptr) return fail("the plan must be an object with \"phases\"");
    for (const auto& [key, value] : *top)
        if (key != "name" && key != "phases") return fail(key + ": is not a member a plan may have (name, phases)");
    TestPlan read;
    read.name = name;
    if (const JsonValue* given = Member(*top, "name")) {
        if (AsString(given) == nullptr || AsString(given)->empty()) return fail("name: must be a string that is not empty");
        read.name = *AsString(given);
    }
    const JsonValue* phases = Member(*top, "phases");
    const JsonValue::Array* list = phases != nullptr ? std::get_if<JsonValue::Array>(&phases->Value()) : nullptr;
    if (list == nullptr || list->empty() || list->size() > kMostPhases)
        return fail("phases: must be a list of 1 to " + std::to_string(kMostPhases) + " phases");
    for (std::size_t index = 0; index < list->size(); ++index) {
        const std::string place = "phases[" + std::to_string(index) + "]";
        const Object* members = std::get_if<Object>(&(*list)[index].Value());
        if (members == nullptr) return fail(place + ": must be an object");
        PlanPhase phase;
        phase.name = "phase " + std::to_string(index + 1);
        if (!PhaseReader(*members, place, error).Read(&phase)) return false;
        read.phases.push_back(std::move(phase));
    }
    if (plan != nullptr) *plan = std::move(read);
    return true;
}

bool ReadPlanFile(const std::string& path, TestPlan* plan, std::string* error) {
    std::string text;
    if (!ReadSmallFile(path, kLargestPlanFile, &text, error)) return false;
    std::string problem;
    if (ParsePlan(text, std::filesystem::path(path).stem().string(), plan, &problem)) return true;
    if (error != nullptr) *error = path + ": " + problem;
    return false;
}

bool FindPlan(const std::string& nameOrPath, unsigned processors, const ProcessorTraits& traits, TestPlan* plan,
              std::string* error) {
    if (BuiltinPlan(nameOrPath, processors, traits, plan)) return true;
    return ReadPlanFile(nameOrPath, plan, error);
}
