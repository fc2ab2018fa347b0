#pragma once
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <memory>

// A track's key. Nearly every key is MakeGid's 32 lowercase hex digits: such a key is held as the
// 16 bytes the digits spell, inside the record, where its text took a block of some 90 bytes of
// its own for every track of the library. Any other key (one an old file holds, a test's name)
// is held as its text, through a pointer in the same 16 bytes. It reads as its text wherever a
// QString is taken.
class TrackGid {
public:
    static constexpr int kDigits = 32;
    // Room for a key's digits, to read it without making a text.
    using Digits = std::array<char16_t, kDigits>;

    TrackGid() = default;
    explicit TrackGid(const QString& text) { Set(text); }
    TrackGid(const TrackGid& other);
    TrackGid(TrackGid&& other) noexcept;
    TrackGid& operator=(const TrackGid& other);
    TrackGid& operator=(TrackGid&& other) noexcept;
    TrackGid& operator=(const QString& text)
    {
        Set(text);
        return *this;
    }
    ~TrackGid();

    bool isEmpty() const { return !HoldsDigest() && !TextHeld(); }
    void clear();

    QString Text() const;
    operator QString() const { return Text(); }
    QByteArray toLatin1() const { return Text().toLatin1(); }
    // The key's text, in `room` when it is held as bytes: valid while both are unchanged.
    QStringView View(Digits& room) const;

    friend bool operator==(const TrackGid& a, QStringView b);
    friend bool operator==(const TrackGid& a, const QString& b) { return a == QStringView(b); }
    friend bool operator==(const TrackGid& a, const TrackGid& b);

private:
    void Set(QStringView text);
    // Bytes whose second half is all zero are no digest: their first half is the text's
    // pointer (null for no key). The keys whose digits spell such bytes are held as text.
    bool HoldsDigest() const;
    const QString* TextHeld() const;
    void HoldText(const QString* text);

    alignas(8) std::array<unsigned char, kDigits / 2> m_bytes {};
};

// For a map keyed by TrackGid and looked up by text: a key held and the same key given as text
// hash and compare alike. The hash of a key's text is the standard library's of its characters (the
// store's text-key maps hash through it too).
struct TrackGidHash {
    using is_transparent = void;
    size_t operator()(QStringView text) const;
    size_t operator()(const TrackGid& gid) const
    {
        TrackGid::Digits room;
        return (*this)(gid.View(room));
    }
};
struct TrackGidEqual {
    using is_transparent = void;
    bool operator()(const TrackGid& a, const TrackGid& b) const { return a == b; }
    bool operator()(const TrackGid& a, QStringView b) const { return a == b; }
    bool operator()(QStringView a, const TrackGid& b) const { return b == a; }
};
