#include "NumberSpinBox.h"

#include "storage/IntegerText.h"
#include "ui/SpinRepeatStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

bool isTypedCharacter(const QKeyEvent &event)
{
    constexpr auto commandModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = event.text();
    return !text.isEmpty() && text.front().isPrint() && !(event.modifiers() & commandModifiers);
}

} // namespace

NumberSpinBox::NumberSpinBox(int minimum, int maximum, int maxLength, QWidget *parent)
    : QAbstractSpinBox(parent), m_minimum(minimum), m_maximum(maximum)
{
    setStyle(new SpinRepeatStyle(this));
    lineEdit()->setMaxLength(maxLength);
    setValue(minimum);
}

int NumberSpinBox::maxLength() const
{
    return lineEdit()->maxLength();
}

int NumberSpinBox::value() const
{
    return parseIntegerText(text()).value_or(m_minimum);
}

void NumberSpinBox::setValue(int value)
{
    lineEdit()->setText(QString::number(qBound(m_minimum, value, m_maximum)));
}

void NumberSpinBox::bringIntoRange()
{
    const std::optional<int> number = parseIntegerText(text());
    if (number && (*number < m_minimum || *number > m_maximum))
        setValue(*number);
}

void NumberSpinBox::stepBy(int steps)
{
    setValue(value() + steps);
    selectAll();
}

bool NumberSpinBox::acceptsCharacter(QChar character) const
{
    return (character >= QLatin1Char('0') && character <= QLatin1Char('9'))
        || character == QLatin1Char('+') || character == QLatin1Char('-')
        || locale().decimalPoint().contains(character);
}

QValidator::State NumberSpinBox::validate(QString &input, int &) const
{
    for (const QChar character : std::as_const(input)) {
        if (!acceptsCharacter(character))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

void NumberSpinBox::fixup(QString &) const
{
    // A text that is not a number is left to stand.
}

QAbstractSpinBox::StepEnabled NumberSpinBox::stepEnabled() const
{
    // The buttons stay live at the bounds; a step there simply shows the bound again.
    return StepUpEnabled | StepDownEnabled;
}

void NumberSpinBox::keyPressEvent(QKeyEvent *event)
{
    if (isTypedCharacter(*event) && !acceptsCharacter(event->text().front())) {
        event->accept();
        QApplication::beep();
        emit keyRefused();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void NumberSpinBox::focusOutEvent(QFocusEvent *event)
{
    bringIntoRange();
    QAbstractSpinBox::focusOutEvent(event);
}
