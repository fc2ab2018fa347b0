#include "store/TrackBuilder.h"

#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"

#include "base/FileName.h"
#include "model/AudioTag.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QFileInfo>

namespace {

TrackRef Known(CMediaLibrary& library, const QString& gid)
{
    std::lock_guard lock(library.Mutex());
    return TrackRef(library.Store().FindTrack(gid, 0));
}

// Stores a built track and tells the lists; the track the store holds for its Gid when another
// thread stored one meanwhile, null when refused.
TrackRef Store(CMediaLibrary& library, TrackRef track, const TrackBuildOptions& options)
{
    std::lock_guard lock(library.Mutex());
    const QString gid = track->GetInfo()->Gid;
    if (CQvMusic* existing = library.Store().FindTrack(gid, 0)) return TrackRef(existing);
    if (library.AddTrack(track.get()) != 1) return TrackRef();
    if (!options.quiet) {
        if (track->GetInfo()->AddDay != 0) library.OfferToLists(track.get(), 4);
        library.OfferToLists(track.get(), -1);
    }
    return track;
}

} // namespace

TrackRef BuildTrackFromFile(CMediaLibrary& library, const QString& path, const TrackBuildOptions& options)
{
    if (path.isEmpty() || !IsRegularFile(path)) return TrackRef();
    const QString gid = MakeGid(path);
    if (TrackRef known = Known(library, gid)) return known;
    TrackRef track = ReadTrackFromFile(path, gid, options);
    return track ? Store(library, std::move(track), options) : track;
}

TrackRef StoreBuiltTrack(CMediaLibrary& library, TrackRef track, const TrackBuildOptions& options)
{
    if (!track || !track->GetInfo()) return TrackRef();
    return Store(library, std::move(track), options);
}

TrackRef ReadTrackFromFile(const QString& path, const QString& gid, const TrackBuildOptions& options)
{
    // The file was looked at by the caller; the tag reader refuses anything but a regular file.
    if (path.isEmpty()) return TrackRef();
    // Tags are read without the lock: a slow disk must not hold up the library.
    AudioTagFields fields;
    const bool read = ReadAudioTags(path, fields) != 0;
    return TrackFromTags(path, gid, read ? &fields : nullptr, options);
}

TrackRef TrackFromTags(const QString& path, const QString& gid, const AudioTagFields* tags,
                       const TrackBuildOptions& options)
{
    if (path.isEmpty()) return TrackRef();
    TrackRef track = TrackRef::Adopt(CreateMediaWithRecord());
    if (!track) return track;
    TrackInfo* info = track->GetInfo();
    info->Gid = gid;
    info->LSrc = path;
    track->AttachInfo(info, options.owner);
    // A file that could not be read keeps a new record's fields.
    if (tags) track->TakeTags(*tags);
    if (info->Song.isEmpty()) info->Song = QFileInfo(path).completeBaseName();
    track->AttachInfo(info, options.owner);
    if (options.userAddition) info->AddDay = options.addDay ? options.addDay : TodayDayNumber();
    return track;
}

TrackRef MakeTrackFromUrl(CMediaLibrary& library, const UrlTrackFields& fields, const TrackBuildOptions& options)
{
    if (fields.url.isEmpty()) return TrackRef();
    const QString gid = MakeGid(fields.url);
    if (TrackRef known = Known(library, gid)) return known;

    TrackRef track = TrackRef::Adopt(CreateMediaWithRecord());
    if (!track) return track;
    TrackInfo* info = track->GetInfo();
    info->Gid = gid;
    info->NSrc = fields.url;
    info->Song = fields.song;
    info->Artist = fields.artist;
    info->Album = fields.album;
    info->EditRare().CmsID = fields.cmsId;
    info->Default2 = fields.star;
    track->AttachInfo(info, options.owner);
    if (fields.fromPage) track->AddState(STATE_ADDED_BY_PAGE | STATE_FROM_SERVICE);
    else if (fields.fromService) track->AddState(STATE_FROM_SERVICE);
    if (options.userAddition) info->AddDay = TodayDayNumber();
    return track;
}

TrackRef BuildTrackFromUrl(CMediaLibrary& library, const UrlTrackFields& fields, const TrackBuildOptions& options)
{
    TrackRef track = MakeTrackFromUrl(library, fields, options);
    if (!track) return track;
    {
        std::lock_guard lock(library.Mutex());
        if (library.Store().FindTrack(track->GetInfo()->Gid, 0) == track.get()) return track;
    }
    return Store(library, std::move(track), options);
}
