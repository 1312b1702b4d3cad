#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QPlainTextEdit;

// Marks every hit of the search's terms in the page's panes while the search window is open.
// Only extra selections change: the text, its change notifications and the saves stay as they
// are. GUI thread.
class SearchHighlighter : public QObject
{
    Q_OBJECT

public:
    SearchHighlighter(const QList<QPlainTextEdit *> &panes, QObject *parent);

    // Folded terms; none takes every mark away.
    void setTerms(const QStringList &foldedTerms);

private:
    void mark(QPlainTextEdit *pane);

    QList<QPlainTextEdit *> m_panes;
    QStringList m_terms;
};
