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

    Tabelle = named(new TModelGrid(left), u"Tabelle"_s, u"Nachrichten"_s);
    Tabelle->setFixedColor(kFixedColor);
    Tabelle->setShowGrid(false);
    Tabelle->setFont(timesFont(11));
    leftRows->addWidget(left->findChild<QWidget*>(u"POben"_s));
    leftRows->addWidget(left->findChild<QWidget*>(u"PAngabe"_s));
    leftRows->addWidget(left->findChild<QWidget*>(u"PStatus"_s));
    leftRows->addWidget(Tabelle, 1);

    auto* band = named(new TGradientPanel(body), u"PRand"_s, u"Rand"_s);
    band->setColors(StammColors::Navy, kFixedColor, Qt::Vertical);
    band->setFixedWidth(33);
    bodyRow->addWidget(left, 1);
    bodyRow->addWidget(band);
    rows->addWidget(body);

    buildListEditor(central);
    buildWaitingPanel(central);
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

void TStammForm::buildToolBar(QWidget* parent)
{
    auto* POben = named(new QFrame(parent), u"POben"_s, u"Werkzeugleiste"_s);
    POben->setFixedHeight(41);
    POben->setAutoFillBackground(true);
    QPalette pal = POben->palette();
    pal.setColor(QPalette::Window, QColor(214, 222, 236));
    POben->setPalette(pal);
    auto* row = new QHBoxLayout(POben);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(1);
    // The program's own pictures, not the style's: a style's standard icons
    // are looked up in the desktop's icon theme and decoded in every size,
    // which cost more of the start than the rest of the toolbar.
    Q_INIT_RESOURCE(toolbar);
    const struct
    {
        QToolButton** member;
        const char16_t* name;
        const char16_t* picture;
    } buttons[] = {
        {&SBClose, u"SBClose", u"beenden"},         {&SBCheck, u"SBCheck", u"pruefen"},
        {&SBExamine, u"SBExamine", u"untersuchen"}, {&SBCheck_All, u"SBCheck_All", u"alle-untersuchen"},
        {&SBDelete, u"SBDelete", u"loeschen"},      {&SBHilfe, u"SBHilfe", u"hilfe"},
        {&SBeMail, u"SBeMail", u"email-programm"},
    };
    for (const auto& b : buttons) {
        auto* button = named(new QToolButton(POben), QString::fromUtf16(b.name));
        button->setAutoRaise(true);
        // The @2x picture is added by Qt itself, and only on a screen that scales.
        button->setIcon(QIcon(u":/toolbar/"_s + QString::fromUtf16(b.picture) + u".png"_s));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setMinimumWidth(52);
        button->setFont(timesFont(11));
        *b.member = button;
        row->addWidget(button);
    }
    row->addStretch(1);
}

void TStammForm::buildStatusPanel(QWidget* parent)
{
    auto* PAngabe = named(new QFrame(parent), u"PAngabe"_s, u"Anzeige"_s);
    PAngabe->setFixedHeight(56);
    PAngabe->setFrameShape(QFrame::Panel);
    PAngabe->setFrameShadow(QFrame::Raised);
    auto* row = new QHBoxLayout(PAngabe);
    row->setContentsMargins(4, 2, 4, 2);

    auto lampColumn = [PAngabe](std::initializer_list<std::tuple<TLEDLabel**, QString, TLEDColor>> lamps) {
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        for (const auto& [member, name, color] : lamps) {
            auto* lamp = named(new TLEDLabel(PAngabe), name);
            lamp->setColor(color);
            lamp->setFixedSize(97, 17);
            *member = lamp;
            column->addWidget(lamp);
        }
        return column;
    };
    auto* leftLamps = lampColumn({{&LEDOnline, u"LEDOnline"_s, TLEDColor::lcRed},
                                  {&LEDCheck, u"LEDCheck"_s, TLEDColor::lcYellow},
                                  {&LEDWaiting, u"LEDWaiting"_s, TLEDColor::lcGreen}});
    row->addLayout(leftLamps);

    auto* countColumn = new QVBoxLayout;
    LLAnzahl = named(new QLabel(PAngabe), u"LLAnzahl"_s);
    LAnzahl = named(new QLabel(u"0"_s, PAngabe), u"LAnzahl"_s, u"Anzahl"_s);
    LAnzahl->setFont(timesFont(18, true));
    QPalette pal = LAnzahl->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    LAnzahl->setPalette(pal);
    countColumn->addWidget(LLAnzahl);
    countColumn->addWidget(LAnzahl);
    row->addLayout(countColumn);

    auto* accountColumn = new QVBoxLayout;
    LKonto = named(new QLabel(PAngabe), u"LKonto"_s);
    Konten = named(new QComboBox(PAngabe), u"Konten"_s, u"Konto"_s);
    Konten->setEditable(true);
    Konten->setInsertPolicy(QComboBox::NoInsert);
    Konten->completer()->setCompletionMode(QCompleter::InlineCompletion);
    Konten->setMinimumWidth(120);
    accountColumn->addWidget(LKonto);
    accountColumn->addWidget(Konten);
    row->addLayout(accountColumn, 1);

    // The screening lamps keep the lamp's own colour, red.
    auto* rightLamps = lampColumn({{&LEDMessages, u"LEDMessages"_s, TLEDColor::lcRed},
                                   {&LEDAbsender, u"LEDAbsender"_s, TLEDColor::lcRed},
                                   {&LEDBetreff, u"LEDBetreff"_s, TLEDColor::lcRed}});
    row->addLayout(rightLamps);
}

