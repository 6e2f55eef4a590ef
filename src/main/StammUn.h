#pragma once

#include "CheckEngine.h"
#include "ScheduledCheck.h"
#include "Screening.h"
#include "Variabel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QComboBox;
class QFrame;
class QLabel;
class TStatusLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;
class DesktopNotifier;
class TBackgroundCheck;
class QStackedWidget;
class QToolButton;
class PasswordKeeper;
class TBerichtForm;
class TFWInfoScreenA;
class TFWInternalInfo;
class TFWLanguage;
class TFWOnlineHelp;
class TExamineForm;
class TFWStartScreenA;
class TPop3Client;
class MessageList;
class TFWPassword;
class TFWProgramLinks;
class TBlinkLabel;
class TLEDLabel;
class TScrollingText;
class TModelGrid;
struct TCertificateInfo;

// The main window: tool bar, status lamps, account list, the message grid
// and the hidden panels of the list editor, the first-run wizard and the
// waiting notice. Its commands live in the files named after them.
class TStammForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TStammForm(Variabel& state, QWidget* parent = nullptr);
    ~TStammForm() override;

    // The other windows of the program, created after the main window.
    void setWindows(TExamineForm* examine, QWidget* setup, TBerichtForm* bericht);
    // Builds the other windows (through setWindows) when they are still to
    // come: after the first frame, or as soon as the window needs one.
    void setWindowFactory(std::function<void()> create);
    TBerichtForm* BerichtForm() const { return m_bericht; }
    // Keeps the account passwords in the desktop's secret store.
    PasswordKeeper& Passwords() const { return *m_passwords; }

    // The text of a number in the language file; empty when it has none.
    QString GetText(quint16 number) const;
    void ShowPage(const QString& page);
    void ShowContext(int context);
    bool ProgramLink(bool create, const QString& location);

    // Loads the language file the program starts with.
    void Sprache_Setzen();
    void Pfade_Setzen();
    void Anzeige_Setzen();
    void Einrichten();
    void Loeschen();

    Variabel& V;

    // Main-window state shared with the examination window.
    qint32 Anzahl_Mails = 0;
    qint32 Zeile = 0;
    qint32 Modus = 0;

    // Non-visual components
    TPop3Client* Pop3Client1 = nullptr;
    TFWLanguage* FWLanguage1 = nullptr;
    TFWPassword* FWPassword1 = nullptr;
    TFWOnlineHelp* FWOnlineHelp1 = nullptr;
    TFWProgramLinks* FWProgramLinks1 = nullptr;
    TFWStartScreenA* FWStartScreenA1 = nullptr;
    TFWInfoScreenA* FWInfoScreenA1 = nullptr;
    TFWInternalInfo* FWInternalInfo1 = nullptr;

    // Tool bar
    QToolButton* SBClose = nullptr;
    QToolButton* SBCheck = nullptr;
    QToolButton* SBExamine = nullptr;
    QToolButton* SBCheck_All = nullptr;
    QToolButton* SBDelete = nullptr;
    QToolButton* SBHilfe = nullptr;
    QToolButton* SBeMail = nullptr;
    // Status panel
    TLEDLabel* LEDOnline = nullptr;
    TLEDLabel* LEDCheck = nullptr;
    TLEDLabel* LEDWaiting = nullptr;
    TLEDLabel* LEDMessages = nullptr;
    TLEDLabel* LEDAbsender = nullptr;
    TLEDLabel* LEDBetreff = nullptr;
    QLabel* LLAnzahl = nullptr;
    QLabel* LAnzahl = nullptr;
    QLabel* LKonto = nullptr;
    QComboBox* Konten = nullptr;
    TScrollingText* Schrift = nullptr;
    TStatusLabel* LStatus = nullptr;
    // Whether the connection is encrypted, with protocol and cipher.
    QLabel* LSicherheit = nullptr;
    TModelGrid* Tabelle = nullptr;
    // List editor
    QFrame* PEdit = nullptr;
    QStackedWidget* EditStack = nullptr;
    QPlainTextEdit* Subject_Checker = nullptr;
    QPlainTextEdit* From_Checker = nullptr;
    QPushButton* OB_Speichern = nullptr;
    QPushButton* OBAbbrechen = nullptr;
    QPushButton* OBHilfe_Checker = nullptr;
    // First-run wizard, built only on the start that shows it
    QFrame* PFirst = nullptr;
    QStackedWidget* PFirstPages = nullptr;
    QWidget* PFirst_One = nullptr;
    QWidget* PFirst_Two = nullptr;
    QLineEdit* EKonto = nullptr;
    QLineEdit* EPort = nullptr;
    QComboBox* CBSicherheit = nullptr;
    QLineEdit* EHost = nullptr;
    QLineEdit* EUser = nullptr;
    QLineEdit* EPasswort = nullptr;
    QCheckBox* CBPasswort = nullptr;
    // Log-on kind; for OAuth2 the provider, the client id and the values of an own provider
    QComboBox* CBAnmeldung = nullptr;
    QComboBox* CBAnbieter = nullptr;
    QLineEdit* EOAuthClient = nullptr;
    QLineEdit* EOAuthAutorisierung = nullptr;
    QLineEdit* EOAuthToken = nullptr;
    QLineEdit* EOAuthScope = nullptr;
    // Waiting for the OAuth2 log-on in the browser, with its cancel button
    QFrame* PBrowser = nullptr;
    QLabel* LBrowser = nullptr;
    QPushButton* SBBrowserAbbrechen = nullptr;
    // Waiting notice
    QFrame* PWarten = nullptr;
    TBlinkLabel* BlinkLabel1 = nullptr;
    // Menu
    QMenu* File1 = nullptr;
    QAction* Setup1 = nullptr;
    QAction* Close1 = nullptr;
    QMenu* Action1 = nullptr;
    QAction* Conncet1 = nullptr;
    QAction* Disconnect1 = nullptr;
    QAction* Protokoll1 = nullptr;
    QAction* Check1 = nullptr;
    QAction* Examine1 = nullptr;
    QAction* Examineall1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* Restore1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Subject1 = nullptr;
    QAction* From1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Hilfe1 = nullptr;
    QAction* Informationen1 = nullptr;
    QMenu* Sinstiges1 = nullptr;
    QAction* Adresse1 = nullptr;
    QAction* Credits1 = nullptr;
    QAction* AGB1 = nullptr;
    QAction* Rechtliches1 = nullptr;
    QAction* Software1 = nullptr;
    QAction* Version1 = nullptr;
    QAction* News1 = nullptr;
    QAction* Awards1 = nullptr;

    // Check command and the POP3 client's events
    void SBCheckClick();
    void Eingabe(int slot);
    void Disconnect1Click();
    void Pop3Client1Connect();
    void Pop3Client1Disconnect();
    void Pop3Client1Status(const QString& status);
    void Pop3Client1RetrieveStart();
    // A message of the running check was listed and screened.
    void Pop3Client1RetrieveEnd(int number, const Screening::Result& result);
    void Pop3Client1AuthenticationFailed(bool& Handled);
    void Pop3Client1ConnectionFailed();
    void Pop3Client1InvalidHost(bool& Handled);
    void Pop3Client1Failure();
    void Pop3Client1CertificateUntrusted(const TCertificateInfo& info, bool& Accept);
    // The check has ended: its boxes follow here, never beneath a protocol step.
    void checkFinished(const CheckEngine::Outcome& outcome);
    // The messages of the last listing, which the grid shows.
    MessageList& Messages() const { return *m_messages; }
    CheckEngine& Check() const { return *m_engine; }

    // Working on the list
    void SBDeleteClick();
    void Restore1Click();
    void SBExamineClick();
    void SBCheck_AllClick();

    // Commands
    void Subject1Click(QObject* sender);
    void OB_SpeichernClick(QObject* sender);
    void Hilfe1Click(QObject* sender);
    void SBHilfeClick(QObject* sender);
    void SBeMailClick();
    void Protokoll1Click();

    // Scheduled checks and the tray
    TBackgroundCheck* BackgroundCheck() const { return m_background; }
    QSystemTrayIcon* TrayIcon() const { return m_tray; }
    void BackgroundChecked(int slot, const ScheduledCheck::Outcome& outcome);
    // The account's scheduled check found no password to log on with.
    void BackgroundSkipped(int slot);
    // Ends the program as Beenden does, tray or not: QUIT, then the window closes.
    void endProgram();
    // Whether the desktop has a tray; tests stand in for the desktop's answer.
    static void setTrayProbe(std::function<bool()> available);

