// The first-run wizard: two pages that set up account slot 1.
#include "CommandGuard.h"
#include "Dialogs.h"
#include "OAuthSettings.h"
#include "PasswordKeeper.h"
#include "SettingsTable.h"
#include "StammUn.h"
#include "UiLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

template <typename W> W* place(W* widget, const QString& name, int x, int y, int w, int h)
{
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, int w, int h)
{
    auto* l = place(new QLabel(text, parent), name, x, y, w, h);
    l->setAccessibleName(text);
    return l;
}

QToolButton* flatButton(QWidget* parent, const QString& name, const QString& text, int x, int y, int w)
{
    auto* b = place(new QToolButton(parent), name, x, y, w, 25);
    b->setText(text);
    b->setAccessibleName(text);
    b->setAutoRaise(true);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    return b;
}

QLineEdit* edit(QWidget* parent, const QString& name, const QString& accessible, int x, int y, int w)
{
    auto* e = place(new QLineEdit(parent), name, x, y, w, 21);
    e->setAccessibleName(accessible);
    return e;
}

// The password's widgets, which an OAuth2 account does without.
const QStringList kPasswordWidgets = {u"Label8"_s, u"EPasswort"_s, u"Label10"_s, u"CBPasswort"_s, u"Label11"_s};
// The widgets of OAuth2, and those of them only an own provider needs.
const QStringList kOAuthWidgets = {u"LAnbieter"_s, u"CBAnbieter"_s, u"LOAuthClient"_s, u"EOAuthClient"_s};
const QStringList kOwnProviderWidgets = {u"LOAuthAutorisierung"_s, u"EOAuthAutorisierung"_s, u"LOAuthToken"_s,
                                         u"EOAuthToken"_s,         u"LOAuthScope"_s,         u"EOAuthScope"_s};

struct OAuthField
{
    QString name;
    QString label;
    QString accessible;
};
// Looked up when built: the language is known only once the program has started.
OAuthField clientField()
{
    return {u"OAuthClient"_s, u"Client-ID:"_s, byLanguage(u"OAuth2-Client-ID"_s, u"OAuth2 client id"_s)};
}

QList<OAuthField> ownFields()
{
    return {
        {u"OAuthAutorisierung"_s, byLanguage(u"Autorisierung:"_s, u"Authorization:"_s),
         byLanguage(u"Autorisierungs-URL"_s, u"Authorization URL"_s)},
        {u"OAuthToken"_s, u"Token-URL:"_s, u"Token-URL"_s},
        {u"OAuthScope"_s, u"Scope:"_s, u"Scope"_s},
    };
}

} // namespace

void TStammForm::buildFirstRunPanel(QWidget* parent)
{
    PFirst = new QFrame(parent);
    PFirst->setObjectName(u"PFirst"_s);
    PFirst->setAccessibleName(byLanguage(u"Erster Start"_s, u"First start"_s));
    PFirst->setFrameShape(QFrame::Box);
    PFirst->setFrameShadow(QFrame::Sunken);
    PFirst->setAutoFillBackground(true);
    PFirst->setGeometry(32, 16, 393, 225);

    PFirstPages = new QStackedWidget(PFirst);
    PFirstPages->setGeometry(2, 2, 389, 221);
    PFirst_One = new QWidget(PFirstPages);
    PFirst_One->setObjectName(u"PFirst_One"_s);
    PFirst_Two = new QWidget(PFirstPages);
    PFirst_Two->setObjectName(u"PFirst_Two"_s);
    PFirstPages->addWidget(PFirst_One);
    PFirstPages->addWidget(PFirst_Two);

    buildFirstRunAccountPage();
    buildFirstRunLoginPage();
    PFirst->hide();
}

