// SPDX-License-Identifier: GPL-3.0-or-later
// velk-skin-painter OUTPUT_FOLDER [SHEET.png]: draws every skin image of the
// control and writes NAME.png and NAME@2x.png into the folder; with a second
// argument also one picture of every image at twice its 2x size on the bar's
// grey, to look at them together. The images in resources/skins are its
// output; change the drawing here and run scripts/render-skins.sh.
#include "SkinSets.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

namespace {

// Every image at 2x, shown twice as large, in rows of eight on the bar's grey.
QImage contactSheet(const std::vector<SkinImage>& images)
{
    constexpr int kPerRow = 8, kGap = 12, kZoom = 2;
    std::vector<QImage> pictures;
    for (const SkinImage& image : images)
        pictures.push_back(renderSkin(image, 2).scaled(image.logicalSize * 2 * kZoom));
    int width = 0, height = kGap;
    for (std::size_t start = 0; start < pictures.size(); start += kPerRow) {
        int rowWidth = kGap, rowHeight = 0;
        for (std::size_t i = start; i < std::min(pictures.size(), start + kPerRow); ++i) {
            rowWidth += pictures[i].width() + kGap;
            rowHeight = std::max(rowHeight, pictures[i].height());
        }
        width = std::max(width, rowWidth);
        height += rowHeight + kGap;
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(0x30, 0x32, 0x36));
    QPainter painter(&sheet);
    int y = kGap;
    for (std::size_t start = 0; start < pictures.size(); start += kPerRow) {
        int x = kGap, rowHeight = 0;
        for (std::size_t i = start; i < std::min(pictures.size(), start + kPerRow); ++i) {
            painter.drawImage(x, y, pictures[i]);
            x += pictures[i].width() + kGap;
            rowHeight = std::max(rowHeight, pictures[i].height());
        }
        y += rowHeight + kGap;
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: velk-skin-painter OUTPUT_FOLDER [SHEET.png]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    std::vector<SkinImage> images;
    for (auto family : {buttonSkins, scrollBarSkins, sliderSkins, backgroundSkins}) {
        auto more = family();
        images.insert(images.end(), more.begin(), more.end());
    }
    int written = 0;
    for (const SkinImage& image : images) {
        for (const int scale : {1, 2}) {
            const QString file = folder.filePath(image.name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
            if (!renderSkin(image, scale).save(file, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d images written to %s\n", written, argv[1]);
    if (argc == 3 && !contactSheet(images).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
