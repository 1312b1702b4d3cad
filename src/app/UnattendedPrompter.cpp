#include "UnattendedPrompter.h"

#include <QDialog>
#include <QString>

#include <cstdio>

namespace {

void print(const QString &title, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
}

} // namespace

void UnattendedPrompter::error(QWidget *, const QString &title, const QString &text)
{
    print(title, text);
}

void UnattendedPrompter::information(QWidget *, const QString &title, const QString &text)
{
    print(title, text);
}

int UnattendedPrompter::runModal(QDialog &)
{
    return QDialog::Rejected;
}

QString UnattendedPrompter::saveFileName(QFileDialog &)
{
    return {};
}
