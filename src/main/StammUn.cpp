#include "StammUn.h"

#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "BlinkLabel.h"
#include "CommandGuard.h"
#include "Dialogs.h"
#include "FWInfoScreenUnit.h"
#include "FWInternalInfoUnit.h"
#include "FWLanguageUnit.h"
#include "FWOnlineHelpUnit.h"
#include "FWPasswordUnit.h"
#include "FWProgramLinksUnit.h"
#include "FWStartScreenForm.h"
#include "FWStartScreenUnit.h"
#include "GradientText.h"
#include "LED.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "PasswordKeeper.h"
#include "Pop3Client.h"
#include "ProgramFolder.h"
#include "ScrollingText.h"
#include "SettingsStore.h"
#include "SprachenUn.h"
#include "StammColors.h"
#include "StatusLabel.h"
#include "UiLanguage.h"
#include "WidgetSetup.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QColor kFixedColor(255, 220, 193);

} // namespace

TStammForm::TStammForm(Variabel& state, QWidget* parent)
    : QMainWindow(parent), V(state), m_passwords(std::make_unique<PasswordKeeper>(state))
{
    m_passwords->Log = [this](const QString& line) { log(line); };
    m_passwords->Tell = [](const QString& text) { Dialogs::message(Dialogs::Kind::Warning, text); };
    setObjectName(u"StammForm"_s);
    setWindowTitle(u"Postrella"_s);
    setAccessibleName(u"Postrella"_s);
    setFont(timesFont(11));
    // Every text the windows are built with follows the language, so it is
    // chosen before them.
    Sprache_Setzen();

    auto* central = new QWidget(this);
    central->setObjectName(u"StammClient"_s);
    setCentralWidget(central);
    auto* rows = new QVBoxLayout(central);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    auto* body = new QWidget(central);
    auto* bodyRow = new QHBoxLayout(body);
    bodyRow->setContentsMargins(0, 0, 0, 0);
    bodyRow->setSpacing(0);
    auto* left = new QWidget(body);
    auto* leftRows = new QVBoxLayout(left);
    leftRows->setContentsMargins(0, 0, 0, 0);
    leftRows->setSpacing(0);

    buildToolBar(left);
    buildStatusPanel(left);
    buildStatusLine(left);

    Tabelle = named(new TModelGrid(left), u"Tabelle"_s, byLanguage(u"Nachrichten"_s, u"Messages"_s));
    Tabelle->setFixedColor(kFixedColor);
    Tabelle->setShowGrid(false);
    Tabelle->setFont(timesFont(11));
    leftRows->addWidget(left->findChild<QWidget*>(u"POben"_s));
    leftRows->addWidget(left->findChild<QWidget*>(u"PAngabe"_s));
    leftRows->addWidget(left->findChild<QWidget*>(u"PStatus"_s));
    leftRows->addWidget(Tabelle, 1);

    auto* band = named(new TGradientPanel(body), u"PRand"_s, byLanguage(u"Rand"_s, u"Border"_s));
    band->setColors(StammColors::Navy, kFixedColor, Qt::Vertical);
    band->setFixedWidth(33);
    bodyRow->addWidget(left, 1);
    bodyRow->addWidget(band);
    rows->addWidget(body);

    buildListEditor(central);
    buildWaitingPanel(central);
    buildBrowserPanel(central);
    buildMenu();

    createComponents();
    bindHandlers();
    qApp->installEventFilter(this);
    FormCreate();
}

TStammForm::~TStammForm()
{
    qApp->removeEventFilter(this);
}

void TStammForm::setWindows(TExamineForm* examine, QWidget* setup, TBerichtForm* bericht)
{
    m_examine = examine;
    m_setup = setup;
    m_bericht = bericht;
    if (m_bericht) {
        for (const QString& line : std::as_const(m_earlyLog))
            m_bericht->addLine(line);
    }
    m_earlyLog.clear();
    if (m_setup && m_shown)
        SprachenUn::Texte_Setup(*m_setup, [this](quint16 number) { return GetText(number); });
}

void TStammForm::setWindowFactory(std::function<void()> create)
{
    m_createWindows = std::move(create);
}

void TStammForm::needWindows()
{
    if (const std::function<void()> create = std::exchange(m_createWindows, nullptr))
        create();
}

void TStammForm::layOutPanels()
{
    const QRect area = centralWidget()->rect();
    auto centre = [&](QWidget* panel) {
        panel->move(qMax(0, (area.width() - panel->width()) / 2), qMax(0, (area.height() - panel->height()) / 2));
    };
    centre(PEdit);
    centre(PWarten);
    centre(PBrowser);
}

void TStammForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layOutPanels();
}

