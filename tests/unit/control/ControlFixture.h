// SPDX-License-Identifier: GPL-3.0-or-later
// A control with its window, an event recorder as its sink, and a clean
// session list and fake network library for every test.
#pragma once

#include "FakeNetworkLibrary.h"
#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct FiredEvent {
    std::string name;
    std::vector<Variant> args;
};

class ControlFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_tovr::reset();
        control = makeControl();
    }

    void TearDown() override
    {
        control.reset();
        CDeviceManage::shutdown();
    }

    std::unique_ptr<CVELK_DVRCtrl> makeControl(bool withWindow = true)
    {
        auto made = std::make_unique<CVELK_DVRCtrl>();
        made->setEventSink([this](const EventInfo& event, const std::vector<Variant>& args) {
            events.push_back({event.name, args});
        });
        if (withWindow)
            made->createWindow(nullptr, QRect(0, 0, 640, 480), 0, true);
        return made;
    }

    // Logs in through the fake library; the device id (0 on failure).
    std::uint32_t login(const QString& address = QStringLiteral("10.0.0.5"))
    {
        const QString result = control->Login(address, 9000, QStringLiteral("admin"), QString());
        const qsizetype underscore = result.indexOf(QLatin1Char('_'));
        return result.mid(underscore + 1).toUInt();
    }

    static void processEvents()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<CVELK_DVRCtrl> control;
    std::vector<FiredEvent> events;
};
