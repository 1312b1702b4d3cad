#include "ProgramStyle.h"

int ProgramStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
    QStyleHintReturn *returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return kToolTipWakeUpMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int ProgramStyle::pixelMetric(
    PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_ToolBarSeparatorExtent)
        return kToolBarSeparator;
    return QProxyStyle::pixelMetric(metric, option, widget);
}
