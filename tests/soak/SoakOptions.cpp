// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoakOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace {

struct Setting {
    std::string_view option;  // without the value: "--login-cycles"
    const char* variable;
    int SoakOptions::*field;
    int minValue;
    int maxValue;
};

constexpr std::array<Setting, 5> kSettings{{
    {"--login-cycles", "VELK_SOAK_LOGIN_CYCLES", &SoakOptions::loginCycles, 1, 1000000},
    {"--open-cycles", "VELK_SOAK_OPEN_CYCLES", &SoakOptions::openCycles, 1, 1000000},
    {"--sample-every", "VELK_SOAK_SAMPLE_EVERY", &SoakOptions::sampleEvery, 0, 1000000},
    {"--warmup", "VELK_SOAK_WARMUP", &SoakOptions::warmupCycles, 0, 1000000},
    {"--stream-type", "VELK_SOAK_STREAM_TYPE", &SoakOptions::streamType, 0, 2},
}};

bool setValue(const Setting& setting, std::string_view text, SoakOptions& options, std::string& message)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < setting.minValue ||
        value > setting.maxValue) {
        message = std::string(setting.option) + ": '" + std::string(text) + "' is not a number in " +
                  std::to_string(setting.minValue) + ".." + std::to_string(setting.maxValue);
        return false;
    }
    options.*setting.field = value;
    return true;
}

}  // namespace

int SoakOptions::sampleEveryFor(int cycles) const
{
    return sampleEvery > 0 ? sampleEvery : std::max(1, cycles / 10);
}

int SoakOptions::warmupFor(int cycles) const
{
    const int wanted = warmupCycles > 0 ? warmupCycles : std::max(5, cycles / 10);
    return std::clamp(wanted, 1, std::max(1, cycles - 1));
}

bool parseSoakOptions(int& argc, char** argv, SoakOptions& options, std::string& message)
{
    for (const Setting& setting : kSettings)
        if (const char* value = std::getenv(setting.variable); value && *value)
            if (!setValue(setting, value, options, message))
                return false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const Setting* match = nullptr;
        for (const Setting& setting : kSettings)
            if (arg.substr(0, setting.option.size()) == setting.option)
                match = &setting;
        if (!match) {
            argv[kept++] = argv[i];
            continue;
        }
        std::string_view value;
        if (arg.size() > match->option.size() && arg[match->option.size()] == '=') {
            value = arg.substr(match->option.size() + 1);
        } else if (arg.size() == match->option.size() && i + 1 < argc) {
            value = argv[++i];
        } else {
            message = "option " + std::string(arg) + " needs a value (" + std::string(match->option) + "=N)";
            return false;
        }
        if (!setValue(*match, value, options, message))
            return false;
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}

SoakOptions& soakOptions()
{
    static SoakOptions options;
    return options;
}
