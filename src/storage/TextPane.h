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
};
