#pragma once

#include "Variabel.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QListWidget;
class QSpinBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class TGradientText;
class TStringGrid;

// What the settings window needs from the rest of the program.
struct SetupServices
{
    std::function<QString(quint16 number)> GetText;
    std::function<void()> Anzeige_Setzen;
    std::function<void(int context)> ShowContext;
    // Creates (true) or removes (false) the program's shortcut in the place
    // named by the option ("Menu_Start", "Menu_Autostart", "Menu_Favorites",
    // "Menu_Programs", "Menu_Desktop"; empty: the last place used). Returns
    // the outcome.
    std::function<bool(bool create, const QString& location)> ProgramLink;
    // Called after a confirmation with the settings as they were before it,
    // so the kept passwords follow the accounts and the switch.
    std::function<void(const Variabel& before)> PasswordsChanged;
    // Called before the accounts are shown: fetches the kept passwords, so
    // the grid can tell which accounts have one.
    std::function<void()> FetchPasswords;
};

// The settings window: options, size unit, the 25 accounts, password
// storage, the mail program and the program shortcut. It edits the state in
// memory; the main window stores it when the program closes.
class TSetupForm : public QWidget
{
    Q_OBJECT
public:
    // Stands in the password cell of an account whose password is held: the
    // password itself is never shown. Deleting it clears the password.
    static const QString PasswordMask;

    TSetupForm(Variabel& state, SetupServices services, QWidget* parent = nullptr);

    void BOK1Click();
    void SAbbrechenClick(QObject* sender);
    void FBPfadClick();
    void FB_AnlegenClick(QObject* sender);

    QTabWidget* PageControl1 = nullptr;
    QWidget* TSAllgemein = nullptr;
    QWidget* TSSoftware = nullptr;
    QWidget* TSVersand = nullptr;
    QCheckBox* CBHints = nullptr;
    QCheckBox* CBTips = nullptr;
    QCheckBox* CBStartschirm = nullptr;
    QCheckBox* CB_Eigen_Betreff = nullptr;
    QCheckBox* CB_Betreff = nullptr;
    QCheckBox* CB_Absender = nullptr;
    // The language files to choose from; the choice applies at the next start.
    QComboBox* CBSprache = nullptr;
    // Scheduled checks
    QWidget* TSAutomatik = nullptr;
    QCheckBox* CBAutomatisch = nullptr;
    QSpinBox* SEIntervall = nullptr;
    QCheckBox* CBAutomatisch_Loeschen = nullptr;
    QCheckBox* CBIn_Tray = nullptr;
    // One checkable line per account: whether it takes part.
    QListWidget* LBAutomatisch_Konten = nullptr;
    QRadioButton* RBByte = nullptr;
    QRadioButton* RBKByte = nullptr;
    QRadioButton* RBMByte = nullptr;
    TGradientText* GTAblage = nullptr;
    QRadioButton* FB_Menu_Start = nullptr;
    QRadioButton* FB_Menu_Autostart = nullptr;
    QRadioButton* FB_Menu_Favoriten = nullptr;
    QRadioButton* FB_Menu_Programme = nullptr;
    QRadioButton* FB_Menu_Desktop = nullptr;
    QPushButton* FB_Anlegen = nullptr;
    QPushButton* FB_Entfernen = nullptr;
    TGradientText* GTVersand = nullptr;
    QCheckBox* FBPasswort = nullptr;
    TStringGrid* Tabelle = nullptr;
    QLineEdit* FEProgramm = nullptr;
    QToolButton* FBPfad = nullptr;
    QPushButton* SBestaetigen = nullptr;
    QPushButton* SAbbrechen = nullptr;
    QPushButton* OBHilfe = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    QWidget* buildGeneralPage();
    QWidget* buildShortcutPage();
    QWidget* buildAccountsPage();
    QWidget* buildSchedulePage();
    // The log-on kind and the OAuth2 values of the row into the slot.
    void takeOAuthCells(int n);

    Variabel& V;
    SetupServices m_services;
    // Rows whose password cell shows the mask of a password held for the account.
    Variabel::Slots<bool> m_masked{};
};
