// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a check that stops the run (libFuzzer then
// keeps the input as a crash) and the Qt application some targets need.
#pragma once

#include <cstdio>
#include <cstdlib>

// Stops with a message when a property every input must keep does not hold.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)
