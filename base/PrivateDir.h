#pragma once
#include <QString>

// The per-user private folder for the debug logs and the hand-over file:
// $XDG_RUNTIME_DIR/ordel, else a 0700 folder of this user under the temporary folder.
// Created on first use; empty when no such folder can be made safely.
QString PrivateDir();
