#pragma once
#include <QString>

// How a track finds its lyrics in the lyrics table. The storage layer supplies the one
// implementation at start-up; until then tracks find no stored lyrics.
class ILyricsLookup {
public:
    // True when a row for `gid` exists; its text is then in `lyrics`.
    virtual bool FindLyrics(const QString& gid, QString& lyrics) = 0;

protected:
    virtual ~ILyricsLookup() = default;
};

void SetLyricsLookup(ILyricsLookup* lookup);
ILyricsLookup* GetLyricsLookup();