bool TStammForm::eventFilter(QObject* watched, QEvent* event)
{
    // The tooltip switch of the settings covers the main window only.
    if (event->type() == QEvent::ToolTip && !V.Hints) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TStammForm::FormCreate()
{
    V.Pfad = ProgramFolder::path();
    Pop3Client1->setAttachFilePath(ProgramFolder::scratchFolder());
    {
        SettingsStore store;
        V.load(store);
    }
    V.Sprache = FWLanguage1->FileName();
    move(V.FensterLeft, V.FensterTop);
    resize(V.FensterWidth, V.FensterHeight);
    switch (V.FensterStatus) {
    case 1:
        setWindowState(Qt::WindowNoState);
        break;
    case 2:
        setWindowState(Qt::WindowMaximized);
        break;
    case 3:
        setWindowState(Qt::WindowMinimized);
        break;
    default:
        break;
    }
    Pfade_Setzen();
    Anzeige_Setzen();
    Einrichten();
    V.Passwort_Neu = false;
    FWOnlineHelp1->PrepareHelp();
    setUpBackground();
}

void TStammForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TStammForm::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        QTimer::singleShot(0, this, [this] {
            setUpTray();
            needWindows();
        });
    }
}

void TStammForm::FormShow()
{
    auto lookup = [this](quint16 number) { return GetText(number); };
    SprachenUn::Texte_Stamm(*this, lookup);
    if (m_setup)
        SprachenUn::Texte_Setup(*m_setup, lookup);
    // Once the window is painted, so that a keyring that cannot be reached
    // is reported over the window rather than before it appears.
    QTimer::singleShot(0, this, [this] {
        SettingsStore store;
        m_passwords->migrate(store);
    });
    // A window that starts minimised is not painted; its tray icon comes all the same.
    QTimer::singleShot(isMinimized() ? 0 : 1000, this, [this] {
        setUpTray();
        needWindows();
    });
    if (V.Startschirm)
        FWStartScreenA1->ShowStartScreen();
    if (V.First) {
        // Built only for the one start that shows it.
        buildFirstRunPanel(centralWidget());
        PFirst->show();
        PFirst->raise();
    }
    V.First = false;
}

void TStammForm::closeEvent(QCloseEvent* event)
{
    // Closed to the tray, the program keeps screening; quitting from the
    // tray ends it as the close button does without that option.
    if (!m_closing && !m_quitAsked && V.In_Tray && m_tray && m_tray->isVisible()) {
        hide();
        event->ignore();
        return;
    }
    if (!m_closing) {
        m_closing = true;
        FormClose();
    }
    event->accept();
    emit closed();
}

void TStammForm::FormClose()
{
    disconnectClient(true);
    if (m_background)
        m_background->stop();
    if (m_tray)
        m_tray->hide();
    // A maximised or minimised window keeps its normal place and size for the
    // next start, so un-maximising puts it back where it was. The normal
    // geometry is the inside of the window; the place stored is its frame's.
    const bool normalState = !isMaximized() && !isMinimized();
    const QRect normal = normalState ? geometry() : normalGeometry();
    V.FensterHeight = normal.height();
    V.FensterWidth = normal.width();
    V.FensterTop = normalState ? pos().y() : normal.top() - (geometry().top() - pos().y());
    V.FensterLeft = normalState ? pos().x() : normal.left() - (geometry().left() - pos().x());
    V.FensterStatus = isMinimized() ? 3 : isMaximized() ? 2 : 1;
    {
        SettingsStore store;
        V.save(store);
    }
    Loeschen();
    if (m_bericht)
        m_bericht->hide();
    if (m_setup)
        m_setup->hide();
}

void TStammForm::Einrichten()
{
    // The grid shows the message list, which the check fills anew.
    m_messages->clear();
    m_messages->setSizeUnit(V.Angabe);
    const QString headers[] = {QString(), u"ID"_s, u"*"_s, V.Angabe, GetText(18), GetText(17)};
    for (int c = 0; c < MessageList::ColumnCount; ++c)
        m_messages->setHeaderData(c, Qt::Horizontal, headers[c]);
    const int widths[] = {10, 25, 20, 70, 160, 200};
    for (int c = 0; c < MessageList::ColumnCount; ++c)
        Tabelle->setColWidths(c, widths[c]);
    V.Anzahl_Betreff_Eigen = 0;
    V.Anzahl_Betreff = 0;
    V.Anzahl_Absender = 0;
    LAnzahl->setText(u"0"_s);
    for (TLEDLabel* lamp : {LEDAbsender, LEDBetreff, LEDMessages, LEDWaiting, LEDCheck})
        lamp->setLit(false);
}

