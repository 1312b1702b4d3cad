#pragma once

#include <QProxyStyle>

// The platform style with the program's own timings and toolbar metrics: tooltips after the
// pointer has rested 500 ms on a toolbar button, 8-pixel toolbar separators.
class ProgramStyle : public QProxyStyle
{
    Q_OBJECT

public:
    static constexpr int kToolTipWakeUpMs = 500;
    static constexpr int kToolBarSeparator = 8;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr, QStyleHintReturn *returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr) const override;
};