signals:
    // Emitted at the end of closing: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    bool firstRunPortIsValid();
    void firstRunSecurityChanged();

    void createComponents();
    void setUpBackground();
    // Builds the tray icon once, if the desktop has a tray.
    void setUpTray();
    void buildTray();
    void updateTray();
    void showFromTray();
    void quitFromTray();
    int waitingMessages() const;
    void bindHandlers();
    void setStatusText(quint16 textNumber, bool navy);
    void log(const QString& line);
    void endListing();
    void reportScreening();
    void checkFailed(const CheckEngine::Outcome& outcome);
    void retrieveEndForExamination();
    // Draws the grid and the progress of a running listing, at most at the display rate unless forced.
    void showListingProgress(bool force);
    // Shows the no-list message and returns true while no list is shown, or
    // while the given row of the grid holds no message that was listed.
    bool listMissing(int helpContext, int row = -1);
    // Whether the commands that talk to the server may run: not while the
    // client waits for it, nor while another of them is running.
    bool commandsAvailable() const;
    // Shows in the tool bar and the menu whether those commands may run.
    void updateCommands();
    // Runs the part of a command that talks to the server. An operation that
    // the user ended with Disconnect while it waited is no failure.
    void serverCommand(const std::function<void()>& body);
    // Held by a command that talks to the server for as long as it runs.
    class CommandLock
    {
    public:
        explicit CommandLock(TStammForm& form) : m_form(form)
        {
            ++m_form.m_commandLocks;
            m_form.updateCommands();
        }
        ~CommandLock()
        {
            --m_form.m_commandLocks;
            m_form.updateCommands();
        }
        CommandLock(const CommandLock&) = delete;
        CommandLock& operator=(const CommandLock&) = delete;

    private:
        TStammForm& m_form;
    };
    QString confirmationText(int row, quint16 question) const;
    // Ends the POP3 connection with QUIT; swallow: failures are ignored.
    // Returns false when the failure was reported as deletions left undone.
    bool disconnectClient(bool swallow);
    // Ends the connection with QUIT and reports the deletions it leaves undone;
    // returns false after such a report, otherwise throws a failure unless swallow.
    bool quitServer(bool swallow);
    // The connection has closed: the deletions made in it are final only if
    // the server accepted QUIT.
    void connectionEnded();
    void reportUndoneDeletions(const QList<int>& deletions, const QString& why);
    // The rows of these messages no longer show them as deleted.
    void takeBackDeletionMarks(const QList<int>& deletions);
    void showConnectionSecurity();
    void ShowInfoScreen();

    void buildToolBar(QWidget* parent);
    void buildStatusPanel(QWidget* parent);
    void buildStatusLine(QWidget* parent);
    void buildMenu();
    void buildListEditor(QWidget* parent);
    void buildWaitingPanel(QWidget* parent);
    void buildBrowserPanel(QWidget* parent);
    void browserWaiting(bool waiting);
    void buildFirstRunPanel(QWidget* parent);
    // Name, port and security of the account.
    void buildFirstRunAccountPage();
    // Host, user and password.
    void buildFirstRunLoginPage();
    // The log-on kind and, for OAuth2, the provider in place of the password.
    void buildFirstRunOAuthFields();
    void firstRunLogOnChanged();
    void layOutPanels();

    void resizeEvent(QResizeEvent* event) override;

    // The other windows now, if they are still to come.
    void needWindows();

    TExamineForm* m_examine = nullptr;
    TBerichtForm* m_bericht = nullptr;
    QWidget* m_setup = nullptr;
    std::function<void()> m_createWindows;
    // What was logged before the log window existed.
    QStringList m_earlyLog;
    // The messages the listing of this connection found: only they are worked
    // on, never a number the user did not see. Their deletion states say which
    // were deleted in this connection and are not final until QUIT.
    MessageList* m_messages = nullptr;
    CheckEngine* m_engine = nullptr;
    // While the window ends the connection itself, the deletions it ends with,
    // reported once the outcome of QUIT is known.
    bool m_quitting = false;
    QList<int> m_unconfirmed;
    // While a check lists the messages the grid is drawn by showListingProgress
    // instead of at every reply the client waits for.
    bool m_listing = false;
    QElapsedTimer m_lastFrame;
    QString m_listingStatus;
    std::unique_ptr<PasswordKeeper> m_passwords;
    // The password typed for the running check, kept once the logon succeeds.
    struct
    {
        int slot = 0;
        QString previousAccount;
    } m_passwordToKeep;
    // The account slot of the current connection.
    int m_checkSlot = 0;
    // The wizard's security choice before the last change.
    QString m_firstRunSecurity;
    int m_commandLocks = 0;
    // The user ended the connection while an operation waited for the server.
    bool m_disconnectAsked = false;
    bool m_shown = false;
    bool m_painted = false;
    bool m_trayAsked = false;
    TBackgroundCheck* m_background = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    // Messages left on the server by the last scheduled check of each account.
    QMap<int, int> m_waiting;
    // The user pressed Check while a scheduled check ran; it follows.
    bool m_checkAfterBackground = false;
    bool m_quitAsked = false;
    // Ended by the session (SIGTERM): what goes wrong is logged, never asked about.
    bool m_endingSession = false;
    bool m_closing = false;
};
