#pragma once
#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `bytes` as a whole: they go to path + ".tmp", are flushed to
// the disk and renamed over the file, so a crash or kill at any moment leaves either the old
// file or the new one, never a part. False (and the old file untouched) on any failure.
bool WriteFileWhole(const QString& path, const QByteArray& bytes);
