#pragma once
#include <QString>

#include <functional>

// Shared helpers of the test binaries.
namespace testutil {

// The source tree (for resources/), from the environment CTest sets, else the build's own idea.
QString SourceDir();

// Runs the event loop until `done` is true or `timeoutMs` passes; true when it became true.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Whole file contents, or an empty array when it cannot be read.
QByteArray ReadFile(const QString& path);
bool WriteFile(const QString& path, const QByteArray& bytes);

} // namespace testutil
