// SPDX-License-Identifier: GPL-3.0-or-later
// A skin image decoded from the control's PNG resources. A skin NAME lives
// at ":/skins/NAME.png" and, drawn at twice the size for high-density
// screens, at ":/skins/NAME@2x.png"; the 2x picture is taken when the
// application's device pixel ratio is above 1 and is then marked with a
// device pixel ratio of 2, so its logical size is that of the 1x picture.
// The holder keeps a copy of the bytes it decoded the image from, for as
// long as it holds the image. UI thread (it asks the application for its
// device pixel ratio).
#pragma once

#include "widgets/CGdiPlusBitmap.h"

#include <QByteArray>
#include <QString>

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    CGdiPlusBitmapResource() = default;
    explicit CGdiPlusBitmapResource(const QString& name) { Load(name); }

    // Releases what is held, then loads the skin. False, and nothing held,
    // when the resource is missing, empty, not a PNG or does not decode.
    bool Load(const QString& name);
    // Same at a given device pixel ratio (above 1: the 2x picture), for
    // windows that know the ratio of the screen they are on.
    bool Load(const QString& name, qreal devicePixelRatio);
    void Empty() override;

    // The bytes the image was decoded from (empty when nothing is held).
    const QByteArray& Bytes() const { return m_bytes; }

    // The resource path of a skin at a device pixel ratio.
    static QString ResourcePath(const QString& name, qreal devicePixelRatio);
    // Whether bytes start with the PNG file signature.
    static bool HasPngSignature(const QByteArray& bytes);

private:
    bool LoadPath(const QString& path, qreal imageRatio);

    QByteArray m_bytes;
};
