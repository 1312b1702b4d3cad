#pragma once

#include "ui/Prompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QList>
#include <QString>

#include <functional>

// Answers every modal window at once, the way a test scripts it; records what was shown.
class ScriptedPrompter final : public Prompter
{
public:
    struct Message
    {
        QString kind; // "error" or "information"
        QString title;
        QString text;
    };

    ScriptedPrompter() { Prompter::setCurrent(this); }
    ~ScriptedPrompter() override { Prompter::setCurrent(nullptr); }

    void error(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({QStringLiteral("error"), title, text});
    }
    void information(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({QStringLiteral("information"), title, text});
    }
    // Each modal run takes the next answer; without one the dialog is rejected unseen.
    int runModal(QDialog &dialog) override
    {
        ++modalRuns;
        modalTitles.append(dialog.windowTitle());
        if (modalAnswers.isEmpty())
            return QDialog::Rejected;
        return modalAnswers.takeFirst()(dialog);
    }
    QString saveFileName(QFileDialog &dialog) override
    {
        ++fileDialogRuns;
        lastFileDialog = &dialog;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    QList<Message> messages;
    QList<std::function<int(QDialog &)>> modalAnswers;
    QStringList modalTitles;
    QStringList fileAnswers;
    QFileDialog *lastFileDialog = nullptr;
    int modalRuns = 0;
    int fileDialogRuns = 0;
};
