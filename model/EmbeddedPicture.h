#pragma once
#include <QByteArray>
#include <QString>

// The picture a music file carries in its tags: the front cover when there is one, else the
// first picture; empty when the file has none, cannot be read, or the picture is larger than
// `maxBytes`. Reads the file: never on the interface thread.
QByteArray ReadEmbeddedPicture(const QString& audioPath, qint64 maxBytes = qint64(16) << 20);
