// The main window's widgets as they are laid out: tool bar, status lamps,
// status line, menu, list editor and the waiting notice.
#include "BlinkLabel.h"
#include "GradientText.h"
#include "LED.h"
#include "ScrollingText.h"
#include "StammColors.h"
#include "StammUn.h"
#include "StatusLabel.h"
#include "UiLanguage.h"
#include "WidgetSetup.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

void TStammForm::buildToolBar(QWidget* parent)
{
    auto* POben = named(new QFrame(parent), u"POben"_s, byLanguage(u"Werkzeugleiste"_s, u"Tool bar"_s));
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
    auto* PAngabe = named(new QFrame(parent), u"PAngabe"_s, byLanguage(u"Anzeige"_s, u"Display"_s));
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
    LAnzahl = named(new QLabel(u"0"_s, PAngabe), u"LAnzahl"_s, byLanguage(u"Anzahl"_s, u"Count"_s));
    LAnzahl->setFont(timesFont(18, true));
    QPalette pal = LAnzahl->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    LAnzahl->setPalette(pal);
    countColumn->addWidget(LLAnzahl);
    countColumn->addWidget(LAnzahl);
    row->addLayout(countColumn);

    auto* accountColumn = new QVBoxLayout;
    LKonto = named(new QLabel(PAngabe), u"LKonto"_s);
    Konten = named(new QComboBox(PAngabe), u"Konten"_s, byLanguage(u"Konto"_s, u"Account"_s));
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
    auto* line = named(new QFrame(parent), u"PStatus"_s, byLanguage(u"Statuszeile"_s, u"Status line"_s));
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
    Schrift->setText(byLanguage(u"... Bereit ..."_s, u"... Ready ..."_s));
    LStatus =
        named(new TStatusLabel(u"Status:"_s, line), u"LStatus"_s, byLanguage(u"Statusmeldung"_s, u"Status message"_s));
    LSicherheit = named(new QLabel(line), u"LSicherheit"_s, byLanguage(u"Keine Verbindung"_s, u"Not connected"_s));
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
    PEdit = named(new QFrame(parent), u"PEdit"_s, byLanguage(u"Listen bearbeiten"_s, u"Edit lists"_s));
    PEdit->setFrameShape(QFrame::Panel);
    PEdit->setFrameShadow(QFrame::Raised);
    PEdit->setAutoFillBackground(true);
    PEdit->resize(281, 161);
    EditStack = new QStackedWidget(PEdit);
    EditStack->setGeometry(3, 3, 274, 120);
    Subject_Checker =
        named(new QPlainTextEdit(EditStack), u"Subject_Checker"_s, byLanguage(u"Betreffliste"_s, u"Subject list"_s));
    From_Checker =
        named(new QPlainTextEdit(EditStack), u"From_Checker"_s, byLanguage(u"Absenderliste"_s, u"Sender list"_s));
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
    PWarten = named(new QFrame(parent), u"PWarten"_s, byLanguage(u"Bitte warten"_s, u"Please wait"_s));
    PWarten->setFrameShape(QFrame::Panel);
    PWarten->setFrameShadow(QFrame::Raised);
    PWarten->setAutoFillBackground(true);
    PWarten->resize(330, 110);
    auto* rows = new QVBoxLayout(PWarten);
    BlinkLabel1 = named(new TBlinkLabel(PWarten), u"BlinkLabel1"_s);
    BlinkLabel1->setCaption(
        byLanguage(u"Vorgang läuft   .... bitte warten ..."_s, u"Working   .... please wait ..."_s));
    BlinkLabel1->setFont(timesFont(16, true));
    BlinkLabel1->setFontColor(Qt::red);
    BlinkLabel1->setHiColor(Qt::red);
    BlinkLabel1->setLoColor(QColor(128, 0, 0));
    BlinkLabel1->setBlinkInterval(1000);
    BlinkLabel1->setBlink(TBlinkMode::blHiLo);
    auto* note = named(
        new QLabel(byLanguage(u"Bei der Attachement Untersuchung kann es zu Stockungen kommen ... Das Programm ist "
                              u"nicht abgestürzt! Große Attachements benötigen einige Zeit!"_s,
                              u"Examining attachments can make the program pause ... It has not "
                              u"crashed! Large attachments take some time!"_s),
                   PWarten),
        u"LWarten"_s, byLanguage(u"Hinweis"_s, u"Note"_s));
    note->setWordWrap(true);
    rows->addWidget(BlinkLabel1);
    rows->addWidget(note);
    PWarten->hide();
}
