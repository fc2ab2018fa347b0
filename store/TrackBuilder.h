#pragma once
#include "model/CQvMusic.h"

#include <QString>

class CMediaLibrary;
struct AudioTagFields;
class QObject;

// How a track built from a file or an address is added.
struct TrackBuildOptions {
    QObject* owner = nullptr;   // the controller that made it
    bool userAddition = false;  // sets the download day (files dropped or chosen, URLs, downloads)
    bool quiet = false;         // the lists are not told of a new track
    int addDay = 0;             // the download day of a user addition; 0: today, read per track
};

// The track of a local file: the one the store already holds for its Gid, else a new track with
// the file's tags (titled by the file name when the tags give none) added to the store and its
// row. Null for an empty path, a path without file, or a track the store refused. A new track
// is offered to the smart lists (when it has a download day) and then to every list.
TrackRef BuildTrackFromFile(CMediaLibrary& library, const QString& path, const TrackBuildOptions& options);

// The two halves of BuildTrackFromFile, for an importer that reads many files without the lock
// and stores them together: a new track with the file's tags, not stored, for a path the caller
// found to be a regular file and its Gid (MakeGid(path)), which the caller looked up already
// (null for an empty path); and storing a built track and telling the lists (the track the
// store already holds for its Gid, or null when refused).
TrackRef ReadTrackFromFile(const QString& path, const QString& gid, const TrackBuildOptions& options);
// ReadTrackFromFile for tags the caller read already (ReadAudioTags), null `tags` for a file that
// could not be read: the track is then titled by its file name, as ReadTrackFromFile makes it.
TrackRef TrackFromTags(const QString& path, const QString& gid, const AudioTagFields* tags,
                       const TrackBuildOptions& options);
TrackRef StoreBuiltTrack(CMediaLibrary& library, TrackRef track, const TrackBuildOptions& options);

// The texts a network address comes with (the add-address dialog, the service's pages).
struct UrlTrackFields {
    QString url;
    QString song;
    QString artist;
    QString album;
    QString cmsId;         // the page's "id"
    int star = 0;          // the page's "star", kept in Default2
    bool fromPage = false; // tracks of the service's pages carry state 0x8 and 0x4
    bool fromService = false; // tracks of the user's cloud groups carry state 0x4
};

// The track of a network address: the one the store holds for its Gid, else a new track that
// is not stored (a page's track plays without joining the library).
TrackRef MakeTrackFromUrl(CMediaLibrary& library, const UrlTrackFields& fields, const TrackBuildOptions& options);
// The track of a network address, built, stored and announced as BuildTrackFromFile does.
TrackRef BuildTrackFromUrl(CMediaLibrary& library, const UrlTrackFields& fields, const TrackBuildOptions& options);