void TStammForm::buildStatusLine(QWidget* parent)
{
    auto* line = named(new QFrame(parent), u"PStatus"_s, u"Statuszeile"_s);
    line->setFixedHeight(22);
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    Schrift = named(new TScrollingText(line), u"Schrift"_s, u"Status"_s);
    Schrift->setFixedSize(225, 22);
    Schrift->setFont(timesFont(12, true));
    Schrift->setSpeed(50);
    Schrift->setPixelJump(2);
    Schrift->setTextDirection(TTextDirection::tdRightToLeft);
    Schrift->setLayout(TTextLayout::tlCenter);
    Schrift->setBackgroundColor(palette().color(QPalette::Button));
    Schrift->setEdgeFadeWidth(10);
    Schrift->setFontColor(StammColors::Green);
    Schrift->setText(u"... Bereit ..."_s);
    LStatus = named(new TStatusLabel(u"Status:"_s, line), u"LStatus"_s, u"Statusmeldung"_s);
    LSicherheit = named(new QLabel(line), u"LSicherheit"_s, u"Keine Verbindung"_s);
    row->addWidget(Schrift);
    row->addWidget(LStatus, 1);
    row->addWidget(LSicherheit);
}

void TStammForm::buildMenu()
{
    QMenuBar* bar = menuBar();
    auto action = [this](QMenu* menu, QAction** member, const QString& name, const QString& caption = QString()) {
        auto* a = menu->addAction(caption.isEmpty() ? name : caption);
        a->setObjectName(name);
        *member = a;
        return a;
    };
    auto menu = [this](QMenu* parentMenu, QMenuBar* menuBarParent, QMenu** member, const QString& name) {
        auto* m = parentMenu ? parentMenu->addMenu(name) : menuBarParent->addMenu(name);
        m->setObjectName(name);
        *member = m;
        return m;
    };
    menu(nullptr, bar, &File1, u"File1"_s);
    action(File1, &Setup1, u"Setup1"_s);
    File1->addSeparator();
    action(File1, &Close1, u"Close1"_s);

    menu(nullptr, bar, &Action1, u"Action1"_s);
    action(Action1, &Conncet1, u"Conncet1"_s, u"Conncet"_s)->setEnabled(false);
    action(Action1, &Disconnect1, u"Disconnect1"_s, u"Disconnect"_s);
    action(Action1, &Protokoll1, u"Protokoll1"_s);
    Action1->addSeparator();
    action(Action1, &Check1, u"Check1"_s);
    action(Action1, &Examine1, u"Examine1"_s);
    action(Action1, &Examineall1, u"Examineall1"_s);
    Action1->addSeparator();
    action(Action1, &Delete1, u"Delete1"_s);
    action(Action1, &Restore1, u"Restore1"_s);

    menu(nullptr, bar, &Edit1, u"Edit1"_s);
    action(Edit1, &Subject1, u"Subject1"_s);
    action(Edit1, &From1, u"From1"_s);

    menu(nullptr, bar, &Help1, u"Help1"_s);
    action(Help1, &Hilfe1, u"Hilfe1"_s);
    Help1->addSeparator();
    action(Help1, &Informationen1, u"Informationen1"_s);
    menu(Help1, nullptr, &Sinstiges1, u"Sinstiges1"_s);
    action(Sinstiges1, &Adresse1, u"Adresse1"_s);
    action(Sinstiges1, &Credits1, u"Credits1"_s);
    action(Sinstiges1, &AGB1, u"AGB1"_s);
    action(Sinstiges1, &Rechtliches1, u"Rechtliches1"_s);
    action(Sinstiges1, &Software1, u"Software1"_s, u"Software"_s)->setEnabled(false);
    action(Sinstiges1, &Version1, u"Version1"_s);
    action(Sinstiges1, &News1, u"News1"_s);
    Help1->addSeparator();
    action(Help1, &Awards1, u"Awards1"_s)->setEnabled(false);
}

