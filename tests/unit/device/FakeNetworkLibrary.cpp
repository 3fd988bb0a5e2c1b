// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNetworkLibrary.h"

#include <algorithm>
#include <cstring>

FakeNetworkLibrary* FakeNetworkLibrary::s_current = nullptr;

FakeNetworkLibrary::FakeNetworkLibrary()
{
    s_current = this;
    m_previous = setCommandFunction(&FakeNetworkLibrary::entry);
}

FakeNetworkLibrary::~FakeNetworkLibrary()
{
    setCommandFunction(m_previous);
    s_current = nullptr;
}

std::int32_t FakeNetworkLibrary::entry(const char* text, std::uint32_t* handleOut, char* response,
                                       std::uint32_t responseSize, std::uint32_t* detailOut)
{
    FakeNetworkLibrary& self = *s_current;
    FakeCall call;
    call.text = text;
    call.handleGiven = handleOut != nullptr;
    call.detailGiven = detailOut != nullptr;
    call.detailOnEntry = detailOut ? *detailOut : 0xFFFFFFFFu;
    call.responseSize = responseSize;
    self.m_calls.push_back(call);

    if (handleOut) {
        *handleOut = self.m_answer.handle;
    }
    if (detailOut) {
        *detailOut = self.m_answer.detail;
    }
    if (response && responseSize > 0) {
        std::memcpy(response, self.m_answer.response.data(),
                    std::min<std::size_t>(responseSize, self.m_answer.response.size()));
    }
    return self.m_answer.result;
}
