#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

// The top-level windows still shown, each by its class and name. Every GUI test's cleanup()
// checks there are none, so a window one test leaves open (a box nobody answered, say) fails
// that test instead of taking the focus or the clicks of the next.
inline QStringList windowsLeftOpen()
{
    QStringList shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            shown << QLatin1String(widget->metaObject()->className()) + u' ' + widget->objectName();
    }
    return shown;
}

#define VERIFY_NO_WINDOW_LEFT_OPEN()                                                               \
    QVERIFY2(windowsLeftOpen().isEmpty(),                                                          \
        qPrintable(QStringLiteral("left open: ") + windowsLeftOpen().join(QStringLiteral(", "))))
