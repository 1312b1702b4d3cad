#pragma once

#include <QProxyStyle>

// The platform style with the program's tooltip timing: shown after the pointer has rested
// 500 ms on a toolbar button.
class ToolTipStyle : public QProxyStyle
{
public:
    static constexpr int kWakeUpDelayMs = 500;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr, QStyleHintReturn *returnData = nullptr) const override;
};
