#pragma once

#include <QTest>

// Clicks the window's check button and waits until the check it started has
// ended, boxes and all: the check runs on the server's answers, not inside the click.
template <typename Form> [[nodiscard]] bool clickCheck(Form& form, int timeoutMs = 30000)
{
    QTest::mouseClick(form.SBCheck, Qt::LeftButton);
    return QTest::qWaitFor([&form] { return !form.Check().running(); }, timeoutMs);
}
