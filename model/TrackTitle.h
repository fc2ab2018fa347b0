#pragma once
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <utility>

// A track's title: the one text every track holds of its own. It takes one pointer in the
// record, where a string took 24 bytes, and its characters one block with a two-byte length
// instead of a string's header of sixteen. A title of Latin-1 characters alone (most titles of
// Western music) is kept one byte a character. It reads back as the exact text it was given;
// reading it makes a string, so loops over many tracks read it once.
class TrackTitle {
public:
    TrackTitle() = default;
    explicit TrackTitle(QStringView text) { Set(text); }
    TrackTitle(const TrackTitle& other);
    TrackTitle(TrackTitle&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    TrackTitle& operator=(const TrackTitle& other);
    TrackTitle& operator=(TrackTitle&& other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    TrackTitle& operator=(const QString& text)
    {
        Set(text);
        return *this;
    }
    ~TrackTitle() { Free(); }

    // Bytes that are Latin-1 text already (a stored title of ASCII alone), taken as they are.
    void SetLatin1(QLatin1StringView text);
    void clear() { Free(); }

    bool isEmpty() const { return !m_p; }
    qsizetype size() const;
    QString Text() const;
    operator QString() const { return Text(); }
    // The title in place when it is kept in UTF-16, else made in `room`: valid while both are
    // unchanged.
    QStringView View(QString& room) const;

    friend bool operator==(const TrackTitle& a, QStringView b);
    friend bool operator==(const TrackTitle& a, const QString& b) { return a == QStringView(b); }
    friend bool operator==(const TrackTitle& a, QLatin1StringView b);
    friend bool operator==(const TrackTitle& a, const TrackTitle& b);

private:
    struct Head;
    void Set(QStringView text);
    // A block for `length` characters, one byte each when `latin1`, its head written; the text
    // given may be the title's own, so the old block goes only when the new one is taken.
    static char* Make(qsizetype length, bool latin1);
    void Take(char* block);
    void Free();

    // The block: its head (the length and whether the characters are Latin-1 bytes or UTF-16
    // units), then the characters.
    char* m_p = nullptr;
};
