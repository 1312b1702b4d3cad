#include "SpinRepeatStyle.h"

SpinRepeatStyle::SpinRepeatStyle(QObject *owner)
{
    setParent(owner);
}

int SpinRepeatStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
    QStyleHintReturn *returnData) const
{
    switch (hint) {
    case SH_SpinBox_ClickAutoRepeatThreshold:
        return kThresholdMs;
    case SH_SpinBox_ClickAutoRepeatRate:
        return kRateMs;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}
