#pragma once

#include "storage/Exception.h"

#include <QString>

#include <exception>

class QWidget;

// The program's default report of an error that reached the event loop: a modal box with
// the message (a full stop added when its last character sorts after "."), titled after the
// executable, with the error icon and one OK button.
QString errorReportTitle();
QString errorReportText(const QString &message);
void reportError(QWidget *parent, const QString &message);

// The boundary where Qt calls into our code: no exception ever unwinds through a Qt frame.
// Returns false when the handler ended with an error (already reported).
template<typename F> bool guarded(QWidget *parent, F &&handler) noexcept
{
    try {
        handler();
        return true;
    } catch (const std::exception &error) {
        reportError(parent, errorMessageOf(error));
    } catch (...) {
        reportError(parent, QString());
    }
    return false;
}
