#include "store/TrackRow.h"

#include "store/Sqlite.h"

#include "base/CodePage.h"
#include "model/TrackInfo.h"

#include <QHashFunctions>

#include <sqlite3.h>

#include <cstring>
#include <string.h>
#include <string>
#include <vector>

// The same statement for both tables, only the table name differs.
#define ORDEL_TRACK_INSERT_COLUMNS(table)                                                         \
    "INSERT INTO " table " (Gid, AddTime, "                                                       \
    "ArtistSex,Frequency,TotleTime,BitRate,TrackNum,PlayCount,State,Lrc,Pic,Default1,Default2,"   \
    "Default3,Default4,Default5,Default6,Default7,Default8,Default9,Default10,AlbumID,Song,"      \
    "Artist,Sysid,CmsID,LSrc,NSrc,Album,Genre,ReleaseTime,DownloadID,Stereo,ArtistSpell,"         \
    "ArtistZone,AlbumType,AlbumSpell,SongZone,SongType,SongSort,SongNation,SongSpell,SongShort,"  \
    "AlbumShort,ArtistShort,TagInfo,Topic,PicFile,LrcFile) VALUES (?, "
#define ORDEL_TRACK_INSERT_INTO(table) ORDEL_TRACK_INSERT_COLUMNS(table) "datetime('now','localtime'), "
#define ORDEL_TRACK_VALUES                                                                        \
    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?,  ?, ?, "                             \
    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
#define ORDEL_TRACK_INSERT(table) ORDEL_TRACK_INSERT_INTO(table) ORDEL_TRACK_VALUES

const char* const kInsertAllMusic = ORDEL_TRACK_INSERT("AllMusic");
const char* const kInsertTempMusic = ORDEL_TRACK_INSERT("TempMusic");
const char* const kInsertAllMusicAt = ORDEL_TRACK_INSERT_COLUMNS("AllMusic") "?, " ORDEL_TRACK_VALUES;
const char* const kLocalTimeNow = "SELECT datetime('now','localtime')";

#define ORDEL_TRACK_SET                                                                           \
    "ArtistSex=?,Frequency=?,TotleTime=?,BitRate=?,TrackNum=?,PlayCount=?,State=?,Lrc=?,Pic=?,"   \
    "Default1=?,Default2=?,Default3=?,Default4=?,Default5=?,Default6=?,Default7=?,Default8=?,"     \
    "Default9=?,Default10=?,AlbumID=?,Song=?,Artist=?,Sysid=?, "                                  \
    "CmsID=?,LSrc=?,NSrc=?,Album=?,Genre=?,ReleaseTime=?,DownloadID=?,Stereo=?,ArtistSpell=?,"    \
    "ArtistZone=?,AlbumType=?,AlbumSpell=?,SongZone=?,SongType=?,SongSort=?,SongNation=?,"        \
    "SongSpell=?,SongShort=?,AlbumShort=?,ArtistShort=?,TagInfo=?,Topic=?,PicFile=?,LrcFile=? "   \
    "WHERE Gid=?"

const char* const kUpdateAllMusic = "UPDATE AllMusic SET " ORDEL_TRACK_SET;
const char* const kUpdateTempMusic = "UPDATE TempMusic SET  " ORDEL_TRACK_SET;
const char* const kDeleteAllMusic = "DELETE FROM AllMusic WHERE Gid=?";
// The columns are named, not taken as the table lists them: a file a later version wrote may
// hold more of them, anywhere in the row.
#define ORDEL_TRACK_SELECT                                                                        \
    "SELECT Gid, AddTime, "                                                                       \
    "ArtistSex,Frequency,TotleTime,BitRate,TrackNum,PlayCount,State,Lrc,Pic,Default1,Default2,"   \
    "Default3,Default4,Default5,Default6,Default7,Default8,Default9,Default10,AlbumID,Song,"      \
    "Artist,Sysid,CmsID,LSrc,NSrc,Album,Genre,ReleaseTime,DownloadID,Stereo,ArtistSpell,"         \
    "ArtistZone,AlbumType,AlbumSpell,SongZone,SongType,SongSort,SongNation,SongSpell,SongShort,"  \
    "AlbumShort,ArtistShort,TagInfo,Topic,PicFile,LrcFile FROM "

