#pragma once

#include "storage/TextPane.h"

#include <QPlainTextEdit>

#include <functional>

// One of the page's five text panes: plain text, no scroll bars, wrapped at its width.
// The editable one refuses characters that code page 932 cannot hold, so nothing it holds
// can be lost on saving.
class DiaryPane : public QPlainTextEdit, public TextPane
{
    Q_OBJECT

public:
    explicit DiaryPane(QWidget *parent);

    // The text with "\n" line breaks, characters exactly as held (no space for no-break space).
    QString text() const override;
    // A load by the program: raises OnChange once, as a plain call. The caller compares first
    // (loadEntryFile does), so an equal text costs no second copy of the document.
    void setText(const QString &text) override;
    // Clearing by the program raises nothing.
    void clearText() override;
    // The input method's composition is shown at the caret and not yet part of the text.
    bool isComposing() const override;
    // A pane that takes no typing is read-only; text can still be selected and copied.
    void setTypingAllowed(bool allowed) override;
    // Shown greyed in the empty pane.
    void setRefusalNote(const QString &note) override;

    // Called after every change of the text, by the user or by setText.
    std::function<void()> OnChange;
    // Called when the focus passes to another control of the same window.
    std::function<void()> OnExit;

    // Inserts text at the caret as typing would, leaving out what cannot be stored.
    void insertTyped(const QString &text);
    // Makes the input method's composition part of the text, as confirming it would.
    void commitComposition();

signals:
    // Raised with every change notification (the person's or setText's), before OnChange.
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // What the input method is composing at the caret, shown but not yet part of the text.
    QString composition() const;
    void userTextChanged();
    bool m_programChange = false;
};

// The storable part of typed text, with symbols an input method types in their JIS form turned
// into the code page's own; beeps when anything had to be left out.
QString storableText(const QString &text);
