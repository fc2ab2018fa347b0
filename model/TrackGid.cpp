#include "model/TrackGid.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <functional>
#include <string_view>

namespace {

constexpr char16_t kHex[] = u"0123456789abcdef";
constexpr std::ptrdiff_t kHalf = TrackGid::kDigits / 4;

// The value of a lowercase hex digit, or -1: a key in capitals is another key, kept as text.
int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

} // namespace

TrackGid::TrackGid(const TrackGid& other)
{
    if (const QString* text = other.TextHeld()) HoldText(new QString(*text));
    else m_bytes = other.m_bytes;
}

TrackGid::TrackGid(TrackGid&& other) noexcept : m_bytes(std::exchange(other.m_bytes, {})) {}

TrackGid& TrackGid::operator=(const TrackGid& other)
{
    if (this != &other) {
        TrackGid copy(other);
        std::swap(m_bytes, copy.m_bytes);
    }
    return *this;
}

TrackGid& TrackGid::operator=(TrackGid&& other) noexcept
{
    std::swap(m_bytes, other.m_bytes);
    return *this;
}

TrackGid::~TrackGid() { delete TextHeld(); }

void TrackGid::clear()
{
    delete TextHeld();
    m_bytes.fill(0);
}

bool TrackGid::HoldsDigest() const
{
    return std::any_of(m_bytes.begin() + kHalf, m_bytes.end(), [](unsigned char b) { return b != 0; });
}

const QString* TrackGid::TextHeld() const
{
    if (HoldsDigest()) return nullptr;
    const QString* text;
    std::memcpy(&text, m_bytes.data(), sizeof text);
    return text;
}

void TrackGid::HoldText(const QString* text)
{
    m_bytes.fill(0);
    std::memcpy(m_bytes.data(), &text, sizeof text);
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
    if (digits && std::any_of(digest.begin() + kHalf, digest.end(), [](unsigned char b) { return b != 0; }))
        m_bytes = digest;
    else
        HoldText(new QString(text.toString()));
}

QStringView TrackGid::View(Digits& room) const
{
    if (!HoldsDigest()) {
        const QString* text = TextHeld();
        return text ? QStringView(*text) : QStringView();
    }
    for (size_t i = 0; i < m_bytes.size(); ++i) {
        room[2 * i] = kHex[m_bytes[i] >> 4];
        room[2 * i + 1] = kHex[m_bytes[i] & 0xF];
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
    if (a.HoldsDigest() || b.HoldsDigest()) return a.m_bytes == b.m_bytes;
    const QString* x = a.TextHeld();
    const QString* y = b.TextHeld();
    return x && y ? *x == *y : x == y;
}

size_t TrackGidHash::operator()(QStringView text) const
{
    return std::hash<std::u16string_view>()(std::u16string_view(text.utf16(), size_t(text.size())));
}
