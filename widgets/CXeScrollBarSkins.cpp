// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CXeScrollBarSkins.h"

#include "resources/SkinPath.h"

#include <QFile>

namespace {

const char* const kNames[CXeScrollBarSkins::kCount] = {
    "XSB_H_UP", "XSB_H_HOT", "XSB_H_DN", "XSB_H_DIS", "XSB_V_UP", "XSB_V_HOT", "XSB_V_DN", "XSB_V_DIS",
};

const QString kResourceFolder = QStringLiteral(":/skins/");

}  // namespace

CXeScrollBarSkins::Shared& CXeScrollBarSkins::shared()
{
    static Shared s;
    return s;
}

QString CXeScrollBarSkins::name(int index)
{
    return index >= 0 && index < kCount ? QString::fromLatin1(kNames[index]) : QString();
}

void CXeScrollBarSkins::acquire()
{
    Shared& s = shared();
    if (s.users++ > 0)
        return;
    const QString folder = s.folder.isEmpty() ? kResourceFolder : s.folder;
    qreal ratio = s.ratio;
    if (ratio <= 0)
        ratio = skinsAtTwiceTheSize() ? 2.0 : 1.0;
    for (int i = 0; i < kCount; ++i)
        s.strips[static_cast<std::size_t>(i)] = load(folder, name(i), ratio);
}

void CXeScrollBarSkins::release()
{
    Shared& s = shared();
    if (s.users == 0 || --s.users > 0)
        return;
    for (QImage& strip : s.strips)
        strip = QImage();
}

int CXeScrollBarSkins::users()
{
    return shared().users;
}

const QImage& CXeScrollBarSkins::strip(int index)
{
    static const QImage none;
    if (index < 0 || index >= kCount)
        return none;
    return shared().strips[static_cast<std::size_t>(index)];
}

QImage CXeScrollBarSkins::load(const QString& folder, const QString& name, qreal ratio)
{
    if (ratio > 1) {
        const QString path = folder + name + QStringLiteral("@2x.png");
        if (QFile::exists(path)) {
            QImage image(path, "PNG");
            if (!image.isNull()) {
                image.setDevicePixelRatio(2.0);
                return image;
            }
        }
    }
    return QImage(folder + name + QStringLiteral(".png"), "PNG");
}

void CXeScrollBarSkins::setSourceForTests(const QString& folder, qreal ratio)
{
    shared().folder = folder;
    shared().ratio = ratio;
}
