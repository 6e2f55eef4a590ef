#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>

// The messages of the mailbox as the last listing found them, one row per
// message in server order: what the grid shows and what every command on a
// message reads, so no command ever works from what a cell happens to show.
class MessageList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        Fixed,
        Id,
        Mark,
        Size,
        Sender,
        Subject,
        ColumnCount
    };
    // What became of a deletion. Marked: the server took DELE, but it is
    // final only once the server accepts QUIT; Undone: it never became final.
    enum class Deletion
    {
        None,
        Marked,
        Final,
        Refused,
        Undone
    };
    struct Message
    {
        int number = 0;
        QByteArray uid; // the server's lasting id, when it told it
        QByteArray messageId;
        qint64 bytes = 0;
        QString sender;
        QString subject;
        QString mark; // the screening's mark, "#" when it condemned the message
        Deletion deletion = Deletion::None;
        bool byHand = false; // deleted by the user rather than by screening
        bool fresh = false;  // not there at the last listing of this account
    };

    // True for a message that arrived since the last listing; the grid sets it off.
    static constexpr int FreshRole = Qt::UserRole + 1;

    explicit MessageList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void clear();
    // Takes its place by message number, so the rows stay in server order
    // whichever header arrived first.
    void append(const Message& message);
    int size() const { return int(m_messages.size()); }
    const Message& at(int row) const { return m_messages.at(row); }
    // The message of a message number; nullptr when no listing showed it.
    const Message* find(int number) const;
    void setMark(int number, const QString& mark);
    void setDeletion(int number, Deletion deletion, bool byHand = false);
    // The numbers of the deletions the server took in this connection and
    // that are not final yet.
    QList<int> markedDeletions() const;
    // The shown size of a message in the unit of the size column ("Byte", "KByte", "MByte").
    static QString sizeText(qint64 bytes, const QString& unit);
    void setSizeUnit(const QString& unit);
    // The mark column as the user reads it: "LLL" for a deletion by hand the
    // server took; a mark loses its "#" once its deletion failed.
    static QString shownMark(const Message& message);

private:
    int rowOf(int number) const;
    void changed(int row, int column);

    QList<Message> m_messages;
    QString m_unit = QStringLiteral("Byte");
    QString m_headers[ColumnCount];
};
