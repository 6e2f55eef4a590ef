#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TStringGrid;

// Shows what an examination retrieved: sender, subject and body of a single
// examined message, and one rated row per attachment. It never talks to the
// server and never opens an attachment; it only rates the file names by their
// extension from init/Endung.ini. Closing only hides it; the content stays
// until the next Einrichten.
class TExamineForm : public QWidget
{
    Q_OBJECT
public:
    explicit TExamineForm(QWidget* parent = nullptr);

    // Opens a help page of the online help; the Help and Suggestions buttons use context 3.
    std::function<void(int context)> ShowContext;

    // An empty attachment table for a new examination.
    void Einrichten();

    // Appends one rated row per item of LBAttaches, numbered with the server's
    // number of the message the items came from.
    void Tabelle_Auswerten(int Zeile);

    // Fills the message fields and the attachment list from a retrieved message.
    // Examining all messages passes empty sender, subject and body.
    void setMessage(const QString& from, const QString& subject, const QStringList& body,
                    const QStringList& attachments);

    // The one click handler of the three buttons.
    void OBHilfeClick(QObject* Sender);

    // The row the next attachment fills (1 after Einrichten).
    int NextRow() const { return m_nextRow; }

    QLabel* Label1 = nullptr;
    QLabel* LFrom = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* LSubject = nullptr;
    QLabel* Label7 = nullptr;
    QPlainTextEdit* REBody = nullptr;
    QLabel* Label8 = nullptr;
    TStringGrid* Tabelle = nullptr;
    QListWidget* LBAttaches = nullptr;
    QPushButton* OBSchliessen = nullptr;
    QPushButton* OBVorschlaege = nullptr;
    QPushButton* OBHilfe = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_nextRow = 1;
};
