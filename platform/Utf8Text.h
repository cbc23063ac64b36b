#pragma once
// The database keeps texts in fixed buffers whose size counts a terminator; texts are UTF-8
// and are cut only at character boundaries so that what is stored always reads back valid.

#include <QByteArray>
#include <QString>

// The longest prefix of `utf8` of at most maxBytes bytes that ends at a character boundary.
QByteArray CutUtf8(const QByteArray& utf8, int maxBytes);

// `text` cut to fit a buffer of bufferSize bytes including the terminator.
QString FitToBuffer(const QString& text, int bufferSize);

// The length in bytes of the UTF-8 form of `text`.
int Utf8Length(const QString& text);
