// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the decode-render tests inside a QApplication on the offscreen
// platform, so that render targets paint without a display.
#include <QApplication>

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <cstdlib>

// Qt's raster engine blends large images on its own thread pool and hands
// the work over with futex-based semaphores, which the thread sanitizer
// cannot see; neither Qt nor the PulseAudio client that Qt Multimedia asks
// for audio devices is instrumented. Races reported inside their code are
// therefore not ours to judge. Races with frames of this project's code only
// are still reported.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Multimedia.so\n"
           "race:libpulse.so\n"
           "race:libpulsecommon\n";
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The test encoder reports its statistics at the info level.
    av_log_set_level(AV_LOG_ERROR);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
