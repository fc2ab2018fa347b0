#pragma once
#include <QString>

// The ".mp3" association on the desktop: the player's desktop entry "ordel.desktop" in the
// user's applications folder, and the "audio/mpeg" default of "mimeapps.list" in the user's
// configuration folder. As with any file type the user already has a program for, nothing is
// registered unless a default exists; one that already names the player is left alone.
struct AssociationPaths {
    QString mimeApps;     // .../mimeapps.list
    QString desktopFile;  // .../applications/ordel.desktop
};
// $XDG_CONFIG_HOME/mimeapps.list and $XDG_DATA_HOME/applications/ordel.desktop.
AssociationPaths DefaultAssociationPaths();

extern const char* const kDesktopFileName; // "ordel.desktop"

// 1 when the association was written, 0 when nothing was to be done (no default for
// "audio/mpeg", or it names the player already), -1 when a file could not be written.
int RegisterMp3Association(const QString& executable, const AssociationPaths& paths = DefaultAssociationPaths());
