// SPDX-License-Identifier: GPL-3.0-or-later
// The eight bitmap strips every skinned scroll bar draws from, shared by all
// instances: the first bar constructed loads them, the last one destroyed
// releases them. Each strip lies along the bar's axis: first arrow 0..17,
// track 17..27, thumb 27..51, track 51..61, second arrow 61..78 (logical
// pixels; a 2x strip holds them at twice the offsets). UI thread only.
#pragma once

#include <QImage>
#include <QString>

#include <array>

class CXeScrollBarSkins {
public:
    enum State { Normal = 0, Hot = 1, Pressed = 2, Disabled = 3 };
    static constexpr int kCount = 8;  // horizontal states 0..3, vertical 4..7

    // Resource name of a strip: XSB_H_UP, XSB_H_HOT, XSB_H_DN, XSB_H_DIS,
    // then XSB_V_*.
    static QString name(int index);
    static int index(bool horizontal, State state) { return state + (horizontal ? 0 : 4); }

    // Counted sharing; acquire loads on the first user, release drops the
    // strips with the last.
    static void acquire();
    static void release();
    static int users();
    // A strip (a null image when it is missing or nobody holds the strips).
    static const QImage& strip(int index);

    // Reads folder + NAME.png, or NAME@2x.png with devicePixelRatio 2 when
    // ratio > 1 (the 1x file when there is no 2x one). A missing file or
    // bytes that are not a PNG give a null image.
    static QImage load(const QString& folder, const QString& name, qreal ratio);

    // Where the next first acquire reads from: the folder (":/skins/" when
    // empty) and the screen's ratio (qGuiApp's when 0). For tests.
    static void setSourceForTests(const QString& folder, qreal ratio);

private:
    struct Shared {
        int users = 0;
        std::array<QImage, kCount> strips;
        QString folder;
        qreal ratio = 0;
    };
    static Shared& shared();
};