void TStammForm::Loeschen()
{
    // Plain files only; sub-folders are left alone. A file that cannot be
    // deleted stays without a message.
    const QString scratch = ProgramFolder::scratchFolder();
    QDirIterator it(scratch, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile::remove(it.next());
        QCoreApplication::processEvents();
    }
}

void TStammForm::Sprache_Setzen()
{
    FWLanguage1 = new TFWLanguage(this);
    FWLanguage1->setObjectName(u"FWLanguage1"_s);
    const QString folder = ProgramFolder::file(u"\\language"_s);
    const QString chosen =
        TFWLanguage::startFile(folder, SettingsStore().readString(u"Programm"_s, u"Sprache"_s).value_or(QString()));
    const bool german = chosen.compare(u"deutsch.lng"_s, Qt::CaseInsensitive) == 0;
    FWLanguage1->setLanguageOfDialog(german ? TLangDialog::Deutsch : TLangDialog::English);
    FWLanguage1->setPath(folder);
    FWLanguage1->setFileName(chosen);
    // Without a file read the language is still the one chosen.
    UiLanguage::setCodeLetter(FWLanguage1->FileName().isEmpty() ? (german ? u"D"_s : u"E"_s)
                                                                : FWLanguage1->codeLetter());
}

void TStammForm::Pfade_Setzen()
{
    FWOnlineHelp1->setRegistryKey(SettingsStore::ProgramKey + u"\\OnlineHelp"_s);
    FWOnlineHelp1->setFileNameAdditional(u"extended.ohlp"_s);
    FWOnlineHelp1->setFileNameBasicHelp(u"basic.ohlp"_s);
    FWOnlineHelp1->setPathToCompressedHelp(ProgramFolder::file(u"\\help\\source"_s));
    FWOnlineHelp1->setPathToUncompressedHelp(ProgramFolder::unpackedHelpFolder());
    FWOnlineHelp1->setPathToUnzipLibrary(ProgramFolder::file(u"\\system"_s));
    const QString key = SettingsStore::ProgramKey;
    FWInternalInfo1->WriteComponentInfo(key);
    FWProgramLinks1->WriteComponentInfo(key);
    FWStartScreenA1->WriteComponentInfo(key);
    FWLanguage1->WriteComponentInfo(key);
    FWOnlineHelp1->WriteComponentInfo(key);
    FWPassword1->WriteComponentInfo(key);
}

void TStammForm::Anzeige_Setzen()
{
    FWInfoScreenA1->setProgramName(u"Postrella"_s);
    FWInfoScreenA1->setCompanyNameLong(u"Fernwick"_s);
    FWInfoScreenA1->setVersionPrg(u"1.00c.0162"_s);
    FWInfoScreenA1->setYear(u"03.07.2000"_s);
    FWStartScreenA1->setYear(u"03.07.2000"_s);
    FWStartScreenA1->setVersionPrg(u"1.00c.0162"_s);
    FWStartScreenA1->setProgramName(u"Postrella"_s);
    FWStartScreenA1->setBitmap(ProgramFolder::file(u"\\bg.jpg"_s));
    FWStartScreenA1->setCompanyNameLong(u"Fernwick"_s);
    Konten->clear();
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        if (!V.Konto[n].isEmpty())
            Konten->addItem(V.Konto[n]);
    }
    Konten->setEditText(V.Konto[1]);
    if (m_background)
        m_background->configure();
}

