#include "DiaryFixture.h"
#include "ui/NumberSpinBox.h"
#include "ui/SpinRepeatStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleOptionSpinBox>
#include <QTest>

// The interval box of the settings dialog: 5 to 99, two characters.
class tst_NumberSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stepsFromTheValueIntoRange_data();
    void stepsFromTheValueIntoRange();
    void upButtonAtTheMaximumStaysThere();
    void heldButtonRepeatsAfterThresholdThenAtRate();
    void typingRefusesOtherCharactersWithABeep_data();
    void typingRefusesOtherCharactersWithABeep();
    void holdsAtMostTwoCharacters();
    void pastesOnlyAcceptedText();
    void leavingBringsNumbersIntoRangeAndLeavesOtherText_data();
    void leavingBringsNumbersIntoRangeAndLeavesOtherText();
    void readsTextAsIntegerOrMinimum_data();
    void readsTextAsIntegerOrMinimum();
    void setValueShowsTheNumberInRange_data();
    void setValueShowsTheNumberInRange();

private:
    void typeInto(const QString &text);
    QPoint upButtonCentre() const;

    QWidget *m_window = nullptr;
    NumberSpinBox *m_box = nullptr;
    QLineEdit *m_other = nullptr;
};

void tst_NumberSpinBox::init()
{
    m_window = new QWidget;
    m_box = new NumberSpinBox(5, 99, 2, m_window);
    m_box->setGeometry(10, 10, 49, 26);
    m_other = new QLineEdit(m_window);
    m_other->setGeometry(10, 50, 100, 24);
    QVERIFY(showActive(*m_window));
    m_box->setFocus();
    QTRY_VERIFY(m_box->hasFocus());
}

void tst_NumberSpinBox::cleanup()
{
    delete m_window;
    m_window = nullptr;
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_NumberSpinBox::typeInto(const QString &text)
{
    m_box->findChild<QLineEdit *>()->clear();
    QTest::keyClicks(m_box, text);
}

QPoint tst_NumberSpinBox::upButtonCentre() const
{
    QStyleOptionSpinBox option;
    option.initFrom(m_box);
    option.subControls = QStyle::SC_SpinBoxUp;
    option.frame = true;
    return m_box->style()
        ->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, m_box)
        .center();
}

void tst_NumberSpinBox::stepsFromTheValueIntoRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("shown");
    QTest::newRow("7 up") << "7" << int(Qt::Key_Up) << "8";
    QTest::newRow("7 down") << "7" << int(Qt::Key_Down) << "6";
    QTest::newRow("99 up") << "99" << int(Qt::Key_Up) << "99";
    QTest::newRow("5 down") << "5" << int(Qt::Key_Down) << "5";
    QTest::newRow("empty up steps from 5") << "" << int(Qt::Key_Up) << "6";
    QTest::newRow("lone sign down steps from 5") << "-" << int(Qt::Key_Down) << "5";
    QTest::newRow("0 up lands in range") << "0" << int(Qt::Key_Up) << "5";
    QTest::newRow("-9 up lands in range") << "-9" << int(Qt::Key_Up) << "5";
}

void tst_NumberSpinBox::stepsFromTheValueIntoRange()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(QString, shown);
    typeInto(text);
    QCOMPARE(m_box->text(), text);
    QTest::keyClick(m_box, Qt::Key(key));
    QCOMPARE(m_box->text(), shown);
}

void tst_NumberSpinBox::upButtonAtTheMaximumStaysThere()
{
    typeInto(QStringLiteral("98"));
    QTest::mouseClick(m_box, Qt::LeftButton, {}, upButtonCentre());
    QCOMPARE(m_box->text(), QStringLiteral("99"));
    QTest::mouseClick(m_box, Qt::LeftButton, {}, upButtonCentre());
    QCOMPARE(m_box->text(), QStringLiteral("99"));
}

void tst_NumberSpinBox::heldButtonRepeatsAfterThresholdThenAtRate()
{
    QCOMPARE(m_box->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold, nullptr, m_box),
        400);
    QCOMPARE(
        m_box->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, m_box), 100);
    typeInto(QStringLiteral("10"));
    QTest::mousePress(m_box, Qt::LeftButton, {}, upButtonCentre());
    QCOMPARE(m_box->text(), QStringLiteral("11"));
    QTRY_VERIFY_WITH_TIMEOUT(m_box->value() >= 13, 3000);
    QTest::mouseRelease(m_box, Qt::LeftButton, {}, upButtonCentre());
    const int released = m_box->value();
    QTest::qWait(300);
    QCOMPARE(m_box->value(), released);
}

