#pragma once
#include <QByteArray>
#include <QString>

// How a lyrics file's text is stored, so that a rewritten file keeps the form it was read in.
enum class LyricsFileEncoding { Utf8, Utf8Bom, Utf16LeBom, Utf16BeBom, CodePage };

// Lyrics files written here and by most tools today are UTF-8; older ones hold code-page text,
// and some editors save UTF-16 or UTF-8 with a byte order mark. `encoding`, when given, is set
// to the form the bytes were read as.
QString DecodeLyricsFile(const QByteArray& bytes, LyricsFileEncoding* encoding = nullptr);
// Lyrics files larger than this are not lyrics (and would cost the window seconds to lay out):
// they are ignored as if absent.
constexpr qint64 kMaxLyricsFileBytes = qint64(4) << 20;
// Reads and decodes the lyrics file at `path`. False, leaving `text` empty, when it is not a
// regular file, cannot be read or holds more than kMaxLyricsFileBytes.
bool ReadLyricsFile(const QString& path, QString& text, LyricsFileEncoding* encoding = nullptr);
// The bytes of `text` in `encoding`, with its byte order mark where it has one.
QByteArray EncodeLyricsFile(const QString& text, LyricsFileEncoding encoding);

// The lyrics file beside a music file: the same name with ".lrc" (or ".LRC") in its folder;
// empty when there is none.
QString LyricsFileBeside(const QString& musicPath);
