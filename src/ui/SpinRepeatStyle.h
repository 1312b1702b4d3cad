#pragma once

#include <QProxyStyle>

// Paces a spin box's held button: the first repeat after 400 ms, then one every 100 ms,
// whatever the desktop style would choose.
class SpinRepeatStyle : public QProxyStyle
{
    Q_OBJECT

public:
    static constexpr int kThresholdMs = 400;
    static constexpr int kRateMs = 100;

    explicit SpinRepeatStyle(QObject *owner);

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr, QStyleHintReturn *returnData = nullptr) const override;
};
