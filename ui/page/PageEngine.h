#pragma once
#include <QString>

// The page engine must be prepared before the application object exists: the bridge's
// "ordelbridge" scheme registered and the OpenGL contexts shared. The player's main and the
// page tests' main call InitPageEngine first; a process that never does (the other test
// binaries) gets plain placeholders instead of page views and never starts the engine.
void InitPageEngine();
bool PageEngineReady();

// The page shipped for a service that cannot be reached ("resources/pages/offline.html").
void SetOfflinePagePath(const QString& path);
QString OfflinePagePath();
