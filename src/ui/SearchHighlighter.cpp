#include "SearchHighlighter.h"

#include "search/TextFold.h"

#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

constexpr qsizetype kMaxMarks = 2000;

} // namespace

SearchHighlighter::SearchHighlighter(const QList<QPlainTextEdit *> &panes, QObject *parent)
    : QObject(parent), m_panes(panes)
{
    for (QPlainTextEdit *pane : m_panes)
        connect(pane, &QPlainTextEdit::textChanged, this, [this, pane] { mark(pane); });
}

void SearchHighlighter::setTerms(const QStringList &foldedTerms)
{
    if (foldedTerms == m_terms)
        return;
    m_terms = foldedTerms;
    for (QPlainTextEdit *pane : m_panes)
        mark(pane);
}

void SearchHighlighter::mark(QPlainTextEdit *pane)
{
    QList<QTextEdit::ExtraSelection> marks;
    if (!m_terms.isEmpty()) {
        // The document's own text, whose positions the cursor takes (line breaks as U+2029).
        const QString text = pane->document()->toRawText();
        QTextCharFormat format;
        QColor colour = pane->palette().color(QPalette::Highlight);
        colour.setAlpha(90);
        format.setBackground(colour);
        const QList<TextFold::Span> spans = TextFold::occurrences(text, m_terms);
        // A very long entry full of a common word would otherwise take the pane's repaint
        // with it; the rows list that day all the same.
        for (qsizetype i = 0; i < std::min(spans.size(), kMaxMarks); ++i) {
            const TextFold::Span &span = spans[i];
            QTextCursor cursor(pane->document());
            cursor.setPosition(int(span.start));
            cursor.setPosition(int(span.end), QTextCursor::KeepAnchor);
            marks.append({cursor, format});
        }
    }
    if (marks.isEmpty() && pane->extraSelections().isEmpty())
        return;
    pane->setExtraSelections(marks);
}
