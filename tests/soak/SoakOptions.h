// SPDX-License-Identifier: GPL-3.0-or-later
// How long a soak runs: cycle counts, how often figures are taken and how
// many cycles warm up first. Environment variables set them, and options on
// the command line override those:
//   --login-cycles=N   VELK_SOAK_LOGIN_CYCLES   login/logout cycles (default 50)
//   --open-cycles=N    VELK_SOAK_OPEN_CYCLES    open-all/close-all cycles (default 50;
//                                               12 under ThreadSanitizer)
//   --sample-every=N   VELK_SOAK_SAMPLE_EVERY   figures every N cycles (default: a tenth)
//   --warmup=N         VELK_SOAK_WARMUP         cycles before the reference figures
//                                               (default: a tenth, at least 5)
//   --stream-type=T    VELK_SOAK_STREAM_TYPE    0 main, 1 sub, 2 third (default 0)
#pragma once

#include <string>

// Under ThreadSanitizer every step of the control costs several times as
// much; the short soak opens its channels fewer times there.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kDefaultOpenCycles = 12;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr int kDefaultOpenCycles = 12;
#else
inline constexpr int kDefaultOpenCycles = 50;
#endif
#else
inline constexpr int kDefaultOpenCycles = 50;
#endif

struct SoakOptions {
    int loginCycles = 50;
    int openCycles = kDefaultOpenCycles;
    int sampleEvery = 0;   // 0: a tenth of the cycles
    int warmupCycles = 0;  // 0: a tenth of the cycles, at least 5
    int streamType = 0;

    // Figures are taken after these cycles, for a run of this many cycles.
    int sampleEveryFor(int cycles) const;
    // The warm-up ends after this cycle; never after the last one when
    // there are two or more.
    int warmupFor(int cycles) const;
};

// Reads the environment, then takes the soak's options out of argv (the
// rest stays for GoogleTest). False, with a message, on a missing or bad
// value.
bool parseSoakOptions(int& argc, char** argv, SoakOptions& options, std::string& message);

// The options of this run (set by the main).
SoakOptions& soakOptions();
