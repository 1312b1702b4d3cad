#pragma once

#include <QString>

// Anything that holds one text and raises a change notification when it is replaced.
// Line breaks inside the text are "\n"; on disk they are CR LF.
class TextPane
{
public:
    virtual ~TextPane() = default;
    virtual QString text() const = 0;
    // Replaces the whole text and raises the change notification once.
    virtual void setText(const QString &text) = 0;
    // Empties the pane. A pane that can raise no notification for it overrides this.
    virtual void clearText() { setText(QString()); }
    // True while an input method is composing text in the pane that is not yet part of text().
    virtual bool isComposing() const { return false; }
    // Whether the person may type into the pane; a pane that takes no typing ignores it.
    virtual void setTypingAllowed(bool allowed) { (void)allowed; }
    // Why the pane takes no typing, told in the pane while it is empty; empty: nothing to tell.
    virtual void setRefusalNote(const QString &note) { (void)note; }
};
