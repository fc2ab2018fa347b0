#pragma once
#include <QByteArrayView>
#include <QString>

// The lyric text of a service reply (the UTF-8 text of its `content` element) in the form the
// lyrics parser reads: "[[" becomes "[", and every time tag starts a line of its own, so a line
// with several tags becomes several lines, all but the last without text.
QString ServiceLyricsToLrc(QByteArrayView utf8Content);
