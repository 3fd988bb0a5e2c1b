// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Text.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace platform {

std::string toUtf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString fromUtf8(std::string_view text)
{
    // QString::fromUtf8 drops a leading byte-order mark; here the bytes are
    // a value (a folder, a name), and U+FEFF in front is part of it: a value
    // written and read back must be the same.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

std::string toUtf8Fitting(const QString& text, std::size_t bufferBytes)
{
    std::string bytes = toUtf8(text);
    if (bytes.size() >= bufferBytes)
        return {};
    return bytes;
}

std::size_t copyTruncated(std::string_view text, char* buffer, std::size_t bufferBytes)
{
    if (buffer == nullptr || bufferBytes == 0)
        return 0;
    std::size_t length = std::min(text.size(), bufferBytes - 1);
    if (length < text.size()) {
        // Step back over continuation bytes so that the cut falls before the
        // first byte of a character (a UTF-8 character has at most 4 bytes).
        std::size_t stepped = 0;
        while (length > 0 && stepped < 3 &&
               (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
            ++stepped;
        }
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

}  // namespace platform
