#pragma once

#include "ui/Prompter.h"

// Answers every modal window at once, for a program that is ending on a termination request
// with nobody there to answer: dialogs are cancelled and messages go to the standard error.
class UnattendedPrompter final : public Prompter
{
public:
    void error(QWidget *parent, const QString &title, const QString &text) override;
    void information(QWidget *parent, const QString &title, const QString &text) override;
    int runModal(QDialog &dialog) override;
    QString saveFileName(QFileDialog &dialog) override;
};
