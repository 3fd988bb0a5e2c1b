// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CGdiPlusBitmapResource.h"

#include "resources/SkinPath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr int kPngSignatureLength = 8;

}  // namespace

bool CGdiPlusBitmapResource::HasPngSignature(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArray::fromRawData(kPngSignature, kPngSignatureLength));
}

QString CGdiPlusBitmapResource::ResourcePath(const QString& name, qreal devicePixelRatio)
{
    return skinResourcePath(name, devicePixelRatio > 1);
}

void CGdiPlusBitmapResource::Empty()
{
    CGdiPlusBitmap::Empty();
    m_bytes.clear();
}

bool CGdiPlusBitmapResource::Load(const QString& name)
{
    return Load(name, skinsAtTwiceTheSize() ? 2.0 : 1.0);
}

bool CGdiPlusBitmapResource::Load(const QString& name, qreal devicePixelRatio)
{
    Empty();
    if (name.isEmpty())
        return false;
    if (devicePixelRatio > 1) {
        if (LoadPath(ResourcePath(name, 2), 2))
            return true;
        // A skin drawn only at 1x is still shown (scaled) rather than lost.
        if (QFile::exists(ResourcePath(name, 2)))
            return false;
    }
    return LoadPath(ResourcePath(name, 1), 1);
}

bool CGdiPlusBitmapResource::LoadPath(const QString& path, qreal imageRatio)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || !HasPngSignature(bytes))
        return false;
    // The image is decoded from the held copy of the bytes.
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    image.setDevicePixelRatio(imageRatio);
    m_bytes = std::move(bytes);
    m_bitmap = std::move(image);
    return true;
}
