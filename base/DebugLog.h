#pragma once
#include <QString>

// The two debug logs, "quarvelA.log" (narrow text) and "quarvelW.log" (wide text, written as
// UTF-8), in the per-user private folder. Each call appends one line "hh:mm:ss  message" and
// closes the file again; when the folder cannot be written nothing happens.
void WriteDebugLogA(const char* format, ...) __attribute__((format(printf, 1, 2)));
void WriteDebugLogW(const QString& message);
