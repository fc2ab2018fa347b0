#pragma once
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include <QString>

#include <functional>

namespace librarytest {

// A track with a record; `edit` fills the record's fields.
inline TrackRef MakeTrack(const QString& gid, const std::function<void(TrackInfo&)>& edit = {})
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = gid;
    info->LSrc = QStringLiteral("/music/") + gid + QStringLiteral(".mp3");
    if (edit) edit(*info);
    t->AttachInfo(info, nullptr);
    return t;
}

} // namespace librarytest
