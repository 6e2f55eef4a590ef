#include "SetupUn.h"

#include "CommandGuard.h"
#include "Dialogs.h"
#include "FWLanguageUnit.h"
#include "GradientText.h"
#include "OAuthSettings.h"
#include "ProgramFolder.h"
#include "SettingsTable.h"
#include "StringGrid.h"
#include "UiLanguage.h"
#include "WidgetSetup.h"
#include "WindowAccessibility.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

const QString TSetupForm::PasswordMask = u"●●●●●●●●"_s;

namespace {

constexpr int kPasswordColumn = 4;
constexpr int kSecurityColumn = 5;
// How the account logs on, and for OAuth2 the provider and the values of an
// own one (the client id also overrides a provider's).
constexpr int kLogOnColumn = 6;
constexpr int kProviderColumn = 7;
constexpr int kAuthorizationColumn = 8;
constexpr int kTokenColumn = 9;
constexpr int kClientColumn = 10;
constexpr int kScopeColumn = 11;
constexpr int kColumns = 12;
// A typed password lives under this role; the cell's text is only the mask,
// so neither the grid, its tool tip nor assistive technology shows it.
constexpr int kPasswordRole = Qt::UserRole + 1;

class PasswordDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* edit = named(new QLineEdit(parent), u"EPasswort"_s, byLanguage(u"Passwort"_s, u"Password"_s));
        edit->setEchoMode(QLineEdit::Password);
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant typed = index.data(kPasswordRole);
        static_cast<QLineEdit*>(editor)->setText(typed.isValid() ? typed.toString() : index.data().toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QString typed = static_cast<QLineEdit*>(editor)->text();
        model->setData(index, typed, kPasswordRole);
        model->setData(index, typed.isEmpty() ? QString() : TSetupForm::PasswordMask);
    }

    QString displayText(const QVariant& value, const QLocale&) const override
    {
        return value.toString().isEmpty() ? QString() : TSetupForm::PasswordMask;
    }
};

// Edits a grid cell by choosing one of fixed texts instead of typing.
class ChoiceDelegate : public QStyledItemDelegate
{
public:
    ChoiceDelegate(QStringList choices, QString name, QString accessible, QObject* parent)
        : QStyledItemDelegate(parent), m_choices(std::move(choices)), m_name(std::move(name)),
          m_accessible(std::move(accessible))
    {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* box = named(new QComboBox(parent), m_name, m_accessible);
        box->addItems(m_choices);
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* box = static_cast<QComboBox*>(editor);
        box->setCurrentIndex(qMax(0, m_choices.indexOf(index.data().toString())));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }

private:
    QStringList m_choices;
    QString m_name;
    QString m_accessible;
};

} // namespace

TSetupForm::TSetupForm(Variabel& state, SetupServices services, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), V(state),
      m_services(std::move(services))
{
    WindowAccessibility::install();
    setObjectName(u"SetupForm"_s);
    setAccessibleName(byLanguage(u"Einstellungen"_s, u"Settings"_s));
    setWindowTitle(u"Postrella"_s);
    setFont(timesFont(13));
    setFixedSize(493, 253);

    PageControl1 = named(new QTabWidget(this), u"PageControl1"_s, byLanguage(u"Seiten"_s, u"Pages"_s));
    PageControl1->setGeometry(0, 0, 493, 205);
    PageControl1->setDocumentMode(true);
    PageControl1->setUsesScrollButtons(false);
    PageControl1->addTab(buildGeneralPage(), QString());
    PageControl1->addTab(buildShortcutPage(), QString());
    PageControl1->addTab(buildAccountsPage(), QString());
    PageControl1->addTab(buildSchedulePage(), byLanguage(u"Automatik"_s, u"Automatic"_s));

    auto* bottom = named(new QFrame(this), u"PSetup_Unten"_s, byLanguage(u"Schaltflächen"_s, u"Buttons"_s));
    bottom->setGeometry(0, 205, 493, 48);
    bottom->setFrameShape(QFrame::Panel);
    bottom->setFrameShadow(QFrame::Sunken);
    auto button = [&](QPushButton** member, const QString& name, const QString& caption, int x, int w) {
        auto* b = named(new QPushButton(caption, bottom), name, caption);
        b->setGeometry(x, 16 - 4, w, 23);
        b->setFont(timesFont(13, true));
        *member = b;
    };
    button(&SBestaetigen, u"SBestaetigen"_s, byLanguage(u"Bestätigen"_s, u"Confirm"_s), 32, 110);
    button(&SAbbrechen, u"SAbbrechen"_s, byLanguage(u"Abbrechen"_s, u"Cancel"_s), 184, 110);
    button(&OBHilfe, u"OBHilfe"_s, byLanguage(u"Hilfe"_s, u"Help"_s), 336, 81);

    CommandGuard::connect(SBestaetigen, &QPushButton::clicked, this, [this] { BOK1Click(); });
    CommandGuard::connect(SAbbrechen, &QPushButton::clicked, this, [this] { SAbbrechenClick(SAbbrechen); });
    CommandGuard::connect(OBHilfe, &QPushButton::clicked, this, [this] { SAbbrechenClick(OBHilfe); });
    CommandGuard::connect(FBPfad, &QToolButton::clicked, this, [this] { FBPfadClick(); });
    CommandGuard::connect(FB_Anlegen, &QPushButton::clicked, this, [this] { FB_AnlegenClick(FB_Anlegen); });
    CommandGuard::connect(FB_Entfernen, &QPushButton::clicked, this, [this] { FB_AnlegenClick(FB_Entfernen); });

    FormCreate();
}

