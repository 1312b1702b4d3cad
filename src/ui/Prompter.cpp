#include "Prompter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

class InteractivePrompter final : public Prompter
{
public:
    void error(QWidget *parent, const QString &title, const QString &text) override
    {
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    }
    void information(QWidget *parent, const QString &title, const QString &text) override
    {
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
    }
    int runModal(QDialog &dialog) override { return dialog.exec(); }
    QString saveFileName(QFileDialog &dialog) override
    {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

InteractivePrompter interactive;
Prompter *active = &interactive;

} // namespace

Prompter &Prompter::current()
{
    return *active;
}

void Prompter::setCurrent(Prompter *prompter)
{
    active = prompter ? prompter : &interactive;
}