void TStammForm::bindHandlers()
{
    auto command = [this](auto* sender, auto signal, std::function<void()> handler) {
        CommandGuard::connect(sender, signal, this, std::move(handler));
    };
    for (QAction* item : {Subject1, From1})
        command(item, &QAction::triggered, [this, item] { Subject1Click(item); });
    for (QPushButton* button : {OB_Speichern, OBAbbrechen})
        command(button, &QPushButton::clicked, [this, button] { OB_SpeichernClick(button); });
    command(SBClose, &QToolButton::clicked, [this] { Hilfe1Click(SBClose); });
    for (QAction* item : {Setup1, Close1, Informationen1})
        command(item, &QAction::triggered, [this, item] { Hilfe1Click(item); });
    command(SBHilfe, &QToolButton::clicked, [this] { SBHilfeClick(SBHilfe); });
    command(OBHilfe_Checker, &QPushButton::clicked, [this] { SBHilfeClick(OBHilfe_Checker); });
    for (QAction* item : {Hilfe1, Adresse1, Credits1, AGB1, Rechtliches1, Software1, Version1, News1})
        command(item, &QAction::triggered, [this, item] { SBHilfeClick(item); });
    command(SBeMail, &QToolButton::clicked, [this] { SBeMailClick(); });
    command(SBCheck, &QToolButton::clicked, [this] { SBCheckClick(); });
    command(Check1, &QAction::triggered, [this] { SBCheckClick(); });
    command(Disconnect1, &QAction::triggered, [this] { Disconnect1Click(); });
    command(SBDelete, &QToolButton::clicked, [this] { SBDeleteClick(); });
    command(Delete1, &QAction::triggered, [this] { SBDeleteClick(); });
    command(Restore1, &QAction::triggered, [this] { Restore1Click(); });
    command(SBExamine, &QToolButton::clicked, [this] { SBExamineClick(); });
    command(Examine1, &QAction::triggered, [this] { SBExamineClick(); });
    command(SBCheck_All, &QToolButton::clicked, [this] { SBCheck_AllClick(); });
    command(Examineall1, &QAction::triggered, [this] { SBCheck_AllClick(); });

    // The check's events: the engine runs the check, these only show it.
    connect(m_engine, &CheckEngine::loggedOn, this, [this] { Pop3Client1Connect(); });
    connect(m_engine, &CheckEngine::rowScreened, this, &TStammForm::Pop3Client1RetrieveEnd);
    connect(m_engine, &CheckEngine::trustAsked, this, [this](const TCertificateInfo& info) {
        bool accept = false;
        Pop3Client1CertificateUntrusted(info, accept);
        m_engine->answerTrust(accept);
    });
    connect(m_engine, &CheckEngine::passwordAsked, this, [this] {
        bool retry = false;
        Pop3Client1AuthenticationFailed(retry);
        m_engine->answerPassword(retry);
    });
    connect(m_engine, &CheckEngine::browserWaiting, this, &TStammForm::browserWaiting);
    connect(m_engine, &CheckEngine::finished, this, &TStammForm::checkFinished);
    // The client's events during the commands on the listed messages. Failures
    // inside them travel back through the client to the command waiting on it.
    Pop3Client1->OnDisconnect = [this](QObject*) { Pop3Client1Disconnect(); };
    Pop3Client1->OnStatus = [this](QObject*, const QString& status) { Pop3Client1Status(status); };
    Pop3Client1->OnRetrieveStart = [this](QObject*) { Pop3Client1RetrieveStart(); };
    Pop3Client1->OnRetrieveEnd = [this](QObject*) { retrieveEndForExamination(); };
    Pop3Client1->OnFailure = [this](QObject*) { Pop3Client1Failure(); };
    Pop3Client1->OnBusyChanged = [this](QObject*) { updateCommands(); };
    command(Protokoll1, &QAction::triggered, [this] { Protokoll1Click(); });
}

bool TStammForm::disconnectClient(bool swallow)
{
    // The operation waiting for the server, or the check under way, is ended
    // by this, not failed.
    if (Pop3Client1->Waiting() || m_engine->running())
        m_disconnectAsked = true;
    else if (!Pop3Client1->Connected())
        return true;
    return quitServer(swallow);
}

void TStammForm::ShowPage(const QString& page)
{
    FWOnlineHelp1->ShowPage(page);
}

void TStammForm::ShowContext(int context)
{
    FWOnlineHelp1->ShowContext(context);
}

void TStammForm::ShowInfoScreen()
{
    FWInfoScreenA1->ShowInfoScreen();
}

QString TStammForm::GetText(quint16 number) const
{
    return FWLanguage1->GetText(number);
}

bool TStammForm::ProgramLink(bool create, const QString& location)
{
    // Outside its own folder the program is started as the executable itself
    // (installed: /usr/bin/postrella), not by the name it has in that folder.
    FWProgramLinks1->setProgramFile(ProgramFolder::isPortable() ? ProgramFolder::path() + u"\\Postrella.exe"_s
                                                                : QCoreApplication::applicationFilePath());
    FWProgramLinks1->setShortcutDescription(u"Postrella"_s);
    FWProgramLinks1->setShortcutFile(u"Postrella.lnk"_s);
    const struct
    {
        const char16_t* name;
        TFWProgramLinksLocations location;
    } places[] = {
        {u"Menu_Start", TFWProgramLinksLocations::Menu_Start},
        {u"Menu_Autostart", TFWProgramLinksLocations::Menu_Autostart},
        {u"Menu_Favorites", TFWProgramLinksLocations::Menu_Favorites},
        {u"Menu_Programs", TFWProgramLinksLocations::Menu_Programs},
        {u"Menu_Desktop", TFWProgramLinksLocations::Menu_Desktop},
    };
    for (const auto& place : places) {
        if (location == QStringView(place.name))
            FWProgramLinks1->setLocation(place.location);
    }
    return create ? FWProgramLinks1->CreateLink() : FWProgramLinks1->RemoveLink();
}