QWidget* TSetupForm::buildGeneralPage()
{
    TSAllgemein = named(new QWidget, u"TSAllgemein"_s);
    auto* GB1 = named(new QGroupBox(TSAllgemein), u"GB1"_s, byLanguage(u"Anzeige"_s, u"Display"_s));
    GB1->setGeometry(8, 6, 220, 86);
    CBHints = named(new QCheckBox(GB1), u"CBHints"_s);
    CBTips = named(new QCheckBox(GB1), u"CBTips"_s);
    CBStartschirm = named(new QCheckBox(byLanguage(u"Startschirm"_s, u"Start screen"_s), GB1), u"CBStartschirm"_s,
                          byLanguage(u"Startschirm"_s, u"Start screen"_s));
    CBHints->setEnabled(false);
    CBTips->setEnabled(false);
    CBHints->setGeometry(8, 12, 205, 20);
    CBTips->setGeometry(8, 36, 205, 20);
    CBStartschirm->setGeometry(8, 60, 205, 20);

    auto* GroupBox1 = named(new QGroupBox(TSAllgemein), u"GroupBox1"_s, byLanguage(u"Löschen"_s, u"Delete"_s));
    GroupBox1->setGeometry(236, 6, 245, 86);
    CB_Eigen_Betreff = named(new QCheckBox(byLanguage(u"Eigen Betreff löschen"_s, u"Delete own subjects"_s), GroupBox1),
                             u"CB_Eigen_Betreff"_s, byLanguage(u"Eigen Betreff löschen"_s, u"Delete own subjects"_s));
    CB_Betreff = named(new QCheckBox(byLanguage(u"System Betreff löschen"_s, u"Delete system subjects"_s), GroupBox1),
                       u"CB_Betreff"_s, byLanguage(u"System Betreff löschen"_s, u"Delete system subjects"_s));
    CB_Absender = named(new QCheckBox(byLanguage(u"Absender löschen"_s, u"Delete senders"_s), GroupBox1),
                        u"CB_Absender"_s, byLanguage(u"Absender löschen"_s, u"Delete senders"_s));
    CB_Eigen_Betreff->setGeometry(8, 12, 230, 20);
    CB_Betreff->setGeometry(8, 36, 230, 20);
    CB_Absender->setGeometry(8, 60, 230, 20);

    auto* GroupBox2 =
        named(new QGroupBox(TSAllgemein), u"GroupBox2"_s, byLanguage(u"Größen Anzeige"_s, u"Sizes shown in"_s));
    GroupBox2->setGeometry(8, 98, 220, 72);
    auto* Label3 = named(new QLabel(byLanguage(u"Größen Anzeige:"_s, u"Sizes shown in:"_s), GroupBox2), u"Label3"_s,
                         byLanguage(u"Größen Anzeige:"_s, u"Sizes shown in:"_s));
    QFont underlined = Label3->font();
    underlined.setUnderline(true);
    Label3->setFont(underlined);
    Label3->setGeometry(8, 10, 200, 18);
    RBByte = named(new QRadioButton(u"Byte"_s, GroupBox2), u"RBByte"_s, u"Byte"_s);
    RBKByte = named(new QRadioButton(u"KByte"_s, GroupBox2), u"RBKByte"_s, u"KByte"_s);
    RBMByte = named(new QRadioButton(u"MByte"_s, GroupBox2), u"RBMByte"_s, u"MByte"_s);
    RBByte->setGeometry(8, 36, 60, 20);
    RBKByte->setGeometry(72, 36, 70, 20);
    RBMByte->setGeometry(146, 36, 70, 20);
    // Radio buttons of one parent exclude each other; none is checked until
    // the settings name a unit, so an unknown unit stays as it is.

    const QString languageCaption = byLanguage(u"Sprache"_s, u"Language"_s);
    auto* GB3 = named(new QGroupBox(TSAllgemein), u"GB3"_s, languageCaption);
    GB3->setGeometry(236, 98, 245, 72);
    auto* Lsprache = named(new QLabel(languageCaption, GB3), u"Lsprache"_s, languageCaption);
    Lsprache->setGeometry(8, 20, 70, 18);
    CBSprache = named(new QComboBox(GB3), u"CBSprache"_s, languageCaption);
    CBSprache->setGeometry(80, 18, 120, 22);
    auto* language = named(new QToolButton(GB3), u"RBSprache"_s, byLanguage(u"Sprache wählen"_s, u"Choose language"_s));
    language->setText(u"..."_s);
    language->setGeometry(206, 18, 30, 22);
    connect(language, &QToolButton::clicked, CBSprache, &QComboBox::showPopup);
    // The windows are built in the language once, at start-up.
    const QString note = byLanguage(u"Gilt ab dem nächsten Start."_s, u"Takes effect at the next start."_s);
    named(new QLabel(note, GB3), u"LSprache_Hinweis"_s, note)->setGeometry(8, 46, 230, 18);
    return TSAllgemein;
}

