// SPDX-License-Identifier: GPL-3.0-or-later
// Weekly schedule texts: the text a page gives SetRecSchedule (converted to
// UTF-8 into the 4096-byte exchange buffer as the schedule window does,
// parsed, painted into the week store and written back) and the recorder's
// rules for the texts it stores, including a stored file read back.
//
// Input: byte 0 bit 0 is the mode (0 alarm only, 1 typed); bit 1 also reads
// the text as a stored channel file. The rest is the text.
//
// Properties checked: a text the control loads writes a text that loads to
// the same week; the recorder's canonical form is stable and the control
// loads it to the same week as the original; the control (typed mode) and
// the recorder accept the same texts.
#include "FuzzCheck.h"

#include "recorder/ChannelScheduleStore.h"
#include "recorder/ScheduleRules.h"
#include "platform/Text.h"
#include "schedule/ScheduleStore.h"
#include "schedule/ScheduleText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace schedule;

namespace {

std::filesystem::path& dataFolder()
{
    static std::filesystem::path folder;
    return folder;
}

// The week a store holds, as the periods writeScheduleText would give.
WeekPeriods weekOf(const ScheduleStore& store, int mode)
{
    WeekPeriods week;
    FUZZ_CHECK(parseScheduleText(writeScheduleText(store, mode), mode, week));
    return week;
}

bool load(std::string_view text, int mode, ScheduleStore& store)
{
    WeekPeriods week;
    std::string error;
    if (!parseScheduleText(text, mode, week, &error)) {
        FUZZ_CHECK(!error.empty());
        return false;
    }
    for (int day = 0; day < kDays; ++day) {
        const DayPeriods& periods = week[static_cast<std::size_t>(day)];
        FUZZ_CHECK(periods.size() <= static_cast<std::size_t>(kMaxPeriodsPerDay));
        FUZZ_CHECK(store.setDayPeriods(day, periods));
        FUZZ_CHECK(store.recordingPeriodCount(day) <= kMaxPeriodsPerDay);
    }
    return true;
}

void readStoredFile(const std::string& content)
{
    const std::filesystem::path folder = dataFolder() / "schedules";
    {
        std::ofstream out(folder / "channel-3.json", std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    velk::recorder::ChannelScheduleStore store(dataFolder());
    std::string error;
    const std::optional<std::string> loaded = store.load(3, error);
    std::string canonical;
    std::string ruleError;
    const bool valid = velk::recorder::normaliseScheduleText(content, canonical, ruleError);
    FUZZ_CHECK(loaded.has_value() == valid);
    if (loaded)
        FUZZ_CHECK(*loaded == canonical);
    else
        FUZZ_CHECK(!error.empty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/velk-fuzz-schedule-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr)
        std::abort();
    dataFolder() = made;
    std::filesystem::create_directories(dataFolder() / "schedules");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(dataFolder(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int mode = data[0] & 1;
    const bool asStoredFile = (data[0] & 2) != 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    // The control: the page's text as a QString, into the exchange buffer.
    const std::string utf8 = platform::toUtf8Fitting(QString::fromUtf8(input), kScheduleTextBufferBytes);
    FUZZ_CHECK(utf8.size() < kScheduleTextBufferBytes);
    ScheduleStore store;
    const bool loaded = load(utf8, mode, store);
    if (loaded) {
        const std::string written = writeScheduleText(store, mode);
        ScheduleStore again;
        FUZZ_CHECK(load(written, mode, again));
        FUZZ_CHECK(writeScheduleText(again, mode) == written);
    }

    // The recorder's rules.
    std::string canonical;
    std::string error;
    const bool stored = velk::recorder::normaliseScheduleText(input, canonical, error);
    if (stored) {
        std::string twice;
        FUZZ_CHECK(velk::recorder::normaliseScheduleText(canonical, twice, error));
        FUZZ_CHECK(twice == canonical);
    } else {
        FUZZ_CHECK(!error.empty());
    }

    // The recorder stores what the control loads in typed mode, and the
    // control loads the stored form to the same week.
    if (input.size() <= velk::recorder::kMaxScheduleTextBytes) {
        ScheduleStore typed;
        const bool controlLoads = load(input, kModeTyped, typed);
        FUZZ_CHECK(controlLoads == stored);
        if (stored) {
            ScheduleStore fromCanonical;
            FUZZ_CHECK(load(canonical, kModeTyped, fromCanonical));
            FUZZ_CHECK(weekOf(fromCanonical, kModeTyped) == weekOf(typed, kModeTyped));
        }
    }

    if (asStoredFile)
        readStoredFile(input);
    return 0;
}
