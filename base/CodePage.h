#pragma once
#include <QByteArray>
#include <QString>

// The system code page of the stored files: GB18030, which reads every GBK byte sequence as GBK
// does and can hold every Unicode character, so nothing is lost on the way to the files.

// Wide text to code-page bytes.
QByteArray ToAnsi(const QString& text);
// Code-page bytes to wide text; a byte sequence that is not valid becomes U+FFFD and the rest
// is still read. `valid`, when given, tells whether every byte was valid code-page text.
QString FromAnsi(const char* bytes, qsizetype length, bool* valid = nullptr);
// Bytes below 0x80 alone: the same text in the code page, in Latin-1 and in UTF-8.
bool IsAscii(const char* bytes, qsizetype length);
inline QString FromAnsi(const QByteArray& bytes, bool* valid = nullptr)
{
    return FromAnsi(bytes.constData(), bytes.size(), valid);
}
