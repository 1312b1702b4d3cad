#pragma once

class QDialog;
class QFileDialog;
class QString;
class QWidget;

// The one seam through which every modal window runs, so tests answer them in advance.
class Prompter
{
public:
    virtual ~Prompter() = default;

    virtual void error(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void information(QWidget *parent, const QString &title, const QString &text) = 0;
    // Settings, version and printer set-up dialogs: runs the dialog modally, returns its result.
    virtual int runModal(QDialog &dialog) = 0;
    // Returns the chosen path, or the empty text when the user cancelled.
    virtual QString saveFileName(QFileDialog &dialog) = 0;

    static Prompter &current();
    // nullptr restores the real, interactive prompter.
    static void setCurrent(Prompter *prompter);
};
