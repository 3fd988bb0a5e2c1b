// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChannelPolicy.h"

#include "proto/DetailCode.h"
#include "proto/StreamMessages.h"

namespace velk::recorder {

std::int32_t ChannelPolicy::check(const std::string& user, std::uint32_t channel, std::uint32_t streamType) const
{
    if (!mayView(user, channel))
        return proto::kDetailNoRight;
    if (streamType == proto::kSubStreamType && !substreamEncoded(channel))
        return proto::kDetailSubstreamNotEncoded;
    return proto::kDetailNone;
}

}  // namespace velk::recorder
