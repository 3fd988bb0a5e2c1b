// SPDX-License-Identifier: GPL-3.0-or-later
// Who may watch which channel, and which channels encode a sub stream.
// Set from the command line (--deny, --substream-off) and changed at run
// time through /sim/deny, /sim/allow and /sim/substream.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace velk::recorder {

class ChannelPolicy {
public:
    void deny(const std::string& user, std::uint32_t channel) { m_denied.emplace(user, channel); }
    void allow(const std::string& user, std::uint32_t channel) { m_denied.erase({user, channel}); }
    bool mayView(const std::string& user, std::uint32_t channel) const { return !m_denied.count({user, channel}); }

    void setSubstreamEncoded(std::uint32_t channel, bool encoded)
    {
        if (encoded)
            m_noSubstream.erase(channel);
        else
            m_noSubstream.insert(channel);
    }
    bool substreamEncoded(std::uint32_t channel) const { return !m_noSubstream.count(channel); }

    // 0 when user may open this stream type of channel; else the detail
    // code of the refusal (no right; sub stream not encoded). Channel and
    // type ranges are checked by the caller.
    std::int32_t check(const std::string& user, std::uint32_t channel, std::uint32_t streamType) const;

private:
    std::set<std::pair<std::string, std::uint32_t>> m_denied;
    std::set<std::uint32_t> m_noSubstream;
};

}  // namespace velk::recorder
