#include "MainForm.h"

#include "storage/DiaryPage.h"
#include "storage/EntryFiles.h"
#include "storage/EntryListing.h"
#include "storage/EntryWriter.h"
#include "storage/RescueFiles.h"
#include "storage/Settings.h"
#include "ui/Calendar.h"
#include "ui/DayMarks.h"
#include "ui/DiaryPane.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/Label.h"
#include "ui/PrintSetup.h"
#include "ui/Prompter.h"
#include "ui/SearchForm.h"
#include "ui/SearchHighlighter.h"
#include "ui/SettingsForm.h"
#include "ui/UiFont.h"
#include "ui/VersionDialog.h"
#include "ui/YearMonthText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <cstdio>
#include <functional>
#include <utility>

TOKBottomDlg *OKBottomDlg = nullptr;

namespace {

constexpr int kClientWidth = 792;
constexpr int kClientHeight = 594;
constexpr int kToolTipShowMs = 2500;

template<typename W> W *place(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel *placeLabel(
    QWidget *parent, const char *name, const QString &text, int left, int top, int width)
{
    auto *label = makeLabel(parent, name, text, 19);
    label->setGeometry(left, top, width, 19);
    return label;
}

// The short part of a hint: the text before the first "|", or all of it.
QString shortHint(const QString &hint)
{
    return hint.section(QLatin1Char('|'), 0, 0);
}

// The long part of a hint: the text after the first "|"; empty when there is none.
QString longHint(const QString &hint)
{
    return hint.section(QLatin1Char('|'), 1);
}

// The entry files and kept copies of a diary folder, as the search reads them. Scan thread.
QList<SearchSource> searchSourcesIn(const QString &folder)
{
    QList<SearchSource> sources;
    for (const EntryListing::Entry &entry : EntryListing::inDiary(folder))
        sources.append({entry.year, entry.month, entry.day, entry.path, entry.kept, {}});
    return sources;
}

// The page's texts not on disk yet in the folder, each in place of its entry's file: the
// newest of each entry (pane 0's typing comes first).
QList<SearchSource> searchTextsNotOnDisk(const DiaryPage &page, const QString &folder)
{
    QList<SearchSource> sources;
    QSet<QString> entries;
    for (const DiaryPage::TextNotOnDisk &text : page.textsNotOnDisk()) {
        if (text.folder != folder || entries.contains(text.entryPath))
            continue;
        entries.insert(text.entryPath);
        sources.append({text.date.year(), text.date.month(), text.date.day(), text.entryPath, false,
            text.text});
    }
    return sources;
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orlune"));
    setWindowIcon(applicationIcon());
    setFont(uiFont(12));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    createControls();
    createCommands();
    createMenus();
    createToolBar();
    bindEvents();
    bindSearchKeys();
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    move(36, 110);
    memToday->setFocus(Qt::OtherFocusReason);
}

TfrmMain::~TfrmMain()
{
    // The search window and its marks go first, while the panes they mark are whole.
    delete std::exchange(frmSearch, nullptr);
    delete std::exchange(m_highlighter, nullptr);
    // The controls outlive this part of the window while QWidget destroys them: nothing they
    // raise from now on may reach the handlers.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    for (int i = 0; i < kPaneCount; ++i) {
        disconnect(pane(i), nullptr, this, nullptr);
        pane(i)->OnChange = nullptr;
        pane(i)->OnExit = nullptr;
    }
    Calendar1->OnChange = nullptr;
    // A window that goes without its close (tests, the program's end) waits for its saves all
    // the same, and has nobody left to tell about them.
    delete std::exchange(m_page, nullptr);
}

void TfrmMain::createControls()
{
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setFixedSize(kClientWidth, kClientHeight);
    ClientArea->setBackgroundRole(QPalette::Button);
    ClientArea->setAutoFillBackground(true);
    setCentralWidget(ClientArea);
    QWidget *c = ClientArea;

    lblToday = placeLabel(c, "lblToday", QStringLiteral("現在の日記"), 272, 40, 95);
    lbl1YearAgo = placeLabel(c, "lbl1YearAgo", QStringLiteral("１年前の日記"), 528, 40, 108);
    lbl2YearsAgo = placeLabel(c, "lbl2YearsAgo", QStringLiteral("２年前の日記"), 16, 312, 108);
    lbl3YearsAgo = placeLabel(c, "lbl3YearsAgo", QStringLiteral("３年前の日記"), 272, 312, 108);
    lbl4YearsAgo = placeLabel(c, "lbl4YearsAgo", QStringLiteral("４年前の日記"), 528, 312, 108);

    Calendar1 = place(new TCalendar(c), "Calendar1", 16, 80, 249, 217);
    Calendar1->setStartOfWeek(0);

    const struct
    {
        DiaryPane **pane;
        const char *name;
        int left;
        int top;
        QLabel *label;
    } panes[] = {
        {&memToday, "memToday", 272, 64, lblToday},
        {&mem1YearAgo, "mem1YearAgo", 528, 64, lbl1YearAgo},
        {&mem2YearsAgo, "mem2YearsAgo", 16, 336, lbl2YearsAgo},
        {&mem3YearsAgo, "mem3YearsAgo", 272, 336, lbl3YearsAgo},
        {&mem4YearsAgo, "mem4YearsAgo", 528, 336, lbl4YearsAgo},
    };
    for (const auto &p : panes) {
        DiaryPane *pane = place(new DiaryPane(c), p.name, p.left, p.top, 249, 233);
        pane->setFont(uiFont(16));
        pane->setAccessibleName(p.label->text());
        p.label->setBuddy(pane);
        if (p.pane != &memToday) {
            pane->setAccessibleDescription(
                QStringLiteral("同じ月日の過去の日記。読むだけの欄です"));
            pane->setReadOnly(true);
            pane->setFrameShape(QFrame::NoFrame);
            pane->setFocusPolicy(Qt::ClickFocus);
            pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        }
        *p.pane = pane;
    }
    memToday->setAccessibleDescription(
        QStringLiteral("この日の日記を書く欄。自動的に保存されます"));

    btnPreMonth = place(new QPushButton(QStringLiteral("←"), c), "btnPreMonth", 24, 40, 57, 33);
    btnPreMonth->setFont(uiFont(19, true));
    btnPreMonth->setAccessibleName(QStringLiteral("前の月"));
    cmbYearMonth = place(new QComboBox(c), "cmbYearMonth", 88, 40, 105, 27);
    cmbYearMonth->setFont(uiFont(19));
    cmbYearMonth->setEditable(true);
    cmbYearMonth->setInsertPolicy(QComboBox::NoInsert);
    // Typed text is read as typed: inline completion would turn "2024/1" into "2024/12".
    cmbYearMonth->setCompleter(nullptr);
    cmbYearMonth->setMaxVisibleItems(8);
    cmbYearMonth->setAccessibleName(QStringLiteral("年月"));
    // An editable combo box reports its text as its name here; a screen reader names it
    // after the label it is the buddy of.
    auto *lblYearMonth = new QLabel(QStringLiteral("年月"), c);
    lblYearMonth->setObjectName(QStringLiteral("lblYearMonth"));
    lblYearMonth->setBuddy(cmbYearMonth);
    lblYearMonth->hide();
    cmbYearMonth->setAccessibleDescription(
        QStringLiteral("一覧から選ぶか、2020/5 のように入力して Enter で移ります"));
    cmbYearMonth->setEditText(QStringLiteral("cmbYearMonth"));
    btnNextMonth = place(new QPushButton(QStringLiteral("→"), c), "btnNextMonth", 200, 40, 57, 33);
    btnNextMonth->setFont(uiFont(19, true));
    btnNextMonth->setAccessibleName(QStringLiteral("次の月"));
    for (QPushButton *button : {btnPreMonth, btnNextMonth}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
    }

    StatusBar1 = place(new QStatusBar(c), "StatusBar1", 0, 575, 792, 19);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setAccessibleName(QStringLiteral("ステータスバー"));

    memDiaryToSave = place(new QPlainTextEdit(c), "memDiaryToSave", 688, 32, 33, 33);
    memDiaryToSave->setVisible(false);
    memDiaryToSave->setEnabled(false);
    memDiaryToSave->setFocusPolicy(Qt::NoFocus);

    setTabOrder(Calendar1, memToday);
    setTabOrder(memToday, btnPreMonth);
    setTabOrder(btnPreMonth, btnNextMonth);
    setTabOrder(btnNextMonth, cmbYearMonth);
}

void TfrmMain::createCommands()
{
    struct Definition
    {
        QAction **action;
        const char *name;
        const char *category;
        QString caption;
        QString hint;
        int icon;
        QKeySequence shortcut;
    };
    const Definition definitions[] = {
        {&FileExit1, "FileExit1", "ファイル", QStringLiteral("終了(&X)"),
            QStringLiteral("終了|アプリケーションを終了する"), 0, {}},
        {&FilePrintSetup1, "FilePrintSetup1", "ファイル", QStringLiteral("プリンタの設定(&U)..."),
            QStringLiteral("プリンタの設定"), 2, {}},
        {&FileSaveAs1, "FileSaveAs1", "ファイル", QStringLiteral("名前を付けて保存(&A)..."),
            QStringLiteral("今日の日記に名前をつけて保存"), 1, {}},
        {&EditCut1, "EditCut1", "編集", QStringLiteral("切り取り(&T)"),
            QStringLiteral("切り取り|選択部分を切り取り、クリップボードに送る"), 3,
            QKeySequence(Qt::CTRL | Qt::Key_X)},
        {&EditCopy1, "EditCopy1", "編集", QStringLiteral("コピー(&C)"),
            QStringLiteral("コピー|選択部分をコピーし、クリップボードに送る"), 4,
            QKeySequence(Qt::CTRL | Qt::Key_C)},
        {&EditPaste1, "EditPaste1", "編集", QStringLiteral("貼り付け(&P)"),
            QStringLiteral("貼り付け|クリップボードの内容を貼り付ける"), 5,
            QKeySequence(Qt::CTRL | Qt::Key_V)},
        {&Version1, "Version1", "ヘルプ", QStringLiteral("バージョン情報"),
            QStringLiteral("バージョン情報"), 6, {}},
        {&EditSettings, "EditSettings", "編集", QStringLiteral("初期設定"),
            QStringLiteral("初期設定"), 7, {}},
    };
    for (const Definition &d : definitions) {
        auto *action = new QAction(commandIcon(d.icon), d.caption, this);
        action->setObjectName(QLatin1String(d.name));
        action->setProperty("category", QString::fromUtf8(d.category));
        action->setProperty("hint", d.hint);
        action->setShortcut(d.shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setIconVisibleInMenu(false);
        QString tip = shortHint(d.hint);
        if (!d.shortcut.isEmpty())
            tip = QStringLiteral("%1 (%2)").arg(tip, d.shortcut.toString(QKeySequence::NativeText));
        action->setToolTip(tip);
        action->setStatusTip(QString());
        addAction(action);
        *d.action = action;
    }
}

void TfrmMain::createMenus()
{
    QMenuBar *MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setAccessibleName(QStringLiteral("メニューバー"));
    QMenu *File1 = MainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->addAction(FileSaveAs1);
    File1->addAction(FilePrintSetup1);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    File1->addAction(FileExit1);
    QMenu *Edit1 = MainMenu1->addMenu(QStringLiteral("編集(&E)"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->addAction(EditCut1);
    Edit1->addAction(EditCopy1);
    Edit1->addAction(EditPaste1);
    Edit1->addSeparator()->setObjectName(QStringLiteral("N2"));
    Edit1->addAction(EditSettings);
    QMenu *Help2 = MainMenu1->addMenu(QStringLiteral("ヘルプ(&H)"));
    Help2->setObjectName(QStringLiteral("Help2"));
    Help2->addAction(Version1);
    for (QMenu *menu : {File1, Edit1, Help2})
        connect(menu, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
}

void TfrmMain::createToolBar()
{
    ToolBar1 = place(new QToolBar(ClientArea), "ToolBar1", 0, 0, kClientWidth, 29);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setFocusPolicy(Qt::NoFocus);
    ToolBar1->setAccessibleName(QStringLiteral("ツールバー"));
    const struct
    {
        QAction *command;
        const char *button;
    } buttons[] = {
        {FileExit1, "tbtnExit"},
        {FileSaveAs1, "tbtnSaveAs"},
        {FilePrintSetup1, "tbtnPrintSetup"},
        {nullptr, "Sep2"},
        {EditCut1, "tbtnEditCut"},
        {EditCopy1, "tbtnEditCopy"},
        {EditPaste1, "tbtnEditPaste"},
        {nullptr, "Sep1"},
        {EditSettings, "tbtnSettings"},
        {nullptr, "Sep3"},
        {Version1, "tbtnVersion"},
    };
    for (const auto &b : buttons) {
        if (!b.command) {
            ToolBar1->addSeparator()->setObjectName(QLatin1String(b.button));
            continue;
        }
        ToolBar1->addAction(b.command);
        QWidget *button = ToolBar1->widgetForAction(b.command);
        button->setObjectName(QLatin1String(b.button));
        // Read aloud as the command's short hint, not the menu caption with its mnemonic.
        const QString hint = b.command->property("hint").toString();
        button->setAccessibleName(shortHint(hint));
        button->setAccessibleDescription(longHint(hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(23, 22);
        button->installEventFilter(this);
    }
}

void TfrmMain::bindEvents()
{
    Calendar1->OnChange = [this](TCalendar &) { Calendar1Change(); };
    memToday->OnChange = [this] { memTodayChange(); };
    memToday->OnExit = [this] { memTodayExit(); };
    connect(btnPreMonth, &QPushButton::clicked, this,
        [this] { guarded(this, [this] { btnPreMonthClick(); }); });
    connect(btnNextMonth, &QPushButton::clicked, this,
        [this] { guarded(this, [this] { btnNextMonthClick(); }); });
    connect(cmbYearMonth, &QComboBox::activated, this,
        [this] { guarded(this, [this] { cmbYearMonthChange(); }); });
    connect(cmbYearMonth->lineEdit(), &QLineEdit::returnPressed, this,
        [this] { guarded(this, [this] { cmbYearMonthTextConfirmed(); }); });

    connect(FileExit1, &QAction::triggered, this, [this] { close(); });
    connect(FileSaveAs1, &QAction::triggered, this,
        [this] { guarded(this, [this] { runFileSaveAs1(); }); });
    connect(FilePrintSetup1, &QAction::triggered, this,
        [this] { guarded(this, [this] { runFilePrintSetup1(); }); });
    connect(EditCut1, &QAction::triggered, this,
        [this] { runEditCommand(EditCut1, &QPlainTextEdit::cut); });
    connect(EditCopy1, &QAction::triggered, this,
        [this] { runEditCommand(EditCopy1, &QPlainTextEdit::copy); });
    connect(EditPaste1, &QAction::triggered, this,
        [this] { runEditCommand(EditPaste1, &QPlainTextEdit::paste); });
    connect(Version1, &QAction::triggered, this,
        [this] { guarded(this, [this] { tbtnVersionClick(); }); });
    connect(EditSettings, &QAction::triggered, this,
        [this] { guarded(this, [this] { tbtnSettingsClick(); }); });

    m_page = new DiaryPage({memToday, mem1YearAgo, mem2YearsAgo, mem3YearsAgo, mem4YearsAgo}, this);
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(kNoticeDelayMs);
    connect(m_noticeTimer, &QTimer::timeout, this,
        [this] { guarded(this, [this] { tellKeptVersions(); }); });
    connect(m_page, &DiaryPage::versionKept, this, &TfrmMain::noteKeptVersion);
    // The marks follow the files: another month, a save, another writer, another folder.
    connect(m_page, &DiaryPage::entryDaysChanged, this, [this] { showDayMarks(); });
    connect(Calendar1, &TCalendar::dateChanged, this, [this](QDate date) {
        if (!Calendar1->hasMarksOf(date.year(), date.month()))
            showDayMarks();
    });
    connect(m_page, &DiaryPage::followFailed, this,
        [this](const QString &message) { reportError(this, message); });
    connect(
        &EntryWriter::instance(), &EntryWriter::outcomesReady, this,
        [this] { guarded(this, [this] { m_page->takeWriterOutcomes(); }); }, Qt::QueuedConnection);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        rememberFocus(now);
        updateCommandStates();
    });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
        [this] { updateCommandStates(); });
    for (int i = 0; i < kPaneCount; ++i)
        connect(
            pane(i), &QPlainTextEdit::selectionChanged, this, [this] { updateCommandStates(); });
    updateCommandStates();
}

void TfrmMain::setSettingsDialog(TSettings *dialog)
{
    m_settings = dialog;
}

DiaryPane *TfrmMain::pane(int index) const
{
    DiaryPane *const panes[kPaneCount]
        = {memToday, mem1YearAgo, mem2YearsAgo, mem3YearsAgo, mem4YearsAgo};
    return panes[index];
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    guarded(this, [this] { FormShow(); });
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // A save that fails keeps the window open with the text, so nothing typed is lost; a
    // termination request ends the program all the same.
    if (guarded(this, [this] { FormCloseQuery(); }) || m_terminating)
        event->accept();
    else
        event->ignore();
}

void TfrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Notifications can be missed (a folder that was away, a network share): look once more
    // whenever the person comes back to the window. Its first activation follows the load.
    if (event->type() != QEvent::ActivationChange || !m_shown)
        return;
    if (!isActiveWindow())
        m_leftOnce = true;
    else if (m_leftOnce)
        m_page->followSoon();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // Toolbar tooltips hide after a fixed time, as the shortcut hint is all they carry.
    if (event->type() == QEvent::ToolTip) {
        auto *button = qobject_cast<QToolButton *>(watched);
        if (button && button->defaultAction()) {
            const auto *help = static_cast<QHelpEvent *>(event);
            QToolTip::showText(help->globalPos(), button->defaultAction()->toolTip(), button,
                QRect(), kToolTipShowMs);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::FormShow()
{
    fillYearMonthList();
    readSettings();
    if (DiaryDir.isEmpty())
        showSettings();
    loadFiveYearPage(TCalendar::today().year());
}

void TfrmMain::fillYearMonthList()
{
    const QSignalBlocker quiet(cmbYearMonth);
    cmbYearMonth->clear();
    cmbYearMonth->clearEditText();
    const int year = Calendar1->Year();
    const int month = Calendar1->Month();
    for (int k = 0; k < 9; ++k)
        cmbYearMonth->addItem(yearMonthText(year - 4 + k, month));
    cmbYearMonth->setCurrentIndex(4);
}

void TfrmMain::loadFiveYearPage(int baseYear)
{
    m_page->loadDate(QDate(baseYear, Calendar1->Month(), Calendar1->Day()));
}

void TfrmMain::Calendar1Change()
{
    if (!checkSettings())
        showSettings();
    loadFiveYearPage(Calendar1->Year());
}

void TfrmMain::btnPreMonthClick()
{
    Calendar1->MonthBack();
    fillYearMonthList();
}

void TfrmMain::btnNextMonthClick()
{
    Calendar1->MonthForward();
    fillYearMonthList();
}

void TfrmMain::cmbYearMonthChange()
{
    const QString text = cmbYearMonth->itemText(cmbYearMonth->currentIndex());
    const YearMonth chosen = parseYearMonthText(text);
    Calendar1->setYear(chosen.year);
    Calendar1->setMonth(chosen.month);
    fillYearMonthList();
}

void TfrmMain::cmbYearMonthTextConfirmed()
{
    const QString text = cmbYearMonth->currentText();
    // An entry of the list was confirmed: the selector's own choice handling has run.
    if (cmbYearMonth->findText(text) >= 0)
        return;
    try {
        const YearMonth typed = parseYearMonthText(text);
        Calendar1->setYear(typed.year);
        Calendar1->setMonth(typed.month);
    } catch (...) {
        fillYearMonthList();
        throw;
    }
    fillYearMonthList();
}

void TfrmMain::settingsCheck()
{
    if (!checkSettings())
        showSettings();
}

void TfrmMain::memTodayChange()
{
    // A notice waits while the person types, so that no keystroke lands in its box.
    if (!m_keptNotices.isEmpty())
        m_noticeTimer->start();
    settingsCheck();
    m_page->typed();
}

void TfrmMain::memTodayExit()
{
    settingsCheck();
    m_page->leave();
    tellKeptVersions();
}

void TfrmMain::FormCloseQuery()
{
    // Text still being composed is part of what the user wrote.
    memToday->commitComposition();
    // A termination request waits for nobody: no settings dialog, and an entry that cannot be
    // saved goes to a rescue file.
    if (m_terminating) {
        saveOrRescueEntries();
        return;
    }
    settingsCheck();
    // The close is decided once every save is on disk: one that failed keeps the window open.
    m_page->close();
    tellKeptVersions();
}

void TfrmMain::showDayMarks()
{
    const int year = Calendar1->Year();
    const int month = Calendar1->Month();
    Calendar1->setDayMarks(
        year, month, DayMarks::find(DiaryDir, year, month, m_page->textsNotOnDisk()));
}

void TfrmMain::tellKeptVersions()
{
    m_noticeTimer->stop();
    const QStringList notices = std::exchange(m_keptNotices, {});
    // A termination must never wait for a person; the kept files are there all the same.
    if (m_terminating)
        return;
    for (const QString &notice : notices)
        Prompter::current().information(this, QStringLiteral("情報"), notice);
}

void TfrmMain::noteKeptVersion(const QString &entryPath, const QString &keptPath, bool previous)
{
    const QFileInfo file(entryPath);
    const QString day = file.fileName();
    const QString notice = previous
        ? QStringLiteral("%1/%2/%3 の日記 (%4) には、入力した文字の直前に、コードページ 932 "
                         "の文字ではないバイトがありました。\n"
                         "そのバイトを除いて保存し、元の内容を次のファイルに残しました。\n\n%5")
        : QStringLiteral("%1/%2/%3 の日記 (%4) は、ほかの場所で書き換えられていました。\n"
                         "そちらの内容を次のファイルに残し、この画面の日記を保存しました。\n\n%5");
    m_keptNotices << notice.arg(QFileInfo(file.path()).fileName())
                         .arg(day.left(2).toInt())
                         .arg(day.mid(2, 2).toInt())
                         .arg(day, QDir::toNativeSeparators(keptPath));
    m_noticeTimer->start();
}

void TfrmMain::saveOrRescueEntries()
{
    for (const DiaryPage::Rescue &rescue : m_page->terminate())
        std::fprintf(stderr, "%s: 日記を %s に残しました\n", qUtf8Printable(rescue.error),
            qUtf8Printable(rescue.file));
}

void TfrmMain::announceRescueFiles()
{
    const QStringList files = unannouncedRescueFiles();
    if (files.isEmpty() || m_terminating)
        return;
    Prompter::current().information(this, QStringLiteral("情報"),
        QStringLiteral("前回の終了時に保存できなかった日記を、次のファイルに残しました。\n\n%1")
            .arg(files.join(QLatin1Char('\n'))));
    for (const QString &file : files)
        markRescueFileAnnounced(file);
}

void TfrmMain::closeForTermination()
{
    m_terminating = true;
    close();
}

void TfrmMain::showSettings()
{
    // Typing goes to the folder it was written in while that one is usable; failing that, to
    // the folder chosen next.
    guarded(this, [this] { m_page->folderAboutToChange(); });
    if (m_settings)
        ::showSettings(*m_settings);
    else
        readSettings();
    m_page->folderChanged();
}

void TfrmMain::tbtnSettingsClick()
{
    showSettings();
}

void TfrmMain::tbtnVersionClick()
{
    OKBottomDlg = new TOKBottomDlg(this);
    Prompter::current().runModal(*OKBottomDlg);
}

void TfrmMain::rememberFocus(QWidget *now)
{
    if (now && now->window() == this && now != menuBar())
        m_focusedControl = now;
}

DiaryPane *TfrmMain::focusedPane() const
{
    // The focus within this window, whatever popup is open; the menu bar holds it only while
    // a menu is opened by its mnemonic, and gives it back to the control it came from.
    QWidget *focus = focusWidget();
    if (focus == menuBar())
        focus = m_focusedControl;
    if (!focus || QApplication::activeWindow() != this)
        return nullptr;
    for (int i = 0; i < kPaneCount; ++i) {
        if (focus == pane(i))
            return pane(i);
    }
    return nullptr;
}

void TfrmMain::bindSearchKeys()
{
    // Keys of the window, not commands: the menus and the toolbar stay as they are.
    const auto key = [this](QKeySequence sequence, std::function<void()> handler) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, handler] { guarded(this, handler); });
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { openSearch(); });
    key(QKeySequence(Qt::Key_F3), [this] { showSearchNeighbour(1); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { showSearchNeighbour(-1); });
}

void TfrmMain::openSearch()
{
    if (!frmSearch) {
        const auto scope = [this] {
            return TfrmSearch::Scope {DiaryDir, searchTextsNotOnDisk(*m_page, DiaryDir)};
        };
        frmSearch = new TfrmSearch(this, searchSourcesIn, scope);
        m_highlighter = new SearchHighlighter(
            {memToday, mem1YearAgo, mem2YearsAgo, mem3YearsAgo, mem4YearsAgo}, this);
        connect(frmSearch, &TfrmSearch::markedTermsChanged, m_highlighter,
            &SearchHighlighter::setTerms);
        connect(frmSearch, &TfrmSearch::dayChosen, this, [this](int year, int month, int day) {
            guarded(this, [&] { showSearchedDay(year, month, day); });
        });
        connect(frmSearch, &TfrmSearch::dismissed, this, [this] {
            activateWindow();
            memToday->setFocus(Qt::OtherFocusReason);
        });
    }
    frmSearch->open();
}

void TfrmMain::showSearchNeighbour(int step)
{
    if (frmSearch && frmSearch->isVisible())
        frmSearch->showNeighbour(step);
}

void TfrmMain::showSearchedDay(int year, int month, int day)
{
    // Year folders 0 and below hold entries the calendar cannot show.
    if (year < 1)
        return;
    Calendar1->setDate(QDate(year, month, day));
    fillYearMonthList();
}

void TfrmMain::updateCommandStates()
{
    DiaryPane *target = focusedPane();
    const bool selection = target && target->textCursor().hasSelection();
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    const bool clipText = clip && clip->hasText();
    EditCut1->setEnabled(selection);
    EditCopy1->setEnabled(selection);
    EditPaste1->setEnabled(target && clipText);
}

void TfrmMain::runEditCommand(QAction *command, void (QPlainTextEdit::*operation)())
{
    updateCommandStates();
    DiaryPane *target = focusedPane();
    if (!command->isEnabled() || !target)
        return;
    // Read-only panes let copy through; cut and paste never change them.
    if (target->isReadOnly() && command != EditCopy1)
        return;
    (target->*operation)();
}

void TfrmMain::runFileSaveAs1()
{
    if (!SaveDialog) {
        SaveDialog = new QFileDialog(this, QStringLiteral("日記を出力"));
        SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
        SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
        SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog->setFileMode(QFileDialog::AnyFile);
        // The types read as their names alone; the patterns still filter.
        SaveDialog->setOption(QFileDialog::HideNameFilterDetails);
        SaveDialog->setNameFilters(
            {QStringLiteral("テキストファイル (*.txt)"), QStringLiteral("すべてのファイル (*.*)")});
        SaveDialog->setDefaultSuffix(QStringLiteral("txt"));
        SaveDialog->setSizeGripEnabled(true);
    }
    const QString fileName = Prompter::current().saveFileName(*SaveDialog);
    if (fileName.isEmpty())
        return;
    SaveDialog->selectFile(fileName);
    FileSaveAs1Accept(fileName);
}

void TfrmMain::FileSaveAs1Accept(const QString &fileName)
{
    // An existing file that may not be replaced stops the export quietly.
    if (isReadOnlyFile(fileName))
        return;
    const int year = Calendar1->Year();
    const int month = Calendar1->Month();
    const int day = Calendar1->Day();
    QString composed;
    for (int k = 0; k < kPaneCount; ++k) {
        composed += QStringLiteral("%1/%2/%3\n").arg(year - k).arg(month).arg(day);
        composed += pane(k)->text();
        composed += QLatin1Char('\n');
    }
    memDiaryToSave->setPlainText(composed);
    writeTextFile(fileName, composed);
    Prompter::current().information(this, QStringLiteral("情報"), QStringLiteral("保存しました"));
}

void TfrmMain::runFilePrintSetup1()
{
    std::unique_ptr<QDialog> dialog = PrintSetup::makeDialog(this);
    dialog->setWindowTitle(QStringLiteral("プリンタの設定"));
    // The dialog only chooses the printer; nothing is printed, so its button says so.
    if (auto *buttons = dialog->findChild<QDialogButtonBox *>()) {
        if (QPushButton *ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    }
    Prompter::current().runModal(*dialog);
}
