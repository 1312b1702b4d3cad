#include "SettingsForm.h"

#include "storage/Cp932.h"
#include "storage/Exception.h"
#include "storage/ProfileFile.h"
#include "storage/Settings.h"
#include "ui/ErrorReport.h"
#include "ui/FixedDialog.h"
#include "ui/FolderTree.h"
#include "ui/Label.h"
#include "ui/NumberSpinBox.h"
#include "ui/Prompter.h"
#include "ui/UiFont.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int kDesignedChars = 20;
constexpr int kMaxCharsLength = 2;

template<typename W>
W *makeControl(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *control = new W(parent);
    control->setObjectName(QLatin1String(name));
    control->setAccessibleName(accessibleName);
    return control;
}

} // namespace

TSettings::TSettings(QWidget *parent) : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("Settings"));
    setWindowTitle(QStringLiteral("設定処理"));
    setFont(uiFont(12));
    setFixedSize(430, 350);
    createControls();
    placeControls();
    bindEvents();
}

void TSettings::createControls()
{
    const QString message
        = QStringLiteral("日記データを保管する場所と自動保管するタイミングを指定"
                         "してください。指定しないと、データの保管ができません。");
    lblMessage = makeLabel(this, "lblMessage", message, 16);
    // Two lines must fit the 32-pixel band whatever the face's own line spacing.
    lblMessage->setTextFormat(Qt::RichText);
    lblMessage->setText(
        QStringLiteral("<p style=\"line-height:16px; -qt-line-height-type:fixed;\">%1</p>")
            .arg(message.toHtmlEscaped()));
    lblMessage->setWordWrap(true);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage->setAutoFillBackground(true);
    QPalette band = lblMessage->palette();
    band.setColor(QPalette::Window, QColor(192, 220, 192));
    lblMessage->setPalette(band);

    const QString directoryCaption = QStringLiteral("日記データ保存ディレクトリ指定");
    lblDirectory = makeLabel(this, "lblDirectory", directoryCaption, 16);
    ShellTreeView1 = makeControl<FolderTree>(this, "ShellTreeView1", directoryCaption);
    ShellTreeView1->setFont(uiFont(12));
    ShellTreeView1->setAccessibleDescription(QStringLiteral(
        "日記を保存するフォルダーを選びます。右クリックで新しいフォルダーを作れます"));
    lblDirectory->setBuddy(ShellTreeView1);

    const QString toSaveCaption = QStringLiteral("自動保存する更新文字数");
    lblToSave = makeLabel(this, "lblToSave", toSaveCaption, 16);
    sedtNumberOfChars = new NumberSpinBox(kMinimumChars, kMaximumChars, kMaxCharsLength, this);
    sedtNumberOfChars->setObjectName(QStringLiteral("sedtNumberOfChars"));
    sedtNumberOfChars->setAccessibleName(toSaveCaption);
    sedtNumberOfChars->setAccessibleDescription(QStringLiteral(
        "%1 から %2 まで。書いた文字数（バイト数）がこの数の倍数になるたびに自動保存します")
                                                    .arg(kMinimumChars)
                                                    .arg(kMaximumChars));
    lblToSave->setBuddy(sedtNumberOfChars);
    sedtNumberOfChars->setFont(uiFont(16));
    sedtNumberOfChars->setValue(kDesignedChars);
    lblMoji = makeLabel(this, "lblMoji", QStringLiteral("文字"), 16);

    OKBtn = makeControl<QPushButton>(this, "OKBtn", QStringLiteral("OK"));
    OKBtn->setText(QStringLiteral("OK"));
    OKBtn->setDefault(true);
    CancelBtn = makeControl<QPushButton>(this, "CancelBtn", QStringLiteral("キャンセル"));
    CancelBtn->setText(QStringLiteral("キャンセル"));

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, sedtNumberOfChars);
    setTabOrder(sedtNumberOfChars, ShellTreeView1);
    // The first showing starts on OK; later ones on whatever had the focus at closing.
    OKBtn->setFocus();
}

void TSettings::placeControls()
{
    lblMessage->setGeometry(8, 8, 401, 32);
    placeSizedToText(lblDirectory, 8, 48);
    ShellTreeView1->setGeometry(16, 72, 393, 209);
    placeSizedToText(lblToSave, 16, 296);
    sedtNumberOfChars->setGeometry(200, 288, 49, 26);
    placeSizedToText(lblMoji, 256, 296);
    OKBtn->setGeometry(247, 316, 75, 25);
    CancelBtn->setGeometry(335, 316, 75, 25);
}

void TSettings::bindEvents()
{
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        // The result is OK before the handler runs, and the dialog closes even when it failed.
        setResult(Accepted);
        guarded(this, [this] { OKBtnClick(); });
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSettings::setVisible(bool visible)
{
    // The tree is filled just before it can first be seen: listing folders and looking up their
    // icons would otherwise hold up the main window at start-up.
    if (visible && !ShellTreeView1->isFilled())
        ShellTreeView1->fill(QDir::homePath());
    if (visible && !isVisible() && !m_placed) {
        centreOnScreen(*this);
        m_placed = true;
    }
    QDialog::setVisible(visible);
}

void TSettings::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A window system's own re-show (after switching desktops) is not a new showing.
    if (!event->spontaneous())
        guarded(this, [this] { FormShow(); });
}

void TSettings::FormShow()
{
    ProfileFile file = openSettingsFile();
    sedtNumberOfChars->setValue(
        file.readInteger(kSettingsSection, kCharsToSaveKey, kDefaultCharsToSave));
}

void TSettings::OKBtnClick()
{
    const QString dir = ShellTreeView1->selectedPath();
    if (!isStorableSettingText(dir))
        throw Exception(unstorableFolderMessage(dir));
    ProfileFile file = openSettingsFile();
    file.writeString(kSettingsSection, kDirKey, dir);
    // Enter may press OK while a hand-typed number is still in the box.
    sedtNumberOfChars->bringIntoRange();
    file.writeInteger(kSettingsSection, kCharsToSaveKey, sedtNumberOfChars->value());
}

bool isStorableSettingText(const QString &text)
{
    return Cp932::canEncode(text) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n'));
}

QString unstorableFolderMessage(const QString &path)
{
    return QStringLiteral(
        "フォルダー %1 の名前には設定ファイルに保存できない文字が含まれているため、"
        "日記データの保存場所に指定できません")
        .arg(path);
}

void showSettings(TSettings &dialog)
{
    Prompter::current().runModal(dialog);
    readSettings();
}
