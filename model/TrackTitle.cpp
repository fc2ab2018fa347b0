#include "model/TrackTitle.h"

#include <cstdint>
#include <cstring>
#include <new>

// The first two bytes of a block: the top bit set for UTF-16 units, the rest the length. A
// length of 0x7FFF or more (no title is that long, but any text reads back) is 0x7FFF there and
// the length itself in the next four bytes.
struct TrackTitle::Head {
    static constexpr uint16_t kWide = 0x8000;
    static constexpr uint16_t kLong = 0x7FFF;

    static uint16_t First(const char* p)
    {
        uint16_t h;
        std::memcpy(&h, p, sizeof h);
        return h;
    }
    static bool Wide(const char* p) { return (First(p) & kWide) != 0; }
    static qsizetype Length(const char* p)
    {
        const uint16_t n = First(p) & ~kWide;
        if (n != kLong) return n;
        uint32_t full;
        std::memcpy(&full, p + 2, sizeof full);
        return qsizetype(full);
    }
    static size_t Size(qsizetype length) { return length >= kLong ? 6 : 2; }
    static const char* Chars(const char* p) { return p + Size(Length(p)); }

    // Whether the block `p` (null for an empty title) holds the text `b`.
    template <class View>
    static bool Equals(const char* p, View b)
    {
        if (!p) return b.isEmpty();
        const qsizetype n = Length(p);
        if (Wide(p)) return QStringView(reinterpret_cast<const char16_t*>(Chars(p)), n) == b;
        return QLatin1StringView(Chars(p), n) == b;
    }
};

namespace {

bool FitsLatin1(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF) return false;
    return true;
}

} // namespace

TrackTitle::TrackTitle(const TrackTitle& other)
{
    if (!other.m_p) return;
    const qsizetype n = Head::Length(other.m_p);
    const bool wide = Head::Wide(other.m_p);
    char* p = Make(n, !wide);
    std::memcpy(const_cast<char*>(Head::Chars(p)), Head::Chars(other.m_p), size_t(n) * (wide ? 2 : 1));
    m_p = p;
}

TrackTitle& TrackTitle::operator=(const TrackTitle& other)
{
    if (this != &other) {
        TrackTitle copy(other);
        std::swap(m_p, copy.m_p);
    }
    return *this;
}

char* TrackTitle::Make(qsizetype length, bool latin1)
{
    const size_t head = Head::Size(length);
    char* p = static_cast<char*>(::operator new(head + size_t(length) * (latin1 ? 1 : 2)));
    const uint16_t wide = latin1 ? 0 : Head::kWide;
    const uint16_t first = uint16_t((length >= Head::kLong ? Head::kLong : uint16_t(length)) | wide);
    std::memcpy(p, &first, sizeof first);
    if (length >= Head::kLong) {
        const uint32_t full = uint32_t(length);
        std::memcpy(p + 2, &full, sizeof full);
    }
    return p;
}

void TrackTitle::Take(char* block)
{
    Free();
    m_p = block;
}

void TrackTitle::Free()
{
    ::operator delete(m_p);
    m_p = nullptr;
}

void TrackTitle::Set(QStringView text)
{
    if (text.isEmpty()) {
        Free();
        return;
    }
    const qsizetype n = text.size();
    const bool latin1 = FitsLatin1(text);
    char* p = Make(n, latin1);
    char* out = const_cast<char*>(Head::Chars(p));
    if (latin1)
        for (qsizetype i = 0; i < n; ++i) out[i] = char(text[i].unicode());
    else
        std::memcpy(out, text.utf16(), size_t(n) * 2);
    Take(p);
}

void TrackTitle::SetLatin1(QLatin1StringView text)
{
    if (text.isEmpty()) {
        Free();
        return;
    }
    char* p = Make(text.size(), true);
    std::memcpy(const_cast<char*>(Head::Chars(p)), text.data(), size_t(text.size()));
    Take(p);
}

qsizetype TrackTitle::size() const { return m_p ? Head::Length(m_p) : 0; }

QString TrackTitle::Text() const
{
    if (!m_p) return QString();
    const qsizetype n = Head::Length(m_p);
    const char* chars = Head::Chars(m_p);
    if (!Head::Wide(m_p)) return QString::fromLatin1(chars, n);
    return QString(reinterpret_cast<const QChar*>(chars), n);
}

QStringView TrackTitle::View(QString& room) const
{
    if (!m_p) return QStringView();
    if (!Head::Wide(m_p)) {
        room = Text();
        return room;
    }
    return QStringView(reinterpret_cast<const char16_t*>(Head::Chars(m_p)), Head::Length(m_p));
}

bool operator==(const TrackTitle& a, QStringView b) { return TrackTitle::Head::Equals(a.m_p, b); }

bool operator==(const TrackTitle& a, QLatin1StringView b) { return TrackTitle::Head::Equals(a.m_p, b); }

bool operator==(const TrackTitle& a, const TrackTitle& b)
{
    if (!a.m_p || !b.m_p) return a.m_p == b.m_p;
    // A text is kept one way only (Latin-1 whenever it fits), so equal texts are equal blocks.
    const qsizetype n = TrackTitle::Head::Length(a.m_p);
    return TrackTitle::Head::First(a.m_p) == TrackTitle::Head::First(b.m_p) && n == TrackTitle::Head::Length(b.m_p) &&
           std::memcmp(TrackTitle::Head::Chars(a.m_p), TrackTitle::Head::Chars(b.m_p),
                       size_t(n) * (TrackTitle::Head::Wide(a.m_p) ? 2 : 1)) == 0;
}
