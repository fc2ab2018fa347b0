#pragma once
#include <QByteArray>
#include <QString>

// Text of eight-bit tag frames. Such frames are meant to hold Latin-1, but Chinese taggers put
// GBK bytes in them, and a Western name such as "Björk" happens to form a valid GBK pair ("ö"
// and "r"). The bytes are read as GBK only where they read as plausible Chinese text.

// Whether `bytes` (with some byte above 127) are GBK text rather than Latin-1.
bool LooksLikeGbk(const QByteArray& bytes);
// The text of an eight-bit frame: GBK when it looks like GBK, else Latin-1 with the
// Windows-1252 punctuation of 0x80-0x9F (the curly quotes many taggers write).
QString DecodeEightBitTagText(const QByteArray& bytes);
