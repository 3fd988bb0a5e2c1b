// SPDX-License-Identifier: GPL-3.0-or-later
// Record schedule methods of the control.
#include "control/CVELK_DVRCtrl.h"

std::uint32_t CVELK_DVRCtrl::SetRecSchedule(std::uint32_t devId, std::int16_t mode, std::int16_t /*channel*/,
                                            const QString& scheduleData)
{
    if (!listedSession(devId))
        return 1;
    if (!m_schedule.isCreated())
        return 0;
    return static_cast<std::uint32_t>(m_schedule.setSchedule(mode, scheduleData));
}

QString CVELK_DVRCtrl::GetRecSchedule(std::uint32_t devId, std::int16_t /*mode*/, std::uint16_t /*channel*/)
{
    if (!listedSession(devId) || !m_schedule.isCreated())
        return {};
    return m_schedule.schedule();
}

std::uint32_t CVELK_DVRCtrl::SetScheduleMode(std::uint32_t devId, std::int16_t mode)
{
    if (!listedSession(devId))
        return 1;
    if (mode != 0 && mode != 1)
        return 2;
    if (m_schedule.isCreated())
        m_schedule.setMode(mode);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::SelectSchedelBtnType(std::uint32_t devId, std::int16_t buttonType)
{
    if (!listedSession(devId))
        return 1;
    if (m_schedule.isCreated())
        m_schedule.selectBrush(buttonType);
    return 0;
}
