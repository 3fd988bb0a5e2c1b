// SPDX-License-Identifier: GPL-3.0-or-later
// The control in this process, under Qt's offscreen platform, logged in to
// a fresh recorder on loopback: what the live preview benchmarks measure.
//
// Use: a PreviewRig::Platform before the QApplication (it chooses the
// offscreen platform with a screen of the control's size and a temporary
// profile folder), then a PreviewRig once the application exists.
#pragma once

#include "bench/BenchOptions.h"
#include "bench/BenchRecorder.h"

#include "host/HeadlessPlatform.h"

#include "MIVUStream.h"

#include <QSize>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>

class CVELK_DVRCtrl;
class CChannelEX;
class CPreviewPanel;

namespace bench {

class PreviewRig {
public:
    static constexpr QSize kControlSize{960, 540};

    // Before the application object exists.
    class Platform {
    public:
        Platform();
        // Once the application object exists.
        void release() { m_choice.release(); }
        bool ok() const { return m_ok; }

    private:
        QTemporaryDir m_profile;
        host::PlatformChoice m_choice;
        bool m_ok = false;
    };

    // The common start of a benchmark program: parses the options (2 on a
    // bad one, 0 after --help), sets up the platform and the application
    // object, then runs the benchmark and returns its exit code.
    static int runProgram(int argc, char** argv, BenchOptions& options, const std::function<int()>& benchmark);

    PreviewRig();
    ~PreviewRig();
    PreviewRig(const PreviewRig&) = delete;
    PreviewRig& operator=(const PreviewRig&) = delete;

    // Starts the recorder (with extra arguments), creates and shows the
    // control and logs in. False with a message on stderr. UI thread.
    bool start(const QStringList& recorderArguments = {});

    BenchRecorder& recorder() { return m_recorder; }
    CVELK_DVRCtrl& control() { return *m_control; }
    CPreviewPanel& panel();
    std::uint32_t deviceId() const { return m_deviceId; }

    // Waits until the recorder has encoded every channel's main and sub
    // loop (after --encode-ahead), so that encoding does not compete with
    // what is measured. False with a message on timeout. UI thread.
    bool waitForEncodedLoops(int timeoutMs);
    // StartViewAll of channels 0..count-1 in the stream type, and waits
    // until all of them show pictures. False with a message. UI thread.
    bool openAll(int count, int streamType, int timeoutMs);

    // The window of slot i; nullptr when there is none. UI thread.
    CChannelEX* window(int slot);
    // Pictures painted by slot i's view; 0 without a window.
    std::uint64_t picturesShown(int slot);
    // True once slots 0..count-1 all show pictures.
    bool allShowing(int count);
    // The decoder's counters of slot i; false without an open decoder.
    bool decoderStatistics(int slot, MIVU_Statistics& statistics);

    // Runs the event loop until done() or the timeout; done()'s last answer. UI thread.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs);
    // Runs the event loop for a while. UI thread.
    static void pump(int ms);

private:
    BenchRecorder m_recorder;
    std::unique_ptr<CVELK_DVRCtrl> m_control;
    std::uint32_t m_deviceId = 0;
};

}  // namespace bench
