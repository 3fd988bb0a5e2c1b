// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/VideoViewLayout.h"

#include <algorithm>

namespace preview {

int effectivePictureHeight(int pictureWidth, int pictureHeight)
{
    if (pictureWidth == 704 && pictureHeight == 240)
        return 480;
    if (pictureWidth == 704 && pictureHeight == 288)
        return 576;
    return pictureHeight;
}

QRect videoViewRect(const QRect& client, int shapeMode, int pictureWidth, int pictureHeight)
{
    const QRect area = client.adjusted(1, 1, -1, -1);
    const int areaWidth = std::max(0, area.width());
    const int areaHeight = std::max(0, area.height());
    const int height = effectivePictureHeight(pictureWidth, pictureHeight);
    if (shapeMode != 1 || pictureWidth <= 0 || height <= 0)
        return QRect(area.topLeft(), QSize(areaWidth, areaHeight));
    // The scale is the smaller of the two ratios; sizes are truncated, in
    // exact integer arithmetic.
    int shownWidth = areaWidth;
    int shownHeight = areaHeight;
    if (static_cast<long long>(areaWidth) * height <= static_cast<long long>(areaHeight) * pictureWidth)
        shownHeight = static_cast<int>(static_cast<long long>(height) * areaWidth / pictureWidth);
    else
        shownWidth = static_cast<int>(static_cast<long long>(pictureWidth) * areaHeight / height);
    const int left = area.left() + ((areaWidth - shownWidth) >> 1);
    const int top = area.top() + ((areaHeight - shownHeight) >> 1);
    return QRect(left, top, shownWidth, shownHeight);
}

}  // namespace preview
