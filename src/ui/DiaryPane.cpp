#include "DiaryPane.h"

#include "storage/Cp932.h"
#include "ui/ErrorReport.h"

#include <QApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextLayout>

namespace {

bool isPaneBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Input methods on Linux type some symbols in their JIS form; the diary's code page has the
// same-looking character at another code point, which is what Windows input would have typed.
char16_t codePageForm(char16_t c)
{
    switch (c) {
    case 0x301C:
        return 0xFF5E; // wave dash → full-width tilde
    case 0x2016:
        return 0x2225; // double vertical line → parallel to
    case 0x2212:
        return 0xFF0D; // minus sign → full-width hyphen-minus
    case 0x2014:
        return 0x2015; // em dash → horizontal bar
    case 0x00A2:
        return 0xFFE0; // cent sign
    case 0x00A3:
        return 0xFFE1; // pound sign
    case 0x00AC:
        return 0xFFE2; // not sign
    case 0x00A6:
        return 0xFFE4; // broken bar
    default:
        return c;
    }
}

} // namespace

QString storableText(const QString &typed)
{
    if (Cp932::canEncode(typed))
        return typed;
    QString text = typed;
    for (QChar &c : text)
        c = QChar(codePageForm(c.unicode()));
    if (Cp932::canEncode(text))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const char32_t cp
            = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
            ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
            : text.at(i).unicode();
        const qsizetype units = cp > 0xFFFF ? 2 : 1;
        if (text.at(i) == QLatin1Char('\n') || Cp932::canEncode(cp))
            kept += QStringView(text).mid(i, units);
        i += units;
    }
    QApplication::beep();
    return kept;
}

DiaryPane::DiaryPane(QWidget *parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { userTextChanged(); });
}

QString DiaryPane::text() const
{
    QString raw = document()->toRawText();
    for (QChar &c : raw) {
        if (isPaneBreak(c))
            c = QLatin1Char('\n');
    }
    return raw;
}

void DiaryPane::setText(const QString &text)
{
    {
        const QSignalBlocker quiet(this);
        setPlainText(text);
    }
    emit changed();
    if (OnChange)
        OnChange();
}

void DiaryPane::clearText()
{
    const QSignalBlocker quiet(this);
    clear();
}

void DiaryPane::userTextChanged()
{
    emit changed();
    guarded(window(), [this] {
        if (OnChange)
            OnChange();
    });
}

bool DiaryPane::isComposing() const
{
    return !composition().isEmpty();
}

void DiaryPane::setTypingAllowed(bool allowed)
{
    setReadOnly(!allowed);
}

void DiaryPane::setRefusalNote(const QString &note)
{
    setPlaceholderText(note);
}

void DiaryPane::insertTyped(const QString &text)
{
    const QString kept = storableText(text);
    if (kept.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    cursor.insertText(kept);
    setTextCursor(cursor);
    ensureCursorVisible();
}

QString DiaryPane::composition() const
{
    return textCursor().block().layout()->preeditAreaText();
}

void DiaryPane::commitComposition()
{
    if (isReadOnly() || composition().isEmpty())
        return;
    QGuiApplication::inputMethod()->commit();
    if (composition().isEmpty())
        return;
    // fcitx5 confirms its composition on a reset, not on a commit.
    const QString composing = composition();
    const QString before = text();
    QGuiApplication::inputMethod()->reset();
    if (composition().isEmpty() && text() != before)
        return;
    // No input method confirmed it (or one dropped it): confirm it here.
    QInputMethodEvent confirm;
    confirm.setCommitString(composing);
    inputMethodEvent(&confirm);
}

void DiaryPane::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool printable
        = !typed.isEmpty() && typed.at(0).unicode() >= 0x20 && typed.at(0).unicode() != 0x7F;
    if (!isReadOnly() && printable && !Cp932::canEncode(typed)) {
        insertTyped(typed);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DiaryPane::inputMethodEvent(QInputMethodEvent *event)
{
    if (isReadOnly() || Cp932::canEncode(event->commitString())) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    // Keep the composition and replacement as the input method asked; only the commit is filtered.
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(
        storableText(event->commitString()), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&filtered);
}

void DiaryPane::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source->hasText())
        return;
    insertTyped(source->text());
}

void DiaryPane::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Another window, a menu or a popup taking the focus is not leaving the pane.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
        || reason == Qt::MenuBarFocusReason)
        return;
    QWidget *next = QApplication::focusWidget();
    if (next && next->window() != window())
        return;
    guarded(window(), [this] {
        if (OnExit)
            OnExit();
    });
}
