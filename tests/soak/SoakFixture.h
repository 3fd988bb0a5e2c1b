// SPDX-License-Identifier: GPL-3.0-or-later
// A soak of the whole control against a velk-recorder on loopback: the
// control runs in this process with the real network and decode-render
// libraries, so /proc/self shows the viewer's side and /proc/<pid> of the
// recorder child shows the recorder's. Figures are taken before the first
// cycle, after the warm-up, every few cycles and after the last one. From
// the warm-up on, each row waits until threads and descriptors are back at
// the warm-up's figures (or a timeout passed); rows before it are taken as
// they are.
#pragma once

#include "ProcessFigures.h"
#include "RecorderProcess.h"
#include "SoakLog.h"

#include "control/CVELK_DVRCtrl.h"

#include <QElapsedTimer>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Logs in as the recorder's user; 0 (and a failure) when refused.
    std::uint32_t login();
    QString loginWith(const QString& password);

    // Runs the cycles: each one, then the sample schedule. A cycle returns
    // false to end the soak (after a failed assertion).
    void soak(const char* title, int cycles, const std::function<bool(int cycle)>& cycle);

    // The recorder's /sim/status (its counts of logins, streams, loops);
    // empty when it did not answer.
    QJsonObject recorderStatus();

    // Handles posted messages and deferred deletions, as the page's event
    // loop would between two calls.
    static void pumpEvents();

    RecorderProcess recorder;
    pid_t recorderPid = 0;
    std::unique_ptr<CVELK_DVRCtrl> control;
    int firedEvents = 0;

private:
    // The recorder has encoded every stream loop it started (it encodes a
    // channel's loop once, when the channel is first watched).
    bool recorderLoopsEncoded();
    // Waits until the figures are at most the target's (threads and
    // descriptors of both processes, which may still close behind the last
    // call), up to timeoutMs, and takes them.
    SoakSample measure(const char* phase, int cycle, const SoakSample* target, int timeoutMs);

    QElapsedTimer m_clock;
};

// How far the end figures may lie above the warm-up figures in this build.
SoakBounds soakBounds();
