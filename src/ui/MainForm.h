#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

class DiaryPage;
class QTimer;
class DiaryPane;
class QAction;
class QComboBox;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class SearchHighlighter;
class TfrmSearch;
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
    // The files behind the panes and the rules that keep the typing.
    DiaryPage &page() const { return *m_page; }
    // A version kept while the person types is told of once the typing pauses.
    static constexpr int kNoticeDelayMs = 2000;

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
    // The settings dialog, then the settings read again; the page follows a new diary folder.
    void showSettings();
    void updateCommandStates();
    // Ctrl+F: the search window, beside this one, its query selected.
    void openSearch();
    // F3 and Shift+F3: the next or the previous result's day.
    void showSearchNeighbour(int step);
    // A day chosen in the search window, shown as picking it on the calendar shows it.
    void showSearchedDay(int year, int month, int day);

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
    TfrmSearch *frmSearch = nullptr; // made on the first Ctrl+F

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
    void bindSearchKeys();
    void settingsCheck();
    void tellKeptVersions();
    void noteKeptVersion(const QString &entryPath, const QString &keptPath);
    void runFileSaveAs1();
    void runFilePrintSetup1();
    void runEditCommand(QAction *command, void (QPlainTextEdit::*operation)());
    DiaryPane *focusedPane() const;
    void rememberFocus(QWidget *now);
    void saveOrRescueEntries();
    // Lists the shown month's entries and marks them on the calendar.
    void showDayMarks();

    TSettings *m_settings = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    bool m_shown = false;
    bool m_terminating = false;
    bool m_leftOnce = false;
    QPointer<QWidget> m_focusedControl;
    DiaryPage *m_page = nullptr;
    // Other writers' versions kept beside an entry, told of once the typing pauses.
    QStringList m_keptNotices;
    QTimer *m_noticeTimer = nullptr;
    SearchHighlighter *m_highlighter = nullptr;
};