const char* const kSelectAllMusic = ORDEL_TRACK_SELECT "AllMusic ORDER BY AddTime DESC";
const char* const kSelectTempMusic = ORDEL_TRACK_SELECT "TempMusic";

namespace {

constexpr int kFirstIntColumn = 2;
constexpr int kFirstTextColumn = 21;
constexpr int kColumnCount = 49;

// An integer column's field, in the record or in its rare block; neither stands for State,
// which is the track's word, not a field.
struct IntField {
    int TrackInfo::* common;
    int TrackRareFields::* rare;

    bool IsState() const { return !common && !rare; }
    int Get(const TrackInfo& info) const { return common ? info.*common : info.Rare().*rare; }
    // A rare field's block is made only for a value other than the one it reads already.
    void Set(TrackInfo& info, int value) const
    {
        if (common) info.*common = value;
        else if (info.Rare().*rare != value) info.EditRare().*rare = value;
    }
};

constexpr IntField Int(int TrackInfo::* field) { return {field, nullptr}; }
constexpr IntField RareInt(int TrackRareFields::* field) { return {nullptr, field}; }
constexpr IntField kState {nullptr, nullptr};

// Columns 2..20 in order.
const IntField kIntFields[] = {
    Int(&TrackInfo::ArtistSex), Int(&TrackInfo::Frequency), Int(&TrackInfo::TotleTime),
    Int(&TrackInfo::BitRate),   Int(&TrackInfo::TrackNum),  Int(&TrackInfo::PlayCount),
    kState,                     Int(&TrackInfo::Lrc),       Int(&TrackInfo::Pic),
    Int(&TrackInfo::Default1),  Int(&TrackInfo::Default2),  RareInt(&TrackRareFields::Default3),
    RareInt(&TrackRareFields::Default4), RareInt(&TrackRareFields::Default5),
    RareInt(&TrackRareFields::Default6), RareInt(&TrackRareFields::Default7),
    RareInt(&TrackRareFields::Default8), RareInt(&TrackRareFields::Default9),
    Int(&TrackInfo::AddDay),
};

// A text column's field: `title` for the title, each track's own text, `path` for the path,
// `text` for the record's other texts, `rare` for those of its rare block.
struct TextField {
    TrackTitle TrackInfo::* title;
    TrackPath TrackInfo::* path;
    TrackText TrackInfo::* text;
    TrackText TrackRareFields::* rare;
    bool escaped;
    bool shared; // many tracks hold the same text: read through the pool

