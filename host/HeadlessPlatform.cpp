// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HeadlessPlatform.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace host {

bool choosePlatform(bool forceHeadless, QSize controlSize, PlatformChoice& choice, QString& error,
                    double devicePixelRatio)
{
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool requestsOffscreen = requested.startsWith("offscreen");
    choice.headless = forceHeadless || requestsOffscreen || (!hasDisplay && requested.isEmpty());
    if (!choice.headless)
        return true;
    if (requestsOffscreen && requested.contains("configfile=") && !forceHeadless)
        return true;  // the caller configured the screen already

    // The configuration gives the screen in device pixels.
    const QSize screen = controlSize * devicePixelRatio;
    const QJsonObject config{
        {"synchronousWindowSystemEvents", false},
        // No window manager draws frames here: without margins, dialogs are
        // not surrounded by undrawn frame areas.
        {"windowFrameMargins", false},
        {"screens", QJsonArray{QJsonObject{{"name", "velk-dvr-host"},
                                           {"x", 0},
                                           {"y", 0},
                                           {"width", screen.width()},
                                           {"height", screen.height()},
                                           {"logicalDpi", 96},
                                           {"logicalBaseDpi", 96},
                                           {"dpr", devicePixelRatio}}}},
    };
    choice.configFile = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/velk-dvr-host-XXXXXX.json"));
    if (!choice.configFile->open()) {
        error = QStringLiteral("cannot write the offscreen screen configuration in %1").arg(QDir::tempPath());
        return false;
    }
    choice.configFile->write(QJsonDocument(config).toJson(QJsonDocument::Compact));
    choice.configFile->flush();
    choice.environmentChanged = true;
    choice.previousPlatform = requested;
    choice.previousNoGlx = qgetenv("QT_QPA_OFFSCREEN_NO_GLX");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(choice.configFile->fileName()));
    // The offscreen platform would otherwise try the X server for OpenGL.
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    return true;
}

void PlatformChoice::release()
{
    configFile.reset();
    if (!environmentChanged)
        return;
    const auto restore = [](const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("QT_QPA_PLATFORM", previousPlatform);
    restore("QT_QPA_OFFSCREEN_NO_GLX", previousNoGlx);
    environmentChanged = false;
}

}  // namespace host
