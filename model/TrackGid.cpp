#include "model/TrackGid.h"

#include <algorithm>
#include <functional>
#include <string_view>

namespace {

constexpr char16_t kHex[] = u"0123456789abcdef";

// The value of a lowercase hex digit, or -1: a key in capitals is another key, kept as text.
int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

} // namespace

TrackGid::TrackGid(const TrackGid& other)
    : m_digest(other.m_digest), m_text(other.m_text ? std::make_unique<const QString>(*other.m_text) : nullptr)
{
}

TrackGid& TrackGid::operator=(const TrackGid& other)
{
    if (this != &other) {
        m_digest = other.m_digest;
        m_text = other.m_text ? std::make_unique<const QString>(*other.m_text) : nullptr;
    }
    return *this;
}

TrackGid::~TrackGid() = default;

void TrackGid::clear()
{
    m_digest.fill(0);
    m_text.reset();
}

bool TrackGid::HoldsDigest() const
{
    return std::any_of(m_digest.begin(), m_digest.end(), [](unsigned char b) { return b != 0; });
}

void TrackGid::Set(QStringView text)
{
    clear();
    if (text.isEmpty()) return;
    std::array<unsigned char, kDigits / 2> digest {};
    bool digits = text.size() == kDigits;
    for (int i = 0; digits && i < kDigits; i += 2) {
        const int high = HexValue(text[i].unicode()), low = HexValue(text[i + 1].unicode());
        digits = high >= 0 && low >= 0;
        if (digits) digest[size_t(i / 2)] = static_cast<unsigned char>(high << 4 | low);
    }
    // All-zero bytes stand for no key, so the one key that spells them is kept as text.
    if (digits && std::any_of(digest.begin(), digest.end(), [](unsigned char b) { return b != 0; }))
        m_digest = digest;
    else
        m_text = std::make_unique<const QString>(text.toString());
}

QStringView TrackGid::View(Digits& room) const
{
    if (m_text) return *m_text;
    if (!HoldsDigest()) return {};
    for (size_t i = 0; i < m_digest.size(); ++i) {
        room[2 * i] = kHex[m_digest[i] >> 4];
        room[2 * i + 1] = kHex[m_digest[i] & 0xF];
    }
    return QStringView(room.data(), kDigits);
}

QString TrackGid::Text() const
{
    Digits room;
    return View(room).toString();
}

bool operator==(const TrackGid& a, QStringView b)
{
    TrackGid::Digits room;
    return a.View(room) == b;
}

bool operator==(const TrackGid& a, const TrackGid& b)
{
    if (a.m_text || b.m_text) return a.m_text && b.m_text && *a.m_text == *b.m_text;
    return a.m_digest == b.m_digest;
}

size_t TrackGidHash::operator()(QStringView text) const
{
    return std::hash<std::u16string_view>()(std::u16string_view(text.utf16(), size_t(text.size())));
}
