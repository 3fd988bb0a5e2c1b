// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/PreviewRig.h"

#include "RecorderProcess.h"  // passwordText

#include "control/CVELK_DVRApp.h"
#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"
#include "preview/CChannelEX.h"
#include "preview/CPreviewPanel.h"
#include "preview/VideoStatus.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace bench {

PreviewRig::Platform::Platform()
{
    qputenv("USERPROFILE", m_profile.path().toUtf8());
    qputenv("HOME", m_profile.path().toUtf8());
    // The control never sees the desktop: measurements are of our drawing,
    // on the platform the automation host uses.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    QString error;
    m_ok = host::choosePlatform(true, kControlSize, m_choice, error);
    if (!m_ok)
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
}

int PreviewRig::runProgram(int argc, char** argv, BenchOptions& options, const std::function<int()>& benchmark)
{
    if (!options.parse(argc, argv))
        return 2;
    if (options.helpShown())
        return 0;
    Platform platform;
    if (!platform.ok())
        return 1;
    QApplication app(argc, argv);
    platform.release();
    return benchmark();
}

PreviewRig::PreviewRig()
{
    CVELK_DVRApp::initInstance();
}

PreviewRig::~PreviewRig()
{
    m_control.reset();
    CDeviceManage::shutdown();
    CVELK_DVRApp::exitInstance();
    m_recorder.stop();
}

bool PreviewRig::start(const QStringList& recorderArguments)
{
    if (!m_recorder.start(recorderArguments))
        return false;
    m_control = std::make_unique<CVELK_DVRCtrl>();
    if (!m_control->createWindow(nullptr, QRect(QPoint(0, 0), kControlSize), 0, true)) {
        std::fprintf(stderr, "bench: the control's window could not be created\n");
        return false;
    }
    const QString result = m_control->Login(QStringLiteral("127.0.0.1"), m_recorder.devicePort(),
                                            QString::fromLatin1(BenchRecorder::kUser),
                                            passwordText(QByteArray(BenchRecorder::kPassword)));
    if (!result.startsWith(QStringLiteral("00000000_"))) {
        std::fprintf(stderr, "bench: login failed: %s\n", qPrintable(result));
        return false;
    }
    m_deviceId = result.mid(result.indexOf(QLatin1Char('_')) + 1).toUInt();
    return true;
}

bool PreviewRig::waitForEncodedLoops(int timeoutMs)
{
    // Two loops (main and sub) for each of the recorder's 16 channels.
    if (m_recorder.waitForLoops(32, timeoutMs))
        return true;
    std::fprintf(stderr, "bench: the recorder did not encode its loops within %d ms\n", timeoutMs);
    return false;
}

bool PreviewRig::openAll(int count, int streamType, int timeoutMs)
{
    // A grid of as many windows, so that every one of them is seen.
    m_control->ShowChannels(static_cast<std::uint32_t>(count));
    m_control->StartViewAll(m_deviceId, static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(streamType));
    if (waitFor([&] { return allShowing(count); }, timeoutMs))
        return true;
    std::fprintf(stderr, "bench: not all %d windows showed pictures within %d ms\n", count, timeoutMs);
    return false;
}

CPreviewPanel& PreviewRig::panel()
{
    return m_control->previewPanel();
}

CChannelEX* PreviewRig::window(int slot)
{
    return panel().slotWindow(slot);
}

std::uint64_t PreviewRig::picturesShown(int slot)
{
    CChannelEX* w = window(slot);
    return w ? w->view().picturesShown() : 0;
}

bool PreviewRig::allShowing(int count)
{
    for (int i = 0; i < count; ++i) {
        CChannelEX* w = window(i);
        if (w == nullptr || w->status() != preview::kStatusShowing || w->view().picturesShown() == 0)
            return false;
    }
    return true;
}

bool PreviewRig::decoderStatistics(int slot, MIVU_Statistics& statistics)
{
    CChannelEX* w = window(slot);
    if (w == nullptr || (w->decoderHandle() == 0 && w->QueryDecoder() == 0))
        return false;
    return MIVU_GetStatistics(w->decoderHandle(), 0, &statistics) == MIVU_OK;
}

bool PreviewRig::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    // Looks again every millisecond while the event loop runs.
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void PreviewRig::pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace bench