QWidget* TSetupForm::buildShortcutPage()
{
    TSSoftware = named(new QWidget, u"TSSoftware"_s);
    GTAblage = named(new TGradientText(TSSoftware), u"GTAblage"_s);
    GTAblage->setGeometry(8, 6, 473, 30);
    GTAblage->setColors(Qt::blue, QColor(224, 255, 255));
    GTAblage->setFont(timesFont(19, true, true));
    int y = 42;
    for (auto [member, name] :
         {std::pair{&FB_Menu_Start, u"FB_Menu_Start"_s}, std::pair{&FB_Menu_Autostart, u"FB_Menu_Autostart"_s},
          std::pair{&FB_Menu_Favoriten, u"FB_Menu_Favoriten"_s}, std::pair{&FB_Menu_Programme, u"FB_Menu_Programme"_s},
          std::pair{&FB_Menu_Desktop, u"FB_Menu_Desktop"_s}}) {
        *member = named(new QRadioButton(TSSoftware), name);
        (*member)->setGeometry(16, y, 300, 20);
        y += 24;
    }
    FB_Anlegen = named(new QPushButton(TSSoftware), u"FB_Anlegen"_s);
    FB_Entfernen = named(new QPushButton(TSSoftware), u"FB_Entfernen"_s);
    FB_Anlegen->setGeometry(340, 60, 130, 25);
    FB_Entfernen->setGeometry(340, 100, 130, 25);
    return TSSoftware;
}