    // Not for the title or the path, which are no strings: see View and BindPath.
    const QString& Get(const TrackInfo& info) const
    {
        return text ? (info.*text).str() : (info.Rare().*rare).str();
    }
    // Not for the path. A title kept in Latin-1 is made in `room`.
    QStringView View(const TrackInfo& info, QString& room) const
    {
        return title ? (info.*title).View(room) : QStringView(Get(info));
    }
    bool IsEmpty(const TrackInfo& info) const
    {
        return title ? (info.*title).isEmpty() : path ? (info.*path).isEmpty() : Get(info).isEmpty();
    }
    void Set(TrackInfo& info, TrackText value) const
    {
        if (text) info.*text = std::move(value);
        else if (!value.isEmpty() || !(info.Rare().*rare).isEmpty()) info.EditRare().*rare = std::move(value);
    }
};

constexpr TextField Title(TrackTitle TrackInfo::* field, bool escaped)
{
    return {field, nullptr, nullptr, nullptr, escaped, false};
}
constexpr TextField Path(TrackPath TrackInfo::* field, bool escaped)
{
    return {nullptr, field, nullptr, nullptr, escaped, false};
}
constexpr TextField Text(TrackText TrackInfo::* field, bool escaped, bool shared)
{
    return {nullptr, nullptr, field, nullptr, escaped, shared};
}
constexpr TextField Rare(TrackText TrackRareFields::* field, bool shared)
{
    return {nullptr, nullptr, nullptr, field, false, shared};
}

// Columns 21..48 in order.
const TextField kTextFields[] = {
    Rare(&TrackRareFields::AlbumID, true),         Title(&TrackInfo::Song, true),
    Text(&TrackInfo::Artist, true, true),          Rare(&TrackRareFields::Sysid, false),
    Rare(&TrackRareFields::CmsID, false),          Path(&TrackInfo::LSrc, true),
    Text(&TrackInfo::NSrc, true, false),           Text(&TrackInfo::Album, true, true),
    Text(&TrackInfo::Genre, false, true),          Text(&TrackInfo::ReleaseTime, false, true),
    Rare(&TrackRareFields::DownloadID, false),     Text(&TrackInfo::Stereo, false, true),
    Rare(&TrackRareFields::ArtistSpell, true),     Rare(&TrackRareFields::ArtistZone, true),
    Rare(&TrackRareFields::AlbumType, true),       Rare(&TrackRareFields::AlbumSpell, true),
    Rare(&TrackRareFields::SongZone, true),        Rare(&TrackRareFields::SongType, true),
    Rare(&TrackRareFields::SongSort, true),        Rare(&TrackRareFields::SongNation, true),
    Rare(&TrackRareFields::SongSpell, false),      Rare(&TrackRareFields::SongShort, false),
    Rare(&TrackRareFields::AlbumShort, true),      Rare(&TrackRareFields::ArtistShort, true),
    Rare(&TrackRareFields::TagInfo, true),         Rare(&TrackRareFields::Topic, true),
    Rare(&TrackRareFields::PicFile, true),         Rare(&TrackRareFields::LrcFile, false),
};

static_assert(std::size(kIntFields) == kFirstTextColumn - kFirstIntColumn);
static_assert(std::size(kTextFields) == kColumnCount - kFirstTextColumn);
static_assert(std::size(kIntFields) == CTrackRowValues::kInts && std::size(kTextFields) + 1 == CTrackRowValues::kTexts);

const QString kApostrophe = QStringLiteral("'");
const QString kEscapedApostrophe = QStringLiteral("^`^");

// The stored bytes of a text that is not plain ASCII, through the code page.
QByteArray CodePageBytes(QStringView text, bool escaped)
{
    const QString wide = QString::fromRawData(reinterpret_cast<const QChar*>(text.utf16()), text.size());
    return ToAnsi(escaped && text.contains(QLatin1Char('\'')) ? EscapeApostrophes(wide) : wide);
}

} // namespace

const char* const kSelectAllMusicGids = "SELECT Gid FROM AllMusic";

int CTrackRowValues::BindInt(SqliteStatement& stmt, int index, int slot, int value)
{
    if (Holds(stmt) && m_intBound[slot] && m_ints[slot] == value) return kSqliteOk;
    m_intBound[slot] = Holds(stmt);
    m_ints[slot] = value;
    return sqlite3_bind_int(stmt.get(), index, value);
}

