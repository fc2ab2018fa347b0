#pragma once
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>

// A text field of a track record that most tracks leave empty or share with many others (an
// artist, an album, a genre, a service id). It takes one pointer: null while empty, else a text
// that is never changed in place, so copying a track or giving a hundred thousand tracks the
// same artist shares one copy. It reads as a `const QString&` wherever one is taken.
class TrackText {
public:
    TrackText() = default;
    // Explicit: where a text and a QString meet (a?b:c), the QString is the common type.
    explicit TrackText(const QString& text) { Set(text); }
    explicit TrackText(QString&& text) { Set(std::move(text)); }
    explicit TrackText(QLatin1StringView text) { Set(QString(text)); }

    TrackText& operator=(const QString& text)
    {
        Set(text);
        return *this;
    }
    TrackText& operator=(QString&& text)
    {
        Set(std::move(text));
        return *this;
    }
    TrackText& operator=(QLatin1StringView text)
    {
        Set(QString(text));
        return *this;
    }

    const QString& str() const { return m_d ? m_d->text : Empty(); }
    operator const QString&() const { return str(); }

    bool isEmpty() const { return !m_d; }
    qsizetype size() const { return str().size(); }
    void clear() { m_d.reset(); }

    friend bool operator==(const TrackText& a, const TrackText& b)
    {
        return a.m_d == b.m_d || a.str() == b.str();
    }
    friend bool operator==(const TrackText& a, const QString& b) { return a.str() == b; }
    friend bool operator==(const TrackText& a, QLatin1StringView b) { return a.str() == b; }
    friend bool operator==(const TrackText& a, QStringView b) { return QStringView(a.str()) == b; }

private:
    struct Data : QSharedData {
        explicit Data(QString t) : text(std::move(t)) {}
        QString text;
    };

    template <class Text>
    void Set(Text&& text)
    {
        if (text.isEmpty()) m_d.reset();
        else m_d = new Data(std::forward<Text>(text));
    }

    static const QString& Empty()
    {
        static const QString empty;
        return empty;
    }

    QExplicitlySharedDataPointer<const Data> m_d;
};
