#pragma once

#include <QByteArray>

// Field n (from 1) of Text split at every Delimiter; the last field runs to the
// end of the text, line end included. Too few fields give an empty result.
QByteArray NthField(const QByteArray& Text, char Delimiter, int N);

// Position (from 1) of the last occurrence of Part in Text, 0 when there is none.
int LastPos(const QByteArray& Part, const QByteArray& Text);
