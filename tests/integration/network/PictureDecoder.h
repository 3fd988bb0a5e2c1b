// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes H.264 access units (Annex B) with libavcodec into pictures whose
// pixels tests can read: the recorder's streams seen as a viewer sees them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace nettest {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y, cb, cr;  // 4:2:0, no padding

    std::uint8_t luma(int x, int row) const { return y[std::size_t(row) * width + x]; }
    std::uint8_t blue(int x, int row) const { return cb[std::size_t(row / 2) * (width / 2) + x / 2]; }
    std::uint8_t red(int x, int row) const { return cr[std::size_t(row / 2) * (width / 2) + x / 2]; }
    // The mean luma of a rectangle (clipped to the picture).
    double meanLuma(int x, int top, int w, int h) const;
    // How many pixels of the rectangle have a luma of at least value.
    int countBrighter(int x, int top, int w, int h, std::uint8_t value) const;
};

class PictureDecoder {
public:
    PictureDecoder();
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    bool ready() const;
    // Decodes one access unit; true when a picture came out (then last()).
    bool decode(std::span<const std::uint8_t> accessUnit);
    const DecodedPicture& last() const { return m_last; }
    int errors() const { return m_errors; }

private:
    struct Codec;
    std::unique_ptr<Codec> m_codec;
    DecodedPicture m_last;
    int m_errors = 0;
};

}  // namespace nettest
