#include "model/TagText.h"

#include "base/CodePage.h"

namespace {

bool IsAsciiLetter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
bool IsAsciiLower(unsigned char b) { return b >= 'a' && b <= 'z'; }
// À to ÿ without × and ÷: the accented letters of Western names.
bool IsLatinLetter(unsigned char b) { return b >= 0xC0 && b != 0xD7 && b != 0xF7; }
bool IsLatinUpper(unsigned char b) { return b >= 0xC0 && b <= 0xDE && b != 0xD7; }
// What stands before a word: the start, a blank, punctuation.
bool IsWordEdge(int b) { return b < 0 || (b < 0x80 && !IsAsciiLetter(static_cast<unsigned char>(b)) && !(b >= '0' && b <= '9')); }

// Whether a GBK pair (lead, trail) with the bytes around it reads better as Latin-1: an accented
// letter inside a Western word (a letter beside it and the case of a word), an accented capital
// opening a word, two accented letters between ASCII letters ("Canção"), or a Windows-1252
// apostrophe inside a word ("Don’t").
bool PairIsLatin(int prev, unsigned char lead, unsigned char trail, int next)
{
    const bool letterBefore = prev >= 0 && IsAsciiLetter(static_cast<unsigned char>(prev));
    const bool letterAfter = next >= 0 && IsAsciiLetter(static_cast<unsigned char>(next));
    if (IsLatinLetter(lead) && IsAsciiLetter(trail)) {
        // "Bjö" + "rk" keeps the case of a word: an accented small letter is followed by small letters.
        const bool wordCase = IsLatinUpper(lead) || IsAsciiLower(trail);
        if (!wordCase) return false;
        if (letterBefore || letterAfter) return true;
        // "Ñu", "Ça plane": a capital with a small letter after it, at the start of a word.
        return IsLatinUpper(lead) && IsAsciiLower(trail) && IsWordEdge(prev);
    }
    if (IsLatinLetter(lead) && IsLatinLetter(trail)) return letterBefore && letterAfter;
    if ((lead == 0x91 || lead == 0x92) && IsAsciiLetter(trail)) return letterBefore;
    if (lead == 0x93 && IsAsciiLetter(trail)) return IsWordEdge(prev);
    return false;
}

// Windows-1252 in 0x80-0x9F; 0 where it has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

QString FromLatin1WithCp1252(const QByteArray& bytes)
{
    QString out = QString::fromLatin1(bytes);
    for (QChar& c : out)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F && kCp1252High[c.unicode() - 0x80])
            c = QChar(kCp1252High[c.unicode() - 0x80]);
    return out;
}

} // namespace

bool LooksLikeGbk(const QByteArray& bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    int latin = 0;
    int chinese = 0;
    bool high = false;
    for (qsizetype i = 0; i < n;) {
        if (b[i] < 0x80) {
            ++i;
            continue;
        }
        high = true;
        // A byte that forms no GBK pair: the text is not GBK at all.
        if (b[i] == 0x80 || b[i] == 0xFF || i + 1 >= n) return false;
        const unsigned char trail = b[i + 1];
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
        const int prev = i > 0 ? b[i - 1] : -1;
        const int next = i + 2 < n ? b[i + 2] : -1;
        if (PairIsLatin(prev, b[i], trail, next)) ++latin;
        else ++chinese;
        i += 2;
    }
    return high && chinese > latin;
}

QString DecodeEightBitTagText(const QByteArray& bytes)
{
    if (LooksLikeGbk(bytes)) {
        bool valid = true;
        const QString text = FromAnsi(bytes.constData(), bytes.size(), &valid);
        if (valid) return text;
    }
    return FromLatin1WithCp1252(bytes);
}
