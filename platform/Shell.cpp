// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Shell.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#ifdef VELK_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace platform {

namespace {

std::atomic<std::uint32_t> g_processVolume{100};

bool hasDesktopSession()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0')
            return true;
    }
    return false;
}

#ifdef VELK_HAVE_QTDBUS
// The freedesktop file-manager interface opens the folder with the file
// selected. The call is asynchronous: nothing waits for the file manager.
bool showWithFileManager1(const QString& absolutePath)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return false;
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    // Asking the bus is quick; the file manager itself may be started on demand.
    const auto registered = bus.interface()->isServiceRegistered(service);
    if (!registered.isValid() || !registered.value()) {
        const auto activatable = bus.interface()->activatableServiceNames();
        if (!activatable.isValid() || !activatable.value().contains(service))
            return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(absolutePath).toString()} << QString();
    return bus.send(call);
}
#endif

}  // namespace

bool showInFileManager(const QString& filePath)
{
    if (filePath.isEmpty() || !hasDesktopSession())
        return false;
    const QFileInfo info(QString(filePath).replace(QLatin1Char('\\'), QLatin1Char('/')));
#ifdef VELK_HAVE_QTDBUS
    if (showWithFileManager1(info.absoluteFilePath()))
        return true;
#endif
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    return QProcess::startDetached(opener, {info.absolutePath()});
}

std::uint32_t processVolume()
{
    return g_processVolume.load();
}

void setProcessVolume(std::uint32_t volume)
{
    g_processVolume.store(std::min<std::uint32_t>(volume, 100));
}

}  // namespace platform
