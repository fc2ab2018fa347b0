#pragma once

class CMediaLibrary;
class CQvMusic;

// Media task 3: the lyrics of a track from its own sources, else from the service. Text from
// the service goes into the track, into "Lyric2.db" (for a library track not marked removed)
// through `library` (may be null: then only the track keeps them) and, with `notify`, to the controller as WM_LRC_READY (wParam 1, lParam the track). When the
// service has none, WM_LRC_NOT_FOUND tells the controller to show the panel's message.
// Returns 1 with text or when the service was unreachable, 0 when the reply was unusable or
// held no lyrics.
int FetchLyrics(CQvMusic* track, bool notify, CMediaLibrary* library);
