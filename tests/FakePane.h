#pragma once

#include "storage/TextPane.h"

#include <functional>

// A pane for storage tests: counts change notifications and can act on them.
class FakePane : public TextPane
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &text) override
    {
        m_text = text;
        ++changes;
        if (onChange)
            onChange();
    }

    void setTypingAllowed(bool allowed) override { typingAllowed = allowed; }

    int changes = 0;
    bool typingAllowed = true;
    std::function<void()> onChange;

private:
    QString m_text;
};