void tst_NumberSpinBox::typingRefusesOtherCharactersWithABeep_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("beeps");
    QTest::newRow("digits") << "42"
                            << "42" << 0;
    QTest::newRow("signs") << "+-"
                           << "+-" << 0;
    QTest::newRow("decimal separator") << "1."
                                       << "1." << 0;
    QTest::newRow("letter") << "a"
                            << "" << 1;
    QTest::newRow("letters between digits") << "4x2"
                                            << "42" << 1;
    QTest::newRow("space") << " 7"
                           << "7" << 1;
    QTest::newRow("full-width digit") << "５"
                                      << "" << 1;
}

void tst_NumberSpinBox::typingRefusesOtherCharactersWithABeep()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, beeps);
    typeInto(QString());
    QSignalSpy refused(m_box, &NumberSpinBox::keyRefused);
    // By text, so that characters outside ASCII can be typed too.
    for (const QChar character : typed)
        QTest::sendKeyEvent(QTest::Click, m_box, Qt::Key_unknown, QString(character), {});
    QCOMPARE(m_box->text(), shown);
    QCOMPARE(refused.count(), beeps);
}

void tst_NumberSpinBox::holdsAtMostTwoCharacters()
{
    typeInto(QStringLiteral("123"));
    QCOMPARE(m_box->text(), QStringLiteral("12"));
}

void tst_NumberSpinBox::pastesOnlyAcceptedText()
{
    typeInto(QStringLiteral("7"));
    QApplication::clipboard()->setText(QStringLiteral("ab"));
    QTest::keyClick(m_box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_box->text(), QStringLiteral("7"));
    QApplication::clipboard()->setText(QStringLiteral("42"));
    QTest::keyClick(m_box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_box->text(), QStringLiteral("42"));
}

void tst_NumberSpinBox::leavingBringsNumbersIntoRangeAndLeavesOtherText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("left");
    QTest::newRow("below") << "3"
                           << "5";
    QTest::newRow("zero") << "0"
                          << "5";
    QTest::newRow("negative") << "-4"
                              << "5";
    QTest::newRow("in range stays as typed") << "07"
                                             << "07";
    QTest::newRow("signed in range") << "+8"
                                     << "+8";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("lone sign") << "-"
                               << "-";
    QTest::newRow("separator") << "."
                               << ".";
    QTest::newRow("decimal") << "5."
                             << "5.";
}

void tst_NumberSpinBox::leavingBringsNumbersIntoRangeAndLeavesOtherText()
{
    QFETCH(QString, typed);
    QFETCH(QString, left);
    typeInto(typed);
    m_other->setFocus();
    QTRY_VERIFY(m_other->hasFocus());
    QCOMPARE(m_box->text(), left);
}

void tst_NumberSpinBox::readsTextAsIntegerOrMinimum_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << "" << 5;
    QTest::newRow("lone minus") << "-" << 5;
    QTest::newRow("lone plus") << "+" << 5;
    QTest::newRow("separator") << "." << 5;
    QTest::newRow("not brought into range") << "3" << 3;
    QTest::newRow("negative") << "-4" << -4;
    QTest::newRow("signed") << "+7" << 7;
    QTest::newRow("leading zero") << "07" << 7;
}

void tst_NumberSpinBox::readsTextAsIntegerOrMinimum()
{
    QFETCH(QString, typed);
    QFETCH(int, value);
    typeInto(typed);
    QCOMPARE(m_box->value(), value);
}

void tst_NumberSpinBox::setValueShowsTheNumberInRange_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("below") << 3 << "5";
    QTest::newRow("negative") << -2147483647 - 1 << "5";
    QTest::newRow("above") << 150 << "99";
    QTest::newRow("inside") << 20 << "20";
}

void tst_NumberSpinBox::setValueShowsTheNumberInRange()
{
    QFETCH(int, value);
    QFETCH(QString, shown);
    m_box->setValue(value);
    QCOMPARE(m_box->text(), shown);
}

QTEST_MAIN(tst_NumberSpinBox)
#include "tst_numberspinbox.moc"
