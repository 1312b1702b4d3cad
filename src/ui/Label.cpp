#include "Label.h"

#include "ui/UiFont.h"

#include <QLabel>

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int fontHeight)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAccessibleName(text);
    label->setFont(uiFont(fontHeight));
    return label;
}

void placeSizedToText(QLabel *label, int left, int top)
{
    label->move(left, top);
    label->adjustSize();
}