int CTrackRowValues::BindText(SqliteStatement& stmt, int index, int slot, QStringView text, bool escaped)
{
    QByteArray& bytes = m_bytes[slot];
    const bool held = Holds(stmt) && m_textBound[slot];
    m_textBound[slot] = Holds(stmt);
    // Empty text is stored as '' (never NULL), as the files have always held it.
    if (text.isEmpty()) {
        if (held && bytes.isEmpty()) return kSqliteOk;
        bytes.resize(0);
        return sqlite3_bind_text(stmt.get(), index, "", 0, SQLITE_STATIC);
    }
    // Plain ASCII (paths, numbers, most tags) is its own bytes: compared with those bound as it
    // is read, and written over them only when it differs. The slot is bound again right after,
    // so the statement never reads the bytes while they change.
    const char16_t* units = text.utf16();
    const qsizetype n = text.size();
    bool same = held && bytes.size() == n;
    qsizetype plain = 0;
    for (; plain < n; ++plain) {
        const char16_t c = units[plain];
        if (c >= 0x80 || (escaped && c == u'\'')) break;
        same = same && bytes.constData()[plain] == static_cast<char>(c);
    }
    if (plain == n) {
        if (same) return kSqliteOk;
        bytes.resize(n);
        char* d = bytes.data();
        for (qsizetype i = 0; i < n; ++i) d[i] = static_cast<char>(units[i]);
    } else {
        m_spare = CodePageBytes(text, escaped);
        if (held && m_spare == bytes) return kSqliteOk;
        bytes.swap(m_spare);
    }
    return sqlite3_bind_text(stmt.get(), index, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

int CTrackRowValues::BindPath(SqliteStatement& stmt, int index, int slot, const TrackPath& path, bool escaped)
{
    // A path of a shared folder is put together in room kept from row to row, not made anew.
    if (path.Folder().isEmpty()) return BindText(stmt, index, slot, path.Rest(), escaped);
    m_path.resize(0);
    m_path.append(path.Folder().str()).append(QLatin1Char('/')).append(path.Rest());
    return BindText(stmt, index, slot, m_path, escaped);
}

int CTrackRowValues::BindColumns(SqliteStatement& stmt, int index, const TrackInfo& info, unsigned state)
{
    int rc = kSqliteOk;
    int slot = 0;
    for (const IntField& field : kIntFields) {
        const int value = field.IsState() ? static_cast<int>(state) : field.Get(info);
        if ((rc = BindInt(stmt, index++, slot++, value)) != kSqliteOk) return rc;
    }
    for (size_t i = 0; i < std::size(kTextFields); ++i)
        if ((rc = BindTextColumn(stmt, index++, i, info)) != kSqliteOk) return rc;
    return rc;
}

int CTrackRowValues::BindTextColumn(SqliteStatement& stmt, int index, size_t field, const TrackInfo& info)
{
    const TextField& t = kTextFields[field];
    // The slot of the column in the full statement's order: Gid's is 0.
    const int slot = int(field) + 1;
    return t.path ? BindPath(stmt, index, slot, info.*t.path, t.escaped)
                  : BindText(stmt, index, slot, t.View(info, m_title), t.escaped);
}

int CTrackRowValues::BindInsert(SqliteStatement& stmt, const TrackInfo& info, unsigned state)
{
    // Gid, 19 integers, 28 texts: AddTime is written by the statement itself.
    if (stmt.ParameterCount() != kColumnCount - 1) return BindCountMismatch(stmt, kColumnCount - 1);
    TrackGid::Digits room;
    const int rc = BindText(stmt, 1, 0, info.Gid.View(room), false);
    return rc == kSqliteOk ? BindColumns(stmt, 2, info, state) : rc;
}

int CTrackRowValues::BindInsertAt(SqliteStatement& stmt, const QByteArray& addTime, const TrackInfo& info, unsigned state)
{
    // Gid, AddTime, 19 integers, 28 texts.
    if (stmt.ParameterCount() != kColumnCount) return BindCountMismatch(stmt, kColumnCount);
    TrackGid::Digits room;
    int rc = BindText(stmt, 1, 0, info.Gid.View(room), false);
    if (rc == kSqliteOk && !(Holds(stmt) && m_addTimeBound && m_addTime == addTime)) {
        m_addTime = addTime;
        m_addTimeBound = Holds(stmt);
        rc = sqlite3_bind_text(stmt.get(), 2, m_addTime.constData(), static_cast<int>(m_addTime.size()), SQLITE_STATIC);
    }
    return rc == kSqliteOk ? BindColumns(stmt, 3, info, state) : rc;
}

int CTrackRowValues::BindUpdate(SqliteStatement& stmt, const TrackInfo& info, unsigned state)
{
    if (stmt.ParameterCount() != kColumnCount - 1) return BindCountMismatch(stmt, kColumnCount - 1);
    const int rc = BindColumns(stmt, 1, info, state);
    TrackGid::Digits room;
    return rc == kSqliteOk ? BindText(stmt, kColumnCount - 1, 0, info.Gid.View(room), false) : rc;
}

namespace {

// The columns a music file's tags fill, the rest of an imported track's row being a new record's
// values; the file statements write those as literals.
bool FilledFromFile(const IntField& f)
{
    const auto field = f.common;
    return f.IsState() || field == &TrackInfo::Frequency || field == &TrackInfo::TotleTime ||
           field == &TrackInfo::BitRate || field == &TrackInfo::TrackNum || field == &TrackInfo::AddDay;
}

bool FilledFromFile(const TextField& t)
{
    return t.title == &TrackInfo::Song || t.text == &TrackInfo::Artist || t.path == &TrackInfo::LSrc ||
           t.text == &TrackInfo::Album || t.text == &TrackInfo::Genre || t.text == &TrackInfo::Stereo;
}

struct FileTrackInsert {
    std::string allMusic;
    std::string tempMusic;
    std::vector<size_t> boundInts, boundTexts;   // indexes into kIntFields and kTextFields
    std::vector<size_t> literalInts, literalTexts;
    int freshInts[std::size(kIntFields)] {};
    int parameters = 0;
};

const FileTrackInsert& FileInsert()
{
    static const FileTrackInsert made = [] {
        FileTrackInsert f;
        const TrackInfo fresh;
        std::string values;
        for (size_t i = 0; i < std::size(kIntFields); ++i) {
            const IntField& field = kIntFields[i];
            if (FilledFromFile(field)) {
                f.boundInts.push_back(i);
                values += "?, ";
            } else {
                f.literalInts.push_back(i);
                f.freshInts[i] = field.Get(fresh);
                values += std::to_string(f.freshInts[i]) + ", ";
            }
        }
        for (size_t i = 0; i < std::size(kTextFields); ++i) {
            (FilledFromFile(kTextFields[i]) ? f.boundTexts : f.literalTexts).push_back(i);
            values += FilledFromFile(kTextFields[i]) ? "?" : "''";
            values += i + 1 < std::size(kTextFields) ? ", " : ")";
        }
        f.allMusic = ORDEL_TRACK_INSERT_INTO("AllMusic") + values;
        f.tempMusic = ORDEL_TRACK_INSERT_INTO("TempMusic") + values;
        f.parameters = int(1 + f.boundInts.size() + f.boundTexts.size());
        return f;
    }();
    return made;
}

} // namespace

const char* FileTrackInsertStatement(bool temp)
{
    return temp ? FileInsert().tempMusic.c_str() : FileInsert().allMusic.c_str();
}

bool FitsFileTrackInsert(const TrackInfo& info)
{
    const FileTrackInsert& f = FileInsert();
    for (size_t i : f.literalInts)
        if (kIntFields[i].Get(info) != f.freshInts[i]) return false;
    for (size_t i : f.literalTexts)
        if (!kTextFields[i].IsEmpty(info)) return false;
    return true;
}

int CTrackRowValues::BindFileInsert(SqliteStatement& stmt, const TrackInfo& info, unsigned state)
{
    const FileTrackInsert& f = FileInsert();
    if (stmt.ParameterCount() != f.parameters) return BindCountMismatch(stmt, f.parameters);
    TrackGid::Digits room;
    int rc = BindText(stmt, 1, 0, info.Gid.View(room), false);
    int index = 2;
    for (size_t i : f.boundInts) {
        if (rc != kSqliteOk) return rc;
        const IntField& field = kIntFields[i];
        rc = BindInt(stmt, index++, int(i), field.IsState() ? static_cast<int>(state) : field.Get(info));
    }
    for (size_t i : f.boundTexts) {
        if (rc != kSqliteOk) return rc;
        rc = BindTextColumn(stmt, index++, i, info);
    }
    return rc;
}

QString EscapeApostrophes(const QString& text)
{
    QString out = text;
    return out.replace(kApostrophe, kEscapedApostrophe);
}

QString UnescapeApostrophes(const QString& text)
{
    QString out = text;
    return out.replace(kEscapedApostrophe, kApostrophe);
}

namespace {

QString StoredText(const char* bytes, int length, bool escaped)
{
    QString text = FromAnsi(bytes, length);
    if (escaped && text.contains(QLatin1Char('^'))) text = UnescapeApostrophes(text);
    // Code-page text is converted into room for its bytes: a kept text gives back the rest.
    text.squeeze();
    return text;
}

// A stored path, its folder taken from the pool: the tracks of a folder share it. The bytes are
// split at the last slash before they are converted, which no code-page character's bytes hold.
void ReadPath(const char* bytes, int length, bool escaped, CTrackTextPool* pool, TrackPath& path)
{
    const char* slash = bytes ? static_cast<const char*>(::memrchr(bytes, '/', size_t(length))) : nullptr;
    if (!pool || !slash || slash == bytes || slash == bytes + length - 1) {
        path = bytes ? StoredText(bytes, length, escaped) : QString();
        return;
    }
    const int folder = int(slash - bytes);
    path.SetShared(pool->Text(bytes, folder, escaped), StoredText(slash + 1, length - folder - 1, escaped));
}

// A stored title of ASCII alone (where no "^`^" can stand for an apostrophe) is its own
// Latin-1 text: taken as it is, without a string made first.
void ReadTitle(const char* bytes, int length, bool escaped, TrackTitle& title)
{
    if (!bytes) title.clear();
    else if (IsAscii(bytes, length) && !(escaped && std::memchr(bytes, '^', size_t(length))))
        title.SetLatin1(QLatin1StringView(bytes, length));
    else
        title = StoredText(bytes, length, escaped);
}

} // namespace

TrackText CTrackTextPool::Text(const char* bytes, int length, bool escaped)
{
    if (!bytes || length <= 0) return TrackText();
    if ((m_used + 1) * 2 > m_slots.size()) Grow();
    // The same bytes read as an escaped and as a plain column are two texts when they hold "^`^".
    const size_t hash = qHash(QByteArrayView(bytes, length)) ^ size_t(escaped);
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    for (; m_slots[i].length != 0; i = (i + 1) & mask) {
        const Slot& s = m_slots[i];
        if (s.hash == hash && s.length == length && s.escaped == escaped &&
            std::memcmp(m_bytes.data() + s.offset, bytes, size_t(length)) == 0)
            return s.text;
    }
    Slot& slot = m_slots[i];
    slot.hash = hash;
    slot.offset = qsizetype(m_bytes.size());
    slot.length = length;
    slot.escaped = escaped;
    slot.text = StoredText(bytes, length, escaped);
    m_bytes.append(bytes, size_t(length));
    ++m_used;
    return slot.text;
}

void CTrackTextPool::Grow()
{
    std::vector<Slot> old(std::max<size_t>(m_slots.size() * 2, 256));
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (Slot& s : old) {
        if (s.length == 0) continue;
        size_t i = s.hash & mask;
        while (m_slots[i].length != 0) i = (i + 1) & mask;
        m_slots[i] = std::move(s);
    }
}

unsigned ReadTrackRow(const SqliteStatement& stmt, TrackInfo& info, CTrackTextPool* pool)
{
    unsigned state = 0;
    info.Gid = stmt.ColumnText(0);
    // Column 1, AddTime, only orders the rows; the download day has its own column.
    int column = kFirstIntColumn;
    for (const IntField& field : kIntFields) {
        const int value = stmt.ColumnInt(column++);
        if (field.IsState()) state = static_cast<unsigned>(value);
        else field.Set(info, value);
    }
    info.Default10 = info.AddDay;
    for (const TextField& t : kTextFields) {
        // Most columns of most rows are empty: their text is not asked for at all.
        const int length = sqlite3_column_bytes(stmt.get(), column);
        const auto* bytes = length > 0 ? reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), column)) : nullptr;
        ++column;
        if (t.title) ReadTitle(bytes, length, t.escaped, info.*t.title);
        else if (t.path) ReadPath(bytes, length, t.escaped, pool, info.*t.path);
        else if (pool && t.shared) t.Set(info, pool->Text(bytes, length, t.escaped));
        else t.Set(info, bytes ? TrackText(StoredText(bytes, length, t.escaped)) : TrackText());
    }
    info.ReleaseTimeText = info.ReleaseTime;
    return state;
}