QWidget* TSetupForm::buildAccountsPage()
{
    TSVersand = named(new QWidget, u"TSVersand"_s);
    GTVersand = named(new TGradientText(TSVersand), u"GTVersand"_s);
    GTVersand->setGeometry(8, 4, 300, 26);
    GTVersand->setColors(QColor(0, 128, 0), QColor(173, 255, 47));
    GTVersand->setFont(timesFont(19, true, true));
    FBPasswort = named(new QCheckBox(TSVersand), u"FBPasswort"_s);
    FBPasswort->setGeometry(316, 6, 170, 20);

    Tabelle = named(new TStringGrid(TSVersand), u"Tabelle"_s, byLanguage(u"Konten"_s, u"Accounts"_s));
    Tabelle->setFixedCols(0);
    Tabelle->setEditTriggers(QAbstractItemView::AllEditTriggers);
    Tabelle->setSelectionMode(QAbstractItemView::SingleSelection);
    Tabelle->setTabKeyNavigation(true);
    Tabelle->setColCount(kColumns);
    Tabelle->setRowCount(26);
    Tabelle->verticalHeader()->setDefaultSectionSize(18);
    Tabelle->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < 5; ++c)
        Tabelle->setColWidths(c, 100);
    Tabelle->setColWidths(kSecurityColumn, 90);
    Tabelle->setItemDelegateForColumn(kPasswordColumn, new PasswordDelegate(Tabelle));
    Tabelle->setItemDelegateForColumn(kSecurityColumn,
                                      new ChoiceDelegate(Variabel::SecurityShownChoices(), u"CBSicherheit"_s,
                                                         byLanguage(u"Sicherheit"_s, u"Security"_s), Tabelle));
    Tabelle->setItemDelegateForColumn(kLogOnColumn,
                                      new ChoiceDelegate(Variabel::LogOnShownChoices(), u"CBAnmeldung"_s,
                                                         byLanguage(u"Anmeldung"_s, u"Log-on"_s), Tabelle));
    Tabelle->setItemDelegateForColumn(
        kProviderColumn, new ChoiceDelegate(OAuthSettings::ProvidersShown(), u"CBAnbieter"_s,
                                            byLanguage(u"OAuth2-Anbieter"_s, u"OAuth2 provider"_s), Tabelle));
    for (int c = kLogOnColumn; c < kColumns; ++c)
        Tabelle->setColWidths(c, c >= kAuthorizationColumn ? 160 : 90);
    Tabelle->setFixedColor(QColor(0xE1, 0xE0, 0xFF)); // the settings' light lavender
    Tabelle->setGeometry(8, 32, 473, 96);

    auto* LPfad = named(new QLabel(TSVersand), u"LPfad"_s);
    LPfad->setGeometry(8, 134, 120, 18);
    FEProgramm = named(new QLineEdit(TSVersand), u"FEProgramm"_s, byLanguage(u"eMail Programm"_s, u"Mail program"_s));
    FEProgramm->setEnabled(false);
    FEProgramm->setGeometry(130, 132, 300, 21);
    FBPfad = named(new QToolButton(TSVersand), u"FBPfad"_s,
                   byLanguage(u"eMail Programm wählen"_s, u"Choose mail program"_s));
    FBPfad->setText(u"..."_s);
    FBPfad->setGeometry(436, 132, 30, 21);
    auto* port = named(new QLabel(u"Port = 995 / 110"_s, TSVersand), u"LPort"_s, u"Port = 995 / 110"_s);
    port->setGeometry(8, 158, 80, 18);
    int x = 90;
    for (const auto& [name, caption] :
         {std::pair{u"RB_Ne"_s, u"Netscape Messanger"_s}, std::pair{u"RB_MS"_s, u"MS IE Express"_s},
          std::pair{u"RB_So"_s, byLanguage(u"Sonstige"_s, u"Other"_s)}}) {
        auto* rb = named(new QRadioButton(caption, TSVersand), name, caption);
        rb->setEnabled(false);
        rb->setGeometry(x, 156, 130, 20);
        x += 130;
    }
    auto* quit = named(new QCheckBox(byLanguage(u"Programmm bei Start der eMail Software beenden?"_s,
                                                u"Quit the program when the mail program starts?"_s),
                                     TSVersand),
                       u"CBBeenden"_s,
                       byLanguage(u"Programmm bei Start der eMail Software beenden?"_s,
                                  u"Quit the program when the mail program starts?"_s));
    quit->setEnabled(false);
    quit->setGeometry(90, 176, 380, 20);
    return TSVersand;
}

