#include "ToolTipStyle.h"

int ToolTipStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
    QStyleHintReturn *returnData) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return kWakeUpDelayMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
