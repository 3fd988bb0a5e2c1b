// SPDX-License-Identifier: GPL-3.0-or-later
// The command line every benchmark takes: "--name N" pairs of whole
// numbers (--seconds, --rounds, --channels, --frames, ...), each with a
// default given by the program. Unknown names and bad numbers are errors.
#pragma once

#include <map>
#include <string>

namespace bench {

class BenchOptions {
public:
    // name -> (default, what it means) for the usage text.
    struct Option {
        long long value;
        std::string help;
    };

    explicit BenchOptions(std::map<std::string, Option> defaults) : m_options(std::move(defaults)) {}

    // False with a message on stderr (and the usage) for a bad command line;
    // --help prints the usage and sets helpShown.
    bool parse(int argc, char** argv);
    bool helpShown() const { return m_helpShown; }
    long long get(const std::string& name) const { return m_options.at(name).value; }

private:
    void usage(const char* program) const;

    std::map<std::string, Option> m_options;
    bool m_helpShown = false;
};

}  // namespace bench