void TStammForm::buildListEditor(QWidget* parent)
{
    PEdit = named(new QFrame(parent), u"PEdit"_s, u"Listen bearbeiten"_s);
    PEdit->setFrameShape(QFrame::Panel);
    PEdit->setFrameShadow(QFrame::Raised);
    PEdit->setAutoFillBackground(true);
    PEdit->resize(281, 161);
    EditStack = new QStackedWidget(PEdit);
    EditStack->setGeometry(3, 3, 274, 120);
    Subject_Checker = named(new QPlainTextEdit(EditStack), u"Subject_Checker"_s, u"Betreffliste"_s);
    From_Checker = named(new QPlainTextEdit(EditStack), u"From_Checker"_s, u"Absenderliste"_s);
    for (QPlainTextEdit* memo : {Subject_Checker, From_Checker}) {
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        EditStack->addWidget(memo);
    }
    OB_Speichern = named(new QPushButton(PEdit), u"OB_Speichern"_s);
    OBAbbrechen = named(new QPushButton(PEdit), u"OBAbbrechen"_s);
    OBHilfe_Checker = named(new QPushButton(PEdit), u"OBHilfe_Checker"_s);
    OB_Speichern->setGeometry(3, 130, 88, 25);
    OBAbbrechen->setGeometry(96, 130, 88, 25);
    OBHilfe_Checker->setGeometry(189, 130, 88, 25);
    PEdit->hide();
}

void TStammForm::buildWaitingPanel(QWidget* parent)
{
    PWarten = named(new QFrame(parent), u"PWarten"_s, u"Bitte warten"_s);
    PWarten->setFrameShape(QFrame::Panel);
    PWarten->setFrameShadow(QFrame::Raised);
    PWarten->setAutoFillBackground(true);
    PWarten->resize(330, 110);
    auto* rows = new QVBoxLayout(PWarten);
    BlinkLabel1 = named(new TBlinkLabel(PWarten), u"BlinkLabel1"_s);
    BlinkLabel1->setCaption(u"Vorgang läuft   .... bitte warten ..."_s);
    BlinkLabel1->setFont(timesFont(16, true));
    BlinkLabel1->setFontColor(Qt::red);
    BlinkLabel1->setHiColor(Qt::red);
    BlinkLabel1->setLoColor(QColor(128, 0, 0));
    BlinkLabel1->setBlinkInterval(1000);
    BlinkLabel1->setBlink(TBlinkMode::blHiLo);
    auto* note = named(new QLabel(u"Bei der Attachement Untersuchung kann es zu Stockungen kommen ... Das Programm ist "
                                  u"nicht abgestürzt! Große Attachements benötigen einige Zeit!"_s,
                                  PWarten),
                       u"LWarten"_s, u"Hinweis"_s);
    note->setWordWrap(true);
    rows->addWidget(BlinkLabel1);
    rows->addWidget(note);
    PWarten->hide();
}

void TStammForm::layOutPanels()
{
    const QRect area = centralWidget()->rect();
    auto centre = [&](QWidget* panel) {
        panel->move(qMax(0, (area.width() - panel->width()) / 2), qMax(0, (area.height() - panel->height()) / 2));
    };
    centre(PEdit);
    centre(PWarten);
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
    V.Sprache = FWLanguage1->FileName();
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

void TStammForm::Pfade_Setzen()
{
    FWLanguage1->setPath(ProgramFolder::file(u"\\language"_s));
    FWLanguage1->setFileName(u"deutsch.lng"_s);
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
