#pragma once
#include <QString>

class CQvMusic;
struct TrackInfo;

// Cover pictures, kept as "<cover folder>/<Artist>-<Song>.bmp" with whatever bytes the
// service delivers.

// A part of a cover file name made safe: "/", NUL and leading dots become "_", so no artist
// or title can lead outside the cover folder.
QString SafeCoverNamePart(const QString& text);
// The cover file of a track.
QString CoverFilePath(const TrackInfo& info);
// The picture to show when a track starts: its PicFile when that file exists, else the cover
// file when it exists; empty when there is none yet (start media task 4 then).
QString ExistingCoverFile(const TrackInfo& info);

// Media task 4: asks the service for the track's picture address and downloads it into the
// cover file. An existing cover file ends it at once unless the track's state has 0x40.
// Sets the track's Pic to 1 on a saved picture, 0 on a failed download. Returns 1 when a
// picture file is there afterwards, 0 otherwise (also while shutting down).
int FetchCoverPicture(CQvMusic* track, int pictureType);
