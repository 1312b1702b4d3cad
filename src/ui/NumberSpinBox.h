#pragma once

#include <QAbstractSpinBox>

// A small integer box whose text may stand as typed: a text that is not a number stays until
// it is replaced, a number is brought into range only when the focus leaves. Keys other than
// digits, signs, the decimal separator and editing keys are refused with a beep.
class NumberSpinBox : public QAbstractSpinBox
{
    Q_OBJECT

public:
    NumberSpinBox(int minimum, int maximum, int maxLength, QWidget *parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int maxLength() const;

    // The text read as an integer; the minimum when it is not one. Not brought into range.
    int value() const;
    // Shows value brought into range, in plain decimal.
    void setValue(int value);
    // What leaving the box does: a number outside the range becomes the nearest bound.
    void bringIntoRange();

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

    bool acceptsCharacter(QChar character) const;

signals:
    void keyRefused();

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_minimum;
    int m_maximum;
};
