#pragma once

#include "storage/TextPane.h"

// A pane as the person uses it: typing goes where the cursor is (the end, where the person
// writes), a text the program puts in moves the cursor to the start, as a text edit does, and an
// input method's word is held apart until confirmed, then inserted at the cursor.
class CampaignPane : public TextPane
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &text) override
    {
        m_text = text;
        m_cursor = 0;
    }
    bool isComposing() const override { return !m_preedit.isEmpty(); }
    void setTypingAllowed(bool allowed) override { m_typingAllowed = allowed; }

    bool typingAllowed() const { return m_typingAllowed; }
    // The person clicks at the end and types.
    void typeAtEnd(const QString &typed)
    {
        m_text += typed;
        m_cursor = m_text.size();
    }
    void startComposing(const QString &word)
    {
        m_cursor = m_text.size();
        m_preedit = word;
    }
    void confirm()
    {
        m_text.insert(m_cursor, m_preedit);
        m_cursor += m_preedit.size();
        m_preedit.clear();
    }

private:
    QString m_text;
    QString m_preedit;
    qsizetype m_cursor = 0;
    bool m_typingAllowed = true;
};