QWidget* TSetupForm::buildSchedulePage()
{
    TSAutomatik = named(new QWidget, u"TSAutomatik"_s, byLanguage(u"Automatik"_s, u"Automatic"_s));
    CBAutomatisch =
        named(new QCheckBox(byLanguage(u"Automatisch prüfen alle"_s, u"Check automatically every"_s), TSAutomatik),
              u"CBAutomatisch"_s, byLanguage(u"Automatisch prüfen"_s, u"Check automatically"_s));
    CBAutomatisch->setGeometry(8, 8, 180, 20);
    SEIntervall = named(new QSpinBox(TSAutomatik), u"SEIntervall"_s,
                        byLanguage(u"Minuten zwischen zwei Prüfungen"_s, u"Minutes between two checks"_s));
    SEIntervall->setRange(Variabel::IntervallMin, Variabel::IntervallMax);
    SEIntervall->setSuffix(byLanguage(u" Minuten"_s, u" minutes"_s));
    SEIntervall->setGeometry(190, 6, 110, 22);
    CBAutomatisch_Loeschen = named(
        new QCheckBox(byLanguage(u"Dabei Gefundenes sofort löschen"_s, u"Delete what is found at once"_s), TSAutomatik),
        u"CBAutomatisch_Loeschen"_s,
        byLanguage(u"Dabei Gefundenes sofort löschen"_s, u"Delete what is found at once"_s));
    CBAutomatisch_Loeschen->setGeometry(8, 32, 300, 20);
    CBIn_Tray = named(new QCheckBox(byLanguage(u"Schließen legt das Programm in den Infobereich"_s,
                                               u"Closing puts the program in the notification area"_s),
                                    TSAutomatik),
                      u"CBIn_Tray"_s,
                      byLanguage(u"Schließen legt das Programm in den Infobereich"_s,
                                 u"Closing puts the program in the notification area"_s));
    CBIn_Tray->setGeometry(8, 56, 340, 20);
    auto* label = named(new QLabel(byLanguage(u"Geprüfte Konten:"_s, u"Accounts checked:"_s), TSAutomatik),
                        u"LAutomatisch_Konten"_s, byLanguage(u"Geprüfte Konten:"_s, u"Accounts checked:"_s));
    label->setGeometry(8, 80, 200, 18);
    LBAutomatisch_Konten = named(new QListWidget(TSAutomatik), u"LBAutomatisch_Konten"_s,
                                 byLanguage(u"Geprüfte Konten"_s, u"Accounts checked"_s));
    LBAutomatisch_Konten->setGeometry(8, 98, 473, 78);
    return TSAutomatik;
}

void TSetupForm::FormCreate()
{
    auto text = [this](quint16 n) { return m_services.GetText ? m_services.GetText(n) : QString(); };
    Tabelle->setCells(0, 0, text(78));
    Tabelle->setCells(1, 0, u"Port"_s);
    Tabelle->setCells(2, 0, u"Host"_s);
    Tabelle->setCells(3, 0, u"UserID"_s);
    Tabelle->setCells(4, 0, text(91));
    Tabelle->setCells(kSecurityColumn, 0, byLanguage(u"Sicherheit"_s, u"Security"_s));
    Tabelle->setCells(kLogOnColumn, 0, byLanguage(u"Anmeldung"_s, u"Log-on"_s));
    Tabelle->setCells(kProviderColumn, 0, byLanguage(u"OAuth2-Anbieter"_s, u"OAuth2 provider"_s));
    Tabelle->setCells(kAuthorizationColumn, 0, byLanguage(u"Autorisierungs-URL"_s, u"Authorization URL"_s));
    Tabelle->setCells(kTokenColumn, 0, u"Token-URL"_s);
    Tabelle->setCells(kClientColumn, 0, u"Client-ID"_s);
    Tabelle->setCells(kScopeColumn, 0, u"Scope"_s);
}

void TSetupForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TSetupForm::FormShow()
{
    setWindowTitle(u"Postrella"_s);
    CBHints->setChecked(V.Hints);
    CBStartschirm->setChecked(V.Startschirm);
    FEProgramm->setText(V.Client);
    FBPasswort->setChecked(V.Passwort_Sichern);
    CB_Betreff->setChecked(V.Loeschen_Betreff);
    CB_Eigen_Betreff->setChecked(V.Loeschen_Betreff_Eigen);
    CB_Absender->setChecked(V.Loeschen_Absender);
    if (V.Angabe == u"Byte"_s)
        RBByte->setChecked(true);
    if (V.Angabe == u"KByte"_s)
        RBKByte->setChecked(true);
    if (V.Angabe == u"MByte"_s)
        RBMByte->setChecked(true);
    CBSprache->clear();
    CBSprache->addItems(TFWLanguage::languageFiles(ProgramFolder::file(u"\\language"_s)));
    CBSprache->setCurrentIndex(CBSprache->findText(V.Sprache, Qt::MatchFixedString));
    if (m_services.FetchPasswords)
        m_services.FetchPasswords();
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        m_masked[n] = false;
        Tabelle->model()->setData(Tabelle->model()->index(n - 1, kPasswordColumn), QVariant(), kPasswordRole);
        if (V.Konto[n].isEmpty())
            continue;
        Tabelle->setCells(0, n, V.Konto[n]);
        Tabelle->setCells(1, n, QString::number(V.Port[n]));
        Tabelle->setCells(2, n, V.Host[n]);
        Tabelle->setCells(3, n, V.UserID[n]);
        if (!V.Passwort[n].isEmpty()) {
            Tabelle->setCells(4, n, PasswordMask);
            m_masked[n] = true;
        }
        Tabelle->setCells(kSecurityColumn, n, Variabel::securityShown(Variabel::securityChoice(V.Sicherheit[n])));
        Tabelle->setCells(kLogOnColumn, n,
                          Variabel::logOnShown(V.usesOAuth2(n) ? Variabel::LogOnOAuth2 : Variabel::LogOnPassword));
        Tabelle->setCells(kProviderColumn, n, OAuthSettings::providerShown(V.OAuthAnbieter[n]));
        Tabelle->setCells(kAuthorizationColumn, n, V.OAuthAutorisierung[n]);
        Tabelle->setCells(kTokenColumn, n, V.OAuthToken[n]);
        Tabelle->setCells(kClientColumn, n, V.OAuthClient[n]);
        Tabelle->setCells(kScopeColumn, n, V.OAuthScope[n]);
    }
    CBAutomatisch->setChecked(V.Automatisch);
    SEIntervall->setValue(V.Intervall);
    CBAutomatisch_Loeschen->setChecked(V.Automatisch_Loeschen);
    CBIn_Tray->setChecked(V.In_Tray);
    LBAutomatisch_Konten->clear();
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        if (V.Konto[n].isEmpty())
            continue;
        auto* item = new QListWidgetItem(V.Konto[n], LBAutomatisch_Konten);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(V.Automatisch_Konto[n] != 0 ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, n);
    }
}

void TSetupForm::BOK1Click()
{
    const Variabel before = V;
    V.Hints = CBHints->isChecked();
    V.Startschirm = CBStartschirm->isChecked();
    V.Passwort_Sichern = FBPasswort->isChecked();
    if (!CBSprache->currentText().isEmpty())
        V.Sprache = CBSprache->currentText();
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        V.Konto[n] = Tabelle->Cells(0, n);
        if (V.Konto[n].isEmpty())
            continue;
        // A new account is secured unless the user chooses otherwise.
        const QString security = Tabelle->Cells(kSecurityColumn, n);
        V.Sicherheit[n] = security.isEmpty() ? Variabel::SecurityTls : Variabel::securityFromShown(security);
        V.Port[n] = SettingsTable::toInteger(Tabelle->Cells(1, n), Variabel::defaultPort(V.Sicherheit[n]));
        V.Host[n] = Tabelle->Cells(2, n);
        V.UserID[n] = Tabelle->Cells(3, n);
        takeOAuthCells(n);
        // Stored passwords are never shown, so an empty cell means "unchanged"
        // unless the user deleted the mask of a password held for the account.
        const QVariant inCell = Tabelle->model()->index(n - 1, kPasswordColumn).data(kPasswordRole);
        const QString typed = inCell.isValid() ? inCell.toString() : Tabelle->Cells(kPasswordColumn, n);
        if (typed != PasswordMask && !typed.isEmpty())
            V.Passwort[n] = typed;
        else if (typed.isEmpty() && m_masked[n])
            V.Passwort[n].clear();
    }
    if (RBByte->isChecked())
        V.Angabe = u"Byte"_s;
    else if (RBKByte->isChecked())
        V.Angabe = u"KByte"_s;
    else if (RBMByte->isChecked())
        V.Angabe = u"MByte"_s;
    V.Loeschen_Betreff = CB_Betreff->isChecked();
    V.Loeschen_Betreff_Eigen = CB_Eigen_Betreff->isChecked();
    V.Loeschen_Absender = CB_Absender->isChecked();
    V.Automatisch = CBAutomatisch->isChecked();
    V.Intervall = SEIntervall->value();
    V.Automatisch_Loeschen = CBAutomatisch_Loeschen->isChecked();
    V.In_Tray = CBIn_Tray->isChecked();
    for (int i = 0; i < LBAutomatisch_Konten->count(); ++i) {
        const QListWidgetItem* item = LBAutomatisch_Konten->item(i);
        V.Automatisch_Konto[item->data(Qt::UserRole).toInt()] = item->checkState() == Qt::Checked ? 1 : 0;
    }
    if (m_services.PasswordsChanged)
        m_services.PasswordsChanged(before);
    if (m_services.Anzeige_Setzen)
        m_services.Anzeige_Setzen();
    hide();
}

