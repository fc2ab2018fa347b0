#include "lyrics/CLyricsTable.h"

#include "base/DebugLog.h"
#include "model/CQvMusic.h"
#include "model/LyricsFile.h"
#include "model/TrackInfo.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"

#include <QFile>
#include <QSaveFile>

#include <sqlite3.h>

#include <mutex>

namespace {

const char* const kInsertLyrics = "INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)";

CSqliteDb* OpenLyricsDb(CMediaLibrary& library)
{
    CSqliteDb* db = library.Conf().LyricsDb();
    return db && db->IsOpen() ? db : nullptr;
}

// The library's record of `gid` when its lyrics may be cached: a track marked removed keeps
// none. Called under the library lock.
CQvMusic* CachingRecord(CMediaLibrary& library, const QString& gid)
{
    CQvMusic* stored = library.Store().FindTrack(gid, 0);
    return stored && !(stored->GetState() & STATE_REMOVED) ? stored : nullptr;
}

// Rewrites the track's lyrics file when the lyrics on show came from it (its text is still the
// one that was parsed): 1 written, 0 failed, -1 when the lyrics did not come from a file.
int RewriteLyricsFile(const QString& path, const QString& parsed, const QString& text)
{
    if (path.isEmpty() || path == QLatin1String("deletelrc")) return -1;
    LyricsFileEncoding encoding;
    QString current;
    if (!ReadLyricsFile(path, current, &encoding) || current != parsed) return -1;

    // Written whole through a temporary file: a crash leaves the old file, never half of one.
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(EncodeLyricsFile(text, encoding)) >= 0 && out.commit())
        return 1;
    WriteDebugLogW(QStringLiteral("lyrics file not written: %1 (%2)").arg(path, out.errorString()));
    return 0;
}

} // namespace

CLyricsTable::CLyricsTable(CMediaLibrary& library) : m_library(library) {}

bool CLyricsTable::FindLyrics(const QString& gid, QString& lyrics)
{
    std::lock_guard lock(m_library.Mutex());
    CSqliteDb* db = OpenLyricsDb(m_library);
    if (!db) return false;
    SqliteStatement stmt;
    if (db->Prepare("SELECT Lrc FROM Lyrics WHERE Gid=?", stmt) != kSqliteOk) return false;
    if (Bind(stmt, gid) != kSqliteOk || stmt.Step() != kSqliteRow) return false;
    lyrics = stmt.ColumnText(0);
    return true;
}

int CLyricsTable::StoreLyrics(const QString& gid, const QString& lyrics)
{
    std::lock_guard lock(m_library.Mutex());
    CSqliteDb* db = OpenLyricsDb(m_library);
    if (!db) return kSqliteError;
    int rc = db->Run("UPDATE Lyrics SET Lrc=? WHERE Gid=?", lyrics, gid);
    if (rc != kSqliteOk || sqlite3_changes(db->get()) > 0) return rc;
    // A track that had no row yet (lyrics from the service that were not cached).
    return db->Run(kInsertLyrics, gid, lyrics);
}

int CLyricsTable::AddLyrics(const QString& gid, const QString& lyrics)
{
    std::lock_guard lock(m_library.Mutex());
    CSqliteDb* db = OpenLyricsDb(m_library);
    return db ? db->Run(kInsertLyrics, gid, lyrics) : kSqliteError;
}

void StoreFetchedLyrics(CMediaLibrary& library, const QString& gid, const QString& text)
{
    std::lock_guard lock(library.Mutex());
    CQvMusic* stored = CachingRecord(library, gid);
    if (!stored) return;
    // A row already there (a forced fetch) is not an error: the track shows the new text.
    CLyricsTable(library).AddLyrics(gid, text);
    stored->SetHasLyrics(1);
    if (stored->GetInfo()) stored->GetInfo()->Lrc = 1;
    library.UpdateTrack(stored);
}

int StoreAdjustedLyrics(CMediaLibrary& library, CQvMusic* track, const QString& text)
{
    if (text.isEmpty() || !track || !track->GetInfo()) return 0;
    QString parsed;
    track->GetLyricsText(parsed);
    track->SetLyricsText(text);
    track->SetHasLyrics(1);

    const TrackInfo& info = *track->GetInfo();
    const int written = RewriteLyricsFile(info.Rare().LrcFile, parsed, text);
    if (written >= 0) return written;

    std::lock_guard lock(library.Mutex());
    CQvMusic* stored = CachingRecord(library, info.Gid);
    if (!stored) return 0;
    if (CLyricsTable(library).StoreLyrics(info.Gid, text) != kSqliteOk) return 0;
    if (TrackInfo* record = stored->GetInfo(); record && record->Lrc == 0) {
        record->Lrc = 1;
        library.UpdateTrack(stored);
    }
    return 1;
}
