#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Field n (from 1) of Text split at every Delimiter; the last field runs to the
// end of the text, line end included. Too few fields give an empty result.
QByteArray NthField(QByteArrayView Text, char Delimiter, int N);

// Position (from 1) of the last occurrence of Part in Text, 0 when there is none.
int LastPos(const QByteArray& Part, const QByteArray& Text);

// Where Needle first occurs in Text at or after From, ASCII letters compared
// without case; -1 when it does not. Header lines pass here by the thousand,
// so nothing is copied.
qsizetype IndexOfNoCase(QByteArrayView Text, QByteArrayView Needle, qsizetype From = 0);

// "Die Authentifizierung ist fehlgeschlagen" in the interface's language.
QString Pop3AuthenticationFailed();
