#include "app/TrackSort.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "store/CQvMediaStore.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace {

QString TextOf(const TrackInfo* info, int column)
{
    if (!info) return QString();
    switch (column) {
    case kSortSong: return info->Song;
    case kSortArtist: return info->Artist;
    default: return info->Album;
    }
}

template <class Key, class MakeKey>
void SortBy(MemberList& tracks, bool descending, MakeKey make)
{
    struct Entry {
        Key key;
        CQvMusic* track;
    };
    std::vector<Entry> entries;
    entries.reserve(tracks.size());
    for (CQvMusic* t : tracks) entries.push_back({make(t), t});
    if (descending)
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return b.key < a.key; });
    else
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    for (size_t i = 0; i < entries.size(); ++i) tracks[i] = entries[i].track;
}

// A sort key compares as the locale compares its text; made once per track, so a sort of a
// large list costs one key per track and byte comparisons after that.
struct TextKey {
    QCollatorSortKey key;
    bool operator<(const TextKey& o) const { return key.compare(o.key) < 0; }
};

// The order of the user's language. A locale that has no order of its own for Chinese
// characters (C, English) takes the Chinese one: Latin letters keep their alphabetical order
// and Chinese titles go by their pinyin, as a Chinese reader looks for them.
QLocale SortLocale()
{
    const QLocale user;
    switch (user.language()) {
    case QLocale::C:
    case QLocale::AnyLanguage:
    case QLocale::English: return QLocale(QLocale::Chinese, QLocale::China);
    default: return user;
    }
}

} // namespace

void SortTracks(MemberList& tracks, int column, bool descending)
{
    switch (column) {
    case kSortSong:
    case kSortArtist:
    case kSortAlbum: {
        QCollator collator(SortLocale());
        SortBy<TextKey>(tracks, descending,
                        [&](CQvMusic* t) { return TextKey{collator.sortKey(TextOf(t->GetInfo(), column))}; });
        break;
    }
    case kSortTime:
        SortBy<int>(tracks, descending, [](CQvMusic* t) { return t->GetInfo() ? t->GetInfo()->TotleTime : 0; });
        break;
    case kSortService:
        SortBy<int>(tracks, descending, [](CQvMusic* t) { return (t->GetState() & STATE_FROM_SERVICE) ? 1 : 0; });
        break;
    default:
        break;
    }
}

void SortByLastPlay(MemberList& tracks, const CQvMediaStore& store)
{
    // Members join at the end: reversed first, the later of two equal ones comes first.
    std::reverse(tracks.begin(), tracks.end());
    SortBy<qint64>(tracks, true, [&](CQvMusic* t) -> qint64 {
        PlayStatistic s;
        if (!t->GetInfo() || store.GetStatistic(t->GetInfo()->Gid, s) != 1) return 0;
        return (((qint64(s.Year) * 13 + s.Month) * 32 + s.Day) * 24 + s.Hour) * 60 + s.Minute;
    });
}
