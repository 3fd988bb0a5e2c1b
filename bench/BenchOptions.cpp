// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

void BenchOptions::usage(const char* program) const
{
    std::fprintf(stderr, "usage: %s", program);
    for (const auto& [name, option] : m_options)
        std::fprintf(stderr, " [--%s N]", name.c_str());
    std::fprintf(stderr, "\n");
    for (const auto& [name, option] : m_options)
        std::fprintf(stderr, "  --%-10s %s (default %lld)\n", name.c_str(), option.help.c_str(), option.value);
}

bool BenchOptions::parse(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            usage(argv[0]);
            m_helpShown = true;
            return true;
        }
        const auto it = std::strncmp(arg, "--", 2) == 0 ? m_options.find(arg + 2) : m_options.end();
        if (it == m_options.end() || i + 1 >= argc) {
            std::fprintf(stderr, "%s: unknown option or missing value: %s\n", argv[0], arg);
            usage(argv[0]);
            return false;
        }
        const char* text = argv[++i];
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (errno != 0 || end == text || *end != '\0' || value < 0) {
            std::fprintf(stderr, "%s: %s takes a whole number >= 0, not %s\n", argv[0], arg, text);
            return false;
        }
        it->second.value = value;
    }
    return true;
}

}  // namespace bench
