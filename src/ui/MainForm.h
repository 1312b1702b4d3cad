#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class DiaryPane;
class QAction;
class QComboBox;
class QFileDialog;
class QFileSystemWatcher;
class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class TCalendar;
class TOKBottomDlg;
class TSettings;

// The version dialog made by the last use of the version command.
extern TOKBottomDlg *OKBottomDlg;

// The five-year page: the calendar, the editable pane for the base year and four read-only
// panes for the years before it, with the month navigation, autosave and the commands.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kPaneCount = 5;

    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The one settings dialog, created hidden at start-up, that showSettings shows.
    void setSettingsDialog(TSettings *dialog);

    // Pane 0 is memToday, pane i the entry of the base year minus i.
    DiaryPane *pane(int index) const;

    // Handlers, named after their control and event.
    void FormShow();
    void FormCloseQuery();
    void Calendar1Change();
    void btnPreMonthClick();
    void btnNextMonthClick();
    void cmbYearMonthChange();
    void cmbYearMonthTextConfirmed();
    void memTodayChange();
    void memTodayExit();
    void FileSaveAs1Accept(const QString &fileName);
    void tbtnVersionClick();
    void tbtnSettingsClick();

    // A termination request (SIGTERM, SIGHUP, the session ending) closes the window; from then
    // on nothing may wait for a person.
    void closeForTermination();
    bool terminating() const { return m_terminating; }

    // Tells the user, in one box, of entries that an earlier termination request kept in
    // rescue files.
    void announceRescueFiles();

    void fillYearMonthList();
    void loadFiveYearPage(int baseYear);
    // Shows what another writer (a synchroniser) changed in the page's files since they were
    // loaded; memToday only while it holds no typing that is not on disk.
    void followChangesElsewhere();
    void showSettings();
    void updateCommandStates();

    QWidget *ClientArea = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QLabel *lblToday = nullptr;
    QLabel *lbl1YearAgo = nullptr;
    QLabel *lbl2YearsAgo = nullptr;
    QLabel *lbl3YearsAgo = nullptr;
    QLabel *lbl4YearsAgo = nullptr;
    TCalendar *Calendar1 = nullptr;
    DiaryPane *memToday = nullptr;
    DiaryPane *mem1YearAgo = nullptr;
    DiaryPane *mem2YearsAgo = nullptr;
    DiaryPane *mem3YearsAgo = nullptr;
    DiaryPane *mem4YearsAgo = nullptr;
    QPushButton *btnPreMonth = nullptr;
    QPushButton *btnNextMonth = nullptr;
    QComboBox *cmbYearMonth = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QPlainTextEdit *memDiaryToSave = nullptr;

    QAction *FileExit1 = nullptr;
    QAction *FilePrintSetup1 = nullptr;
    QAction *FileSaveAs1 = nullptr;
    QAction *EditCut1 = nullptr;
    QAction *EditCopy1 = nullptr;
    QAction *EditPaste1 = nullptr;
    QAction *Version1 = nullptr;
    QAction *EditSettings = nullptr;
    QFileDialog *SaveDialog = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createCommands();
    void createMenus();
    void createToolBar();
    void bindEvents();
    void settingsCheck();
    void saveToday(const QString &text);
    // What the entry writer met since last asked: kept versions, and failures (raised).
    void tellWriterOutcomes();
    void noteKeptVersion(const QString &entry, const QString &kept);
    void tellKeptVersions();
    void loadPane(int index, const QString &path);
    void watchPage();
    void runFileSaveAs1();
    void runFilePrintSetup1();
    void runEditCommand(QAction *command, void (QPlainTextEdit::*operation)());
    DiaryPane *focusedPane() const;
    void rememberFocus(QWidget *now);
    void saveOrRescueEntry();

    TSettings *m_settings = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    bool m_shown = false;
    bool m_terminating = false;
    bool m_leftOnce = false;
    QPointer<QWidget> m_focusedControl;
    // The files behind the five panes as last loaded, and memToday's text as last loaded or
    // saved: typing beyond it is not on disk yet.
    QString m_pagePaths[kPaneCount];
    QString m_todayOnDisk;
    QFileSystemWatcher *m_pageWatcher = nullptr;
    QTimer *m_followTimer = nullptr;
    QStringList m_keptNotices;
    QTimer *m_noticeTimer = nullptr;
};