void TSetupForm::takeOAuthCells(int n)
{
    V.Anmeldung[n] =
        Tabelle->Cells(kLogOnColumn, n) == Variabel::LogOnOAuth2 ? Variabel::LogOnOAuth2 : Variabel::LogOnPassword;
    const QString provider = OAuthSettings::providerFromShown(Tabelle->Cells(kProviderColumn, n).trimmed());
    // An OAuth2 account without a choice uses the first provider, as the log-on does.
    V.OAuthAnbieter[n] = provider.isEmpty() && V.usesOAuth2(n) ? OAuthSettings::Microsoft : provider;
    V.OAuthAutorisierung[n] = Tabelle->Cells(kAuthorizationColumn, n).trimmed();
    V.OAuthToken[n] = Tabelle->Cells(kTokenColumn, n).trimmed();
    V.OAuthClient[n] = Tabelle->Cells(kClientColumn, n).trimmed();
    V.OAuthScope[n] = Tabelle->Cells(kScopeColumn, n).trimmed();
}

void TSetupForm::SAbbrechenClick(QObject* sender)
{
    if (sender == OBHilfe && m_services.ShowContext)
        m_services.ShowContext(0);
    if (sender == SAbbrechen)
        hide();
}

void TSetupForm::FBPfadClick()
{
#ifdef Q_OS_WIN
    const QString suffix = u"exe"_s;
#else
    // Programs carry no extension here: a suffix would turn /usr/bin/thunderbird
    // into a file that does not exist.
    const QString suffix;
#endif
    const QString chosen = Dialogs::openFileName({u"FW-Postrella"_s, suffix, V.Client});
    if (chosen.isEmpty())
        return;
    V.Client = chosen;
    FEProgramm->setText(chosen);
}

void TSetupForm::FB_AnlegenClick(QObject* sender)
{
    QString location;
    if (FB_Menu_Start->isChecked())
        location = u"Menu_Start"_s;
    else if (FB_Menu_Autostart->isChecked())
        location = u"Menu_Autostart"_s;
    else if (FB_Menu_Favoriten->isChecked())
        location = u"Menu_Favorites"_s;
    else if (FB_Menu_Programme->isChecked())
        location = u"Menu_Programs"_s;
    else if (FB_Menu_Desktop->isChecked())
        location = u"Menu_Desktop"_s;
    auto text = [this](quint16 n) { return m_services.GetText ? m_services.GetText(n) : QString(); };
    const bool create = sender == FB_Anlegen;
    const bool done = m_services.ProgramLink && m_services.ProgramLink(create, location);
    if (create)
        Dialogs::message(done ? Dialogs::Kind::Information : Dialogs::Kind::Error, text(done ? 110 : 111));
    else
        Dialogs::message(done ? Dialogs::Kind::Information : Dialogs::Kind::Error, text(done ? 112 : 113));
}
