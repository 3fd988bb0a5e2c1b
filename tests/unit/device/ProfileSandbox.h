// SPDX-License-Identifier: GPL-3.0-or-later
// Points the profile folder (USERPROFILE) at a fresh temporary folder for
// the life of a test, and restores the environment afterwards.
#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

class ProfileSandbox {
public:
    ProfileSandbox()
        : m_hadProfile(qEnvironmentVariableIsSet("USERPROFILE"))
        , m_oldProfile(qgetenv("USERPROFILE"))
    {
        qputenv("USERPROFILE", m_dir.path().toUtf8());
    }
    ~ProfileSandbox()
    {
        if (m_hadProfile) {
            qputenv("USERPROFILE", m_oldProfile);
        } else {
            qunsetenv("USERPROFILE");
        }
    }
    ProfileSandbox(const ProfileSandbox&) = delete;
    ProfileSandbox& operator=(const ProfileSandbox&) = delete;

    QString path() const { return m_dir.path(); }
    QString velkFolder() const { return m_dir.path() + "/VELK_Dvr/"; }

private:
    QTemporaryDir m_dir;
    bool m_hadProfile;
    QByteArray m_oldProfile;
};
