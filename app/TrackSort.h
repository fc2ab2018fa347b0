#pragma once
#include "store/IQvNode.h"

// The list view's sort columns: 1 Song, 2 Artist, 3 Album (texts in the locale's order),
// 4 TotleTime, 5 the service-track bit (0 or 1); any other column leaves the order as it is.
enum TrackSortColumn { kSortNone = 0, kSortSong = 1, kSortArtist = 2, kSortAlbum = 3, kSortTime = 4, kSortService = 5 };

// Sorts `tracks` in place, stable (equal tracks keep their order); descending puts the greater
// first.
void SortTracks(MemberList& tracks, int column, bool descending);

class CQvMediaStore;
// The most recently played first, by the play statistics' last play (to the minute); tracks
// played in the same minute, or never, keep the newer member first. Called under the library
// lock.
void SortByLastPlay(MemberList& tracks, const CQvMediaStore& store);
