// Cutting texts to their database buffers at UTF-8 character boundaries, and their length in UTF-8.

#include "platform/Utf8Text.h"

QByteArray CutUtf8(const QByteArray& utf8, int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (utf8.size() <= maxBytes)
        return utf8;
    int end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the first byte of the cut character.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.left(end);
}

QString FitToBuffer(const QString& text, int bufferSize)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() < bufferSize)
        return text;
    return QString::fromUtf8(CutUtf8(utf8, bufferSize - 1));
}

int Utf8Length(const QString& text)
{
    return static_cast<int>(text.toUtf8().size());
}
