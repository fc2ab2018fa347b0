#pragma once
#include <QByteArray>
#include <QString>

// File names as the system holds them are bytes, nearly always UTF-8. A name that is not UTF-8
// (a GBK name from a Windows disk or archive) is read as GB18030 text, so that it shows and plays
// like any other; turning such a text back into bytes finds, part by part, the form that names
// an existing entry.

// The text of a file name or path read from the system.
QString FileNameText(const QByteArray& bytes);
// The bytes to hand the system for `path`: UTF-8, except for the parts whose UTF-8 form does
// not exist and whose code-page form does.
QByteArray FileNameBytes(const QString& path);
// Whether `path` names a regular file (links followed).
bool IsRegularFile(const QString& path);