void TStammForm::buildFirstRunAccountPage()
{
    auto* memo = place(new QPlainTextEdit(PFirst_One), u"Memo1"_s, 6, 4, 377, 80);
    memo->setAccessibleName(byLanguage(u"Hinweis"_s, u"Note"_s));
    memo->setReadOnly(true);
    QFont small = memo->font();
    small.setPixelSize(11);
    memo->setFont(small);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setBackgroundRole(QPalette::Button);
    memo->viewport()->setBackgroundRole(QPalette::Button);
    memo->setPlainText(byLanguage(
        QStringList{
            u"Sie müssen mindestens ein eMail Konto einrichten. Dieser Bildschirm erscheint "_s,
            u"nur beim ersten Start.  Nutzen Sie anschließend die Funktionen des "_s,
            u"\"RiruvuvUziruz\" unter \"Einstellungen\" Die Hilfe gibt weitere Informationen. "_s,
            u"Wenn Sie die Einstellungen  Ihres eMail Kontos nicht kennen, laden Sie das"_s,
            u"Dokument \"Konten\" aus dem Postrella Verzeichnis."_s,
        }
            .join(u'\n'),
        QStringList{
            u"You must set up at least one mail account. This screen appears only "_s,
            u"at the first start. Afterwards use the \"Mail accounts\" page under "_s,
            u"\"Settings\". The help tells you more. If you do not know the settings "_s,
            u"of your mail account, open the document \"Accounts\" in the Postrella folder."_s,
        }
            .join(u'\n')));
    label(PFirst_One, u"Label2"_s, byLanguage(u"Bezeichnung:"_s, u"Name:"_s), 8, 92, 80, 16);
    EKonto = edit(PFirst_One, u"EKonto"_s, byLanguage(u"Bezeichnung"_s, u"Name"_s), 90, 90, 140);
    label(PFirst_One, u"Label9"_s,
          byLanguage(u"Beliebige Bezeichnung für dieses eMail-Konto."_s, u"Any name for this mail account."_s), 90, 112,
          290, 16);
    label(PFirst_One, u"Label4"_s, u"Port:"_s, 8, 138, 80, 16);
    EPort = edit(PFirst_One, u"EPort"_s, u"Port"_s, 90, 136, 60);
    label(PFirst_One, u"Label12"_s, byLanguage(u"Sicherheit:"_s, u"Security:"_s), 160, 138, 70, 16);
    CBSicherheit = place(new QComboBox(PFirst_One), u"CBSicherheit"_s, 232, 136, 110, 21);
    CBSicherheit->setAccessibleName(byLanguage(u"Sicherheit"_s, u"Security"_s));
    CBSicherheit->addItems(Variabel::SecurityShownChoices());
    m_firstRunSecurity = Variabel::SecurityTls;
    CBSicherheit->setCurrentText(m_firstRunSecurity);
    EPort->setText(QString::number(Variabel::defaultPort(m_firstRunSecurity)));
    label(PFirst_One, u"Label5"_s,
          byLanguage(u"Im Normalfall Port 995 mit SSL/TLS, Port 110 mit STARTTLS."_s,
                     u"Usually port 995 with SSL/TLS, port 110 with STARTTLS."_s),
          90, 158, 290, 16);
    auto* cancel = flatButton(PFirst_One, u"SpeedButton1"_s, byLanguage(u"Abbrechen"_s, u"Cancel"_s), 8, 188, 110);
    auto* next =
        flatButton(PFirst_One, u"SpeedButton2"_s, byLanguage(u"Weiter  >>>>>>"_s, u"Next  >>>>>>"_s), 270, 188, 110);

    connect(CBSicherheit, &QComboBox::currentTextChanged, this, [this] { firstRunSecurityChanged(); });
    CommandGuard::connect(cancel, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    CommandGuard::connect(next, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
}

void TStammForm::buildFirstRunLoginPage()
{
    label(PFirst_Two, u"Label6"_s, u"Host:"_s, 8, 8, 60, 16);
    EHost = edit(PFirst_Two, u"EHost"_s, u"Host"_s, 70, 6, 150);
    auto* hostHelp =
        label(PFirst_Two, u"Label7"_s,
              byLanguage(u"Der POP3-Server Ihres Anbieters, zum Beispiel pop.example.org. Die Hilfe und das "
                         u"Dokument \"Konten\" nennen bekannte Server."_s,
                         u"Your provider's POP3 server, for example pop.example.org. The help and the "
                         u"document \"Accounts\" name well-known servers."_s),
              226, 2, 158, 56);
    hostHelp->setWordWrap(true);
    hostHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label(PFirst_Two, u"Label3"_s, u"UserID"_s, 8, 64, 60, 16);
    EUser = edit(PFirst_Two, u"EUser"_s, u"UserID"_s, 70, 62, 150);
    label(PFirst_Two, u"Label1"_s,
          byLanguage(u"Der Name des eMail Kontos. Sehen Sie in die Hilfe, oder in das Dokument \"Konten\""_s,
                     u"The user name of the mail account. See the help or the document \"Accounts\""_s),
          8, 84, 376, 16);
    label(PFirst_Two, u"Label8"_s, byLanguage(u"Passwort"_s, u"Password"_s), 8, 108, 60, 16);
    EPasswort = edit(PFirst_Two, u"EPasswort"_s, byLanguage(u"Passwort"_s, u"Password"_s), 70, 106, 150);
    EPasswort->setEchoMode(QLineEdit::Password);
    label(PFirst_Two, u"Label10"_s,
          byLanguage(u"Das Passwort des eMail Kontos. Sehen Sie in die Hilfe, oder in das Dokument \"Konten\""_s,
                     u"The password of the mail account. See the help or the document \"Accounts\""_s),
          8, 128, 376, 16);
    CBPasswort = place(new QCheckBox(byLanguage(u"Passwort speichern"_s, u"Save password"_s), PFirst_Two),
                       u"CBPasswort"_s, 8, 148, 200, 18);
    CBPasswort->setAccessibleName(byLanguage(u"Passwort speichern"_s, u"Save password"_s));
    label(PFirst_Two, u"Label11"_s,
          byLanguage(u"VORSICHT  - Das Speichern des Passwortes kann ein Sicherheitsproblem sein."_s,
                     u"CAUTION  - Saving the password can be a security risk."_s),
          8, 168, 376, 16);
    auto* finish =
        flatButton(PFirst_Two, u"SpeedButton3"_s, byLanguage(u"Fertigstellen"_s, u"Finish"_s), 270, 188, 110);
    // The notes are long; a smaller face keeps each on its line.
    for (const QString& name : {u"Label7"_s, u"Label1"_s, u"Label10"_s, u"Label11"_s}) {
        auto* note = PFirst_Two->findChild<QLabel*>(name);
        QFont noteFont = note->font();
        noteFont.setPixelSize(10);
        note->setFont(noteFont);
    }
    CommandGuard::connect(finish, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    buildFirstRunOAuthFields();
}

void TStammForm::buildFirstRunOAuthFields()
{
    label(PFirst_Two, u"LAnmeldung"_s, byLanguage(u"Anmeldung:"_s, u"Log-on:"_s), 8, 36, 60, 16);
    CBAnmeldung = place(new QComboBox(PFirst_Two), u"CBAnmeldung"_s, 70, 34, 150, 21);
    CBAnmeldung->setAccessibleName(byLanguage(u"Anmeldung"_s, u"Log-on"_s));
    CBAnmeldung->addItems(Variabel::LogOnShownChoices());
    label(PFirst_Two, u"LAnbieter"_s, byLanguage(u"Anbieter:"_s, u"Provider:"_s), 8, 108, 60, 16);
    CBAnbieter = place(new QComboBox(PFirst_Two), u"CBAnbieter"_s, 70, 106, 190, 21);
    CBAnbieter->setAccessibleName(byLanguage(u"OAuth2-Anbieter"_s, u"OAuth2 provider"_s));
    CBAnbieter->addItems(OAuthSettings::ProvidersShown());
    QLineEdit** edits[] = {&EOAuthClient, &EOAuthAutorisierung, &EOAuthToken, &EOAuthScope};
    const QList<OAuthField> own = ownFields();
    const OAuthField client = clientField();
    const OAuthField* fields[] = {&client, &own[0], &own[1], &own[2]};
    for (int i = 0; i < 4; ++i) {
        const int y = 128 + 22 * i;
        auto* caption = label(PFirst_Two, u"L"_s + fields[i]->name, fields[i]->label, 8, y + 2, 62, 16);
        QFont small = caption->font();
        small.setPixelSize(10);
        caption->setFont(small);
        *edits[i] = edit(PFirst_Two, u"E"_s + fields[i]->name, fields[i]->accessible, 70, y, 190);
    }
    connect(CBAnmeldung, &QComboBox::currentTextChanged, this, [this] { firstRunLogOnChanged(); });
    connect(CBAnbieter, &QComboBox::currentTextChanged, this, [this] { firstRunLogOnChanged(); });
    firstRunLogOnChanged();
}

void TStammForm::firstRunLogOnChanged()
{
    const bool oauth = CBAnmeldung->currentText() == Variabel::LogOnOAuth2;
    const bool own = oauth && OAuthSettings::providerFromShown(CBAnbieter->currentText()) == OAuthSettings::Own;
    for (QWidget* widget : PFirst_Two->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QString name = widget->objectName();
        if (kPasswordWidgets.contains(name))
            widget->setVisible(!oauth);
        else if (kOAuthWidgets.contains(name))
            widget->setVisible(oauth);
        else if (kOwnProviderWidgets.contains(name))
            widget->setVisible(own);
    }
}

void TStammForm::firstRunSecurityChanged()
{
    // A port the user typed stays; the default of the old choice follows the new one.
    const QString chosen = CBSicherheit->currentText();
    if (EPort->text().trimmed() == QString::number(Variabel::defaultPort(m_firstRunSecurity)))
        EPort->setText(QString::number(Variabel::defaultPort(chosen)));
    m_firstRunSecurity = chosen;
}

void TStammForm::SpeedButton1Click()
{
    PFirst->hide();
}

bool TStammForm::firstRunPortIsValid()
{
    // The port is checked before anything is stored; the user corrects it
    // on the first page, where its field is.
    bool ok = false;
    EPort->text().toInt(&ok, 10);
    if (ok)
        return true;
    PFirstPages->setCurrentWidget(PFirst_One);
    Dialogs::message(Dialogs::Kind::Error,
                     u"'"_s + EPort->text() +
                         byLanguage(u"' ist kein gültiger Integerwert"_s, u"' is not a valid integer value"_s));
    EPort->setFocus();
    EPort->selectAll();
    return false;
}

void TStammForm::SpeedButton2Click()
{
    if (firstRunPortIsValid())
        PFirstPages->setCurrentWidget(PFirst_Two);
}

void TStammForm::SpeedButton3Click()
{
    if (!firstRunPortIsValid())
        return;
    V.Passwort_Sichern = CBPasswort->isChecked();
    V.Konto[1] = EKonto->text();
    V.Port[1] = EPort->text().toInt(nullptr, 10);
    V.Host[1] = EHost->text();
    V.Passwort[1] = EPasswort->text();
    V.UserID[1] = EUser->text();
    V.Sicherheit[1] = Variabel::securityFromShown(CBSicherheit->currentText());
    V.trustCertificate(1, {});
    const bool oauth = CBAnmeldung->currentText() == Variabel::LogOnOAuth2;
    V.Anmeldung[1] = oauth ? Variabel::LogOnOAuth2 : Variabel::LogOnPassword;
    V.OAuthAnbieter[1] = oauth ? OAuthSettings::providerFromShown(CBAnbieter->currentText()) : QString();
    V.OAuthClient[1] = oauth ? EOAuthClient->text().trimmed() : QString();
    const bool own = oauth && V.OAuthAnbieter[1] == OAuthSettings::Own;
    V.OAuthAutorisierung[1] = own ? EOAuthAutorisierung->text().trimmed() : QString();
    V.OAuthToken[1] = own ? EOAuthToken->text().trimmed() : QString();
    V.OAuthScope[1] = own ? EOAuthScope->text().trimmed() : QString();
    // An OAuth2 account has no password: nothing is kept for it.
    if (oauth)
        V.Passwort[1].clear();
    else
        m_passwords->keep(1);
    Anzeige_Setzen();
    PFirst->hide();
}
