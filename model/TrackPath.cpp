#include "model/TrackPath.h"

#include <cstddef>
#include <cstring>
#include <new>

// The shared folder, then the rest of the path: its length in one unit (a path that long is
// rare: 0xFFFF and two more units then hold it), then its characters.
struct TrackPath::Block {
    TrackText folder;
    char16_t units[1]; // the block is allocated with room for all of them

    static constexpr char16_t kLong = 0xFFFF;

    char16_t* Units() { return units; }
    const char16_t* Units() const { return units; }
    qsizetype Length() const
    {
        const char16_t* u = Units();
        return u[0] != kLong ? qsizetype(u[0]) : qsizetype(u[1]) | (qsizetype(u[2]) << 16);
    }
    const char16_t* Chars() const { return Units() + (Units()[0] != kLong ? 1 : 3); }
};

namespace {

QChar Separator() { return QLatin1Char('/'); }

} // namespace

TrackPath::TrackPath(const TrackPath& other)
{
    if (other.m_p) Make(other.m_p->folder, other.Rest());
}

TrackPath& TrackPath::operator=(const TrackPath& other)
{
    if (this != &other) {
        TrackPath copy(other);
        std::swap(m_p, copy.m_p);
    }
    return *this;
}

void TrackPath::Set(QStringView path)
{
    TrackPath made;
    if (!path.isEmpty()) made.Make(TrackText(), path);
    std::swap(m_p, made.m_p);
}

void TrackPath::SetShared(const TrackText& folder, QStringView name)
{
    if (folder.isEmpty() || name.isEmpty()) {
        // One of them empty: the path is the other, kept whole.
        Set(folder.isEmpty() ? name : QStringView(folder.str()));
        return;
    }
    if (name.contains(Separator())) {
        Set(QString(folder.str() + Separator() + name.toString()));
        return;
    }
    TrackPath made;
    made.Make(folder, name);
    std::swap(m_p, made.m_p);
}

void TrackPath::Make(const TrackText& folder, QStringView rest)
{
    const qsizetype n = rest.size();
    const bool isLong = n >= Block::kLong;
    const size_t bytes = offsetof(Block, units) + sizeof(char16_t) * size_t((isLong ? 3 : 1) + n);
    void* memory = ::operator new(bytes);
    auto* block = new (memory) Block {folder, {}};
    char16_t* units = block->Units();
    if (isLong) {
        units[0] = Block::kLong;
        units[1] = char16_t(n & 0xFFFF);
        units[2] = char16_t(n >> 16);
    } else {
        units[0] = char16_t(n);
    }
    std::memcpy(const_cast<char16_t*>(block->Chars()), rest.utf16(), sizeof(char16_t) * size_t(n));
    Free();
    m_p = block;
}

void TrackPath::Free()
{
    if (!m_p) return;
    m_p->~Block();
    ::operator delete(m_p);
    m_p = nullptr;
}

const TrackText& TrackPath::Folder() const
{
    static const TrackText none;
    return m_p ? m_p->folder : none;
}

QStringView TrackPath::Rest() const
{
    return m_p ? QStringView(m_p->Chars(), m_p->Length()) : QStringView();
}

QStringView TrackPath::Directory() const { return m_p ? DirectoryOf(m_p->folder, Rest()) : QStringView(); }

QStringView TrackPath::FileName() const { return m_p ? FileNameOf(m_p->folder, Rest()) : QStringView(); }

qsizetype TrackPath::size() const
{
    if (!m_p) return 0;
    return m_p->Length() + (m_p->folder.isEmpty() ? 0 : m_p->folder.size() + 1);
}

QString TrackPath::Text() const { return m_p ? TextOf(m_p->folder, Rest()) : QString(); }

QStringView TrackPath::DirectoryOf(const TrackText& folder, QStringView rest)
{
    if (!folder.isEmpty()) return folder.str();
    const qsizetype slash = rest.lastIndexOf(Separator());
    return slash <= 0 ? QStringView() : rest.left(slash);
}

QStringView TrackPath::FileNameOf(const TrackText& folder, QStringView rest)
{
    return folder.isEmpty() ? rest.sliced(rest.lastIndexOf(Separator()) + 1) : rest;
}

QString TrackPath::TextOf(const TrackText& folder, QStringView rest)
{
    if (folder.isEmpty()) return rest.toString();
    const QString& text = folder.str();
    QString path(text.size() + 1 + rest.size(), Qt::Uninitialized);
    QChar* out = path.data();
    std::memcpy(out, text.constData(), sizeof(QChar) * size_t(text.size()));
    out[text.size()] = Separator();
    std::memcpy(out + text.size() + 1, rest.data(), sizeof(QChar) * size_t(rest.size()));
    return path;
}

bool operator==(const TrackPath& a, QStringView b)
{
    if (!a.m_p) return b.isEmpty();
    const QStringView rest = a.Rest();
    if (a.m_p->folder.isEmpty()) return rest == b;
    const QString& folder = a.m_p->folder.str();
    return b.size() == folder.size() + 1 + rest.size() && b.startsWith(folder) && b[folder.size()] == Separator() &&
           b.sliced(folder.size() + 1) == rest;
}

bool operator==(const TrackPath& a, const TrackPath& b)
{
    if (a.m_p == b.m_p) return true;
    if (!a.m_p || !b.m_p) return false;
    if (a.m_p->folder == b.m_p->folder) return a.Rest() == b.Rest();
    return a == QStringView(b.Text());
}
