#include "app/kept_settings.h"

#include <charconv>

#include "app/ferrox_app.h"
#include "cli/command_line_options.h"

namespace {

constexpr unsigned kMenuThreadCounts[] = {1, 2, 4, 8, 16};
constexpr unsigned kMenuCyclePeriods[] = {10, 60, 300, 600};
constexpr PriorityChoice kPriorities[] = {PriorityChoice::Low, PriorityChoice::Normal, PriorityChoice::High, PriorityChoice::Realtime};
constexpr LoadChoice kLoads[] = {LoadChoice::Builtin, LoadChoice::Avx2Fma, LoadChoice::Avx512,
                                 LoadChoice::Widest,  LoadChoice::Cache,   LoadChoice::Memory};
constexpr unsigned kMenuMemoryPercents[] = {10, 25, 50, 70};
constexpr unsigned kMenuLimits[] = {80, 85, 90, 95};

const char* Flag(bool on) { return on ? "true" : "false"; }

bool Whole(const std::string& text, unsigned* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

template <std::size_t N>
bool OneOf(unsigned value, const unsigned (&allowed)[N]) {
    for (unsigned candidate : allowed)
        if (candidate == value) return true;
    return false;
}

// Reads the setting name with parse; a value parse refuses is noted and leaves the default.
template <typename Parse>
void Take(const SettingsValues& values, const char* name, Parse parse, std::vector<std::string>* notes) {
    const auto found = values.find(name);
    if (found == values.end() || parse(found->second)) return;
    if (notes != nullptr)
        notes->push_back(std::string("the kept setting ") + name + "=" + found->second + " is not one Ferrox knows: its default is used");
}

bool ParseFlag(const std::string& text, bool* flag) {
    if (text != "true" && text != "false") return false;
    *flag = text == "true";
    return true;
}

}  // namespace

SettingsValues KeptSettingsValues(const KeptSettings& kept) {
    return {
        {"threads", kept.threads == 0 ? std::string("auto") : std::to_string(kept.threads)},
        {"cycling", Flag(kept.cycling)},
        {"cycle_period", std::to_string(kept.cyclePeriodSeconds)},
        {"priority", PriorityChoiceKey(kept.priority)},
        {"load", LoadChoiceKey(kept.load)},
        {"memory_size", kept.memoryPercent > 0 ? std::to_string(static_cast<unsigned>(kept.memoryPercent)) : std::string("default")},
        {"max_temperature", kept.maxCelsius == kLimitFromSensors ? std::string("sensors")
                            : kept.maxCelsius == kNoLimit        ? std::string("none")
                                                                 : std::to_string(static_cast<unsigned>(kept.maxCelsius))},
        {"pin", Flag(kept.pin)},
        {"stop_on_error", Flag(kept.stopOnError)},
        {"animated", Flag(kept.animated)},
    };
}

KeptSettings KeptSettingsFrom(const SettingsValues& values, std::vector<std::string>* notes) {
    KeptSettings kept;
    // A file that holds something, but none of these, is not Ferrox's settings.
    const SettingsValues known = KeptSettingsValues(kept);
    bool any = values.empty();
    for (const auto& [name, value] : values) any = any || known.count(name) > 0;
    if (!any && notes != nullptr) notes->push_back("the kept settings hold none of Ferrox's settings: the defaults are used");
    Take(values, "threads", [&](const std::string& text) {
        unsigned count = 0;
        if (text == "auto") count = 0;
        else if (!Whole(text, &count) || !OneOf(count, kMenuThreadCounts)) return false;
        kept.threads = count;
        return true;
    }, notes);
    Take(values, "cycling", [&](const std::string& text) { return ParseFlag(text, &kept.cycling); }, notes);
    Take(values, "cycle_period", [&](const std::string& text) {
        unsigned seconds = 0;
        if (!Whole(text, &seconds) || !OneOf(seconds, kMenuCyclePeriods)) return false;
        kept.cyclePeriodSeconds = seconds;
        return true;
    }, notes);
    Take(values, "priority", [&](const std::string& text) {
        for (PriorityChoice choice : kPriorities) {
            if (text != PriorityChoiceKey(choice)) continue;
            kept.priority = choice;
            return true;
        }
        return false;
    }, notes);
    Take(values, "load", [&](const std::string& text) {
        for (LoadChoice choice : kLoads) {
            if (text != LoadChoiceKey(choice)) continue;
            kept.load = choice;
            return true;
        }
        return false;
    }, notes);
    Take(values, "memory_size", [&](const std::string& text) {
        unsigned percent = 0;
        if (text == "default") percent = 0;
        else if (!Whole(text, &percent) || !OneOf(percent, kMenuMemoryPercents)) return false;
        kept.memoryPercent = percent;
        return true;
    }, notes);
    Take(values, "max_temperature", [&](const std::string& text) {
        unsigned celsius = 0;
        if (text == "sensors") kept.maxCelsius = kLimitFromSensors;
        else if (text == "none") kept.maxCelsius = kNoLimit;
        else if (Whole(text, &celsius) && OneOf(celsius, kMenuLimits)) kept.maxCelsius = celsius;
        else return false;
        return true;
    }, notes);
    Take(values, "pin", [&](const std::string& text) { return ParseFlag(text, &kept.pin); }, notes);
    Take(values, "stop_on_error", [&](const std::string& text) { return ParseFlag(text, &kept.stopOnError); }, notes);
    Take(values, "animated", [&](const std::string& text) { return ParseFlag(text, &kept.animated); }, notes);
    return kept;
}

WindowStart PrepareWindowStart(const CommandLine& line, const std::string& location, const ProcessorTraits& traits) {
    WindowStart start;
    std::string problem;
    if (line.resetSettings) {
        if (!ForgetSettings(location, &problem)) start.notes.push_back("--reset-settings: the kept settings could not be removed: " + problem);
    } else if (!location.empty()) {
        SettingsValues values;
        if (!ReadSettings(location, &values, &problem))
            start.notes.push_back("the settings kept from earlier runs could not be read (" + problem + "): " +
                                  (values.empty() ? "the defaults are used" : "the others are used"));
        start.kept = KeptSettingsFrom(values, &start.notes);
    }
    const KeptSettings& kept = start.kept;
    // What the menus do not keep (limits, memory size, duration) comes from the command line alone.
    RunSettings& run = start.options.run;
    run = line.run;
    run.threads = kept.cycling ? 0 : kept.threads;
    run.cycleSeconds = kept.cycling ? kept.cyclePeriodSeconds : 0;
    run.priority = kept.priority;
    run.load = kept.load;
    if (kept.memoryPercent > 0) run.memory = MemorySizeRequest{MemorySizeRequest::Kind::Percent, 0, kept.memoryPercent};
    run.maxCelsius = kept.maxCelsius;
    run.pin = kept.pin;
    run.stopOnError = kept.stopOnError;
    start.options.animated = kept.animated;
    start.options.cyclePeriodSeconds = kept.cyclePeriodSeconds;
    // A load kept on another machine (or before a change of processor) that this one cannot run.
    if (!ChooseKernel(run.load, traits, nullptr)) {
        start.notes.push_back(std::string("the kept load ") + LoadChoiceKey(run.load) +
                              " cannot run on this processor: the widest it runs is used");
        run.load = LoadChoice::Widest;
    }

    // The command line's options go over the kept settings, for this run only.
    const auto given = [&](const char* name) {
        for (const std::string& option : line.given)
            if (option == name) return true;
        return false;
    };
    if (given("threads")) {
        run.threads = line.run.threads;
        run.cycleSeconds = 0;
    }
    if (given("cycle")) run.cycleSeconds = line.run.cycleSeconds;
    if (given("priority")) run.priority = line.run.priority;
    if (given("load")) run.load = line.run.load;
    if (given("memory")) run.memory = line.run.memory;
    if (given("max-temperature")) run.maxCelsius = line.run.maxCelsius;
    if (given("pin") || given("no-pin")) run.pin = line.run.pin;
    if (given("stop-on-error")) run.stopOnError = true;
    if (given("no-animation")) start.options.animated = false;
    run.durationSeconds = line.run.durationSeconds;
    start.options.minimized = line.minimized;
    start.options.closeAtEnd = line.closeAtEnd;
    return start;
}
