#include "store/LibraryRows.h"

#include "store/CSqliteDb.h"
#include "store/TrackRow.h"

#include "model/TrackInfo.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

namespace {

// Below this many rowids the rows are read by one connection, sorted by SQLite.
constexpr sqlite3_int64 kSplitFrom = 8000;
constexpr unsigned kMostParts = 4;

// A row's AddTime as SQLite orders it: NULL, then numbers by value, then texts by their bytes,
// then blobs by their bytes.
struct AddTimeKey {
    enum Kind : unsigned char { kNull, kNumber, kText, kBlob };
    Kind kind = kNull;
    double number = 0;
    unsigned offset = 0; // of the bytes in the part's arena
    unsigned length = 0;
};

// The rows of one rowid range, in rowid order, with each one's AddTime.
struct Part {
    sqlite3_int64 first = 0;
    sqlite3_int64 last = 0;
    std::vector<TrackRef> tracks;
    std::vector<AddTimeKey> keys;
    std::string arena;
    bool ok = false;
};

AddTimeKey KeyOf(sqlite3_stmt* stmt, std::string& arena)
{
    AddTimeKey key;
    switch (sqlite3_column_type(stmt, 1)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        key.kind = AddTimeKey::kNumber;
        key.number = sqlite3_column_double(stmt, 1);
        return key;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        key.kind = sqlite3_column_type(stmt, 1) == SQLITE_TEXT ? AddTimeKey::kText : AddTimeKey::kBlob;
        const void* bytes = key.kind == AddTimeKey::kText ? static_cast<const void*>(sqlite3_column_text(stmt, 1))
                                                          : sqlite3_column_blob(stmt, 1);
        key.length = unsigned(sqlite3_column_bytes(stmt, 1));
        key.offset = unsigned(arena.size());
        if (bytes && key.length > 0) arena.append(static_cast<const char*>(bytes), key.length);
        else key.length = 0;
        return key;
    }
    default:
        return key;
    }
}

// Reads one range on a connection of its own (one thread uses it, so SQLite's own locking of
// the connection is left out).
void ReadPart(const QByteArray& path, Part& part)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.constData(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteConnection conn(raw);
    if (rc != SQLITE_OK) return;
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(raw, kSelectAllMusicRange, -1, &prepared, nullptr) != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return;
    }
    SqliteStatement stmt(prepared);
    sqlite3_bind_int64(prepared, 1, part.first);
    sqlite3_bind_int64(prepared, 2, part.last);
    CTrackTextPool pool;
    int step;
    while ((step = stmt.Step()) == kSqliteRow) {
        TrackRef track = TrackFromRow(stmt, &pool);
        if (!track) continue;
        part.keys.push_back(KeyOf(prepared, part.arena));
        part.tracks.push_back(std::move(track));
    }
    part.ok = step == kSqliteDone;
}

// SQLite's order of two AddTime values: negative, 0 or positive.
int Compare(const AddTimeKey& a, const char* aBytes, const AddTimeKey& b, const char* bBytes)
{
    if (a.kind != b.kind) return int(a.kind) - int(b.kind);
    switch (a.kind) {
    case AddTimeKey::kNull: return 0;
    case AddTimeKey::kNumber: return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    default: {
        const int c = std::memcmp(aBytes, bBytes, std::min(a.length, b.length));
        return c != 0 ? c : int(a.length) - int(b.length);
    }
    }
}

// The rows read by `db` alone, ordered by SQLite.
bool ReadOrdered(CSqliteDb& db, std::vector<TrackRef>& out)
{
    SqliteStatement stmt;
    if (db.Prepare(kSelectAllMusic, stmt) != kSqliteOk) return false;
    CTrackTextPool pool;
    while (stmt.Step() == kSqliteRow)
        if (TrackRef track = TrackFromRow(stmt, &pool)) out.push_back(std::move(track));
    return true;
}

} // namespace

TrackRef TrackFromRow(const SqliteStatement& stmt, CTrackTextPool* pool)
{
    auto* info = new TrackInfo;
    const unsigned state = ReadTrackRow(stmt, *info, pool);
    TrackRef track = TrackRef::Adopt(CreateMedia(0));
    if (!track) {
        delete info;
        return track;
    }
    track->AttachInfo(info, nullptr);
    track->RemoveState(~0u);
    track->AddState(state);
    return track;
}

bool ReadLibraryRows(CSqliteDb& db, std::vector<TrackRef>& out)
{
    out.clear();
    sqlite3_int64 low = 0;
    sqlite3_int64 high = -1;
    {
        SqliteStatement stmt;
        if (db.Prepare("SELECT min(rowid), max(rowid) FROM AllMusic", stmt) == kSqliteOk && stmt.Step() == kSqliteRow &&
            sqlite3_column_type(stmt.get(), 0) == SQLITE_INTEGER) {
            low = sqlite3_column_int64(stmt.get(), 0);
            high = sqlite3_column_int64(stmt.get(), 1);
        }
    }
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMostParts);
    if (high < low || high - low < kSplitFrom || cores < 2) return ReadOrdered(db, out);

    // Each part its own rowid range; together they cover the table.
    std::vector<Part> parts(cores);
    const sqlite3_int64 span = (high - low) / sqlite3_int64(cores) + 1;
    for (unsigned i = 0; i < cores; ++i) {
        parts[i].first = low + sqlite3_int64(i) * span;
        parts[i].last = i + 1 == cores ? high : parts[i].first + span - 1;
    }
    const QByteArray path = QFile::encodeName(db.Path());
    {
        std::vector<std::thread> workers;
        for (unsigned i = 1; i < cores; ++i) workers.emplace_back(ReadPart, std::cref(path), std::ref(parts[i]));
        ReadPart(path, parts[0]);
        for (std::thread& w : workers) w.join();
    }
    // A part that could not be read whole (a file busy or damaged) leaves it all to SQLite's own
    // order and the reading it always had.
    if (!std::all_of(parts.begin(), parts.end(), [](const Part& p) { return p.ok; })) return ReadOrdered(db, out);

    // Rowid order, then a stable sort newest first: rows of the same AddTime keep their rowid
    // order, as SQLite's sort keeps them.
    struct Entry {
        unsigned part;
        unsigned row;
    };
    std::vector<Entry> order;
    size_t total = 0;
    for (const Part& p : parts) total += p.tracks.size();
    order.reserve(total);
    for (unsigned p = 0; p < parts.size(); ++p)
        for (unsigned r = 0; r < parts[p].tracks.size(); ++r) order.push_back({p, r});
    std::stable_sort(order.begin(), order.end(), [&parts](const Entry& a, const Entry& b) {
        const Part& pa = parts[a.part];
        const Part& pb = parts[b.part];
        const AddTimeKey& ka = pa.keys[a.row];
        const AddTimeKey& kb = pb.keys[b.row];
        return Compare(ka, pa.arena.data() + ka.offset, kb, pb.arena.data() + kb.offset) > 0;
    });
    out.reserve(total);
    for (const Entry& e : order) out.push_back(std::move(parts[e.part].tracks[e.row]));
    return true;
}
