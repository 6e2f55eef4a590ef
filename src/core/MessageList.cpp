#include "MessageList.h"

#include "UiLanguage.h"

#include <QLocale>
#include <algorithm>

using namespace Qt::StringLiterals;

MessageList::MessageList(QObject* parent) : QAbstractTableModel(parent) {}

int MessageList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : size();
}

int MessageList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString MessageList::sizeText(qint64 bytes, const QString& unit)
{
    // The German grid always showed plain digits; English groups them.
    const auto shown = [](qint64 n) { return UiLanguage::isGerman() ? QString::number(n) : QLocale().toString(n); };
    if (unit == u"Byte"_s)
        return shown(bytes);
    if (unit == u"KByte"_s)
        return shown(bytes / 1024);
    if (unit == u"MByte"_s)
        return shown(bytes / 1024 / 1024);
    return {};
}

QString MessageList::shownMark(const Message& message)
{
    switch (message.deletion) {
    case Deletion::Marked:
    case Deletion::Final:
        return message.byHand ? u"LLL"_s : message.mark;
    case Deletion::Refused:
    case Deletion::Undone:
        return message.mark.endsWith(u'#') ? message.mark.chopped(1) : message.mark;
    case Deletion::None:
        break;
    }
    return message.mark;
}

QVariant MessageList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= size())
        return {};
    const Message& m = m_messages.at(index.row());
    if (role == FreshRole)
        return m.fresh;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Mark:
        return shownMark(m);
    case Size:
        return sizeText(m.bytes, m_unit);
    case Sender:
        return m.sender;
    case Subject:
        return m.subject;
    default:
        return QString();
    }
}

QVariant MessageList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount || role != Qt::DisplayRole)
        return {};
    return m_headers[section];
}

bool MessageList::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount || role != Qt::EditRole)
        return false;
    m_headers[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags MessageList::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The first column is the grid's fixed column: it cannot be chosen.
    return index.column() == Fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void MessageList::clear()
{
    if (m_messages.isEmpty())
        return;
    beginResetModel();
    m_messages.clear();
    endResetModel();
}

void MessageList::append(const Message& message)
{
    qsizetype row = size();
    if (row > 0 && m_messages.last().number > message.number) {
        row = std::upper_bound(m_messages.cbegin(), m_messages.cend(), message.number,
                               [](int number, const Message& m) { return number < m.number; }) -
              m_messages.cbegin();
    }
    beginInsertRows({}, int(row), int(row));
    m_messages.insert(row, message);
    endInsertRows();
}

int MessageList::rowOf(int number) const
{
    // Rows are listed in server order, message n normally in row n - 1.
    const int guess = number - 1;
    if (guess >= 0 && guess < size() && m_messages.at(guess).number == number)
        return guess;
    for (int r = 0; r < size(); ++r) {
        if (m_messages.at(r).number == number)
            return r;
    }
    return -1;
}

const MessageList::Message* MessageList::find(int number) const
{
    const int row = rowOf(number);
    return row < 0 ? nullptr : &m_messages.at(row);
}

void MessageList::changed(int row, int column)
{
    emit dataChanged(index(row, column), index(row, column));
}

void MessageList::setMark(int number, const QString& mark)
{
    const int row = rowOf(number);
    if (row < 0)
        return;
    m_messages[row].mark = mark;
    changed(row, Mark);
}

void MessageList::setDeletion(int number, Deletion deletion, bool byHand)
{
    const int row = rowOf(number);
    if (row < 0)
        return;
    Message& m = m_messages[row];
    m.deletion = deletion;
    if (deletion == Deletion::Marked)
        m.byHand = byHand;
    changed(row, Mark);
}

QList<int> MessageList::markedDeletions() const
{
    QList<int> numbers;
    for (const Message& m : m_messages) {
        if (m.deletion == Deletion::Marked)
            numbers.append(m.number);
    }
    return numbers;
}

void MessageList::setSizeUnit(const QString& unit)
{
    if (unit == m_unit)
        return;
    m_unit = unit;
    if (!m_messages.isEmpty())
        emit dataChanged(index(0, Size), index(size() - 1, Size));
}
