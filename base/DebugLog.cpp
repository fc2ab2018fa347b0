#include "base/DebugLog.h"

#include "base/PrivateDir.h"

#include <QFile>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

namespace {

// One line at a time from all threads, so that lines never interleave.
std::mutex& LogMutex()
{
    static std::mutex m;
    return m;
}

QByteArray TimePrefix()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d  ", local.tm_hour, local.tm_min, local.tm_sec);
    return QByteArray(buf);
}

void AppendLine(const char* fileName, const QByteArray& message)
{
    const QString dir = PrivateDir();
    if (dir.isEmpty()) return;
    const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + QLatin1String(fileName));
    const QByteArray line = TimePrefix() + message + '\n';
    std::lock_guard lock(LogMutex());
    FILE* f = std::fopen(path.constData(), "a+");
    if (!f) return;
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), f);
    std::fclose(f);
}

} // namespace

void WriteDebugLogA(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        va_end(args);
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    va_end(args);
    AppendLine("quarvelA.log", QByteArray(buf.data(), n));
}

void WriteDebugLogW(const QString& message)
{
    AppendLine("quarvelW.log", message.toUtf8());
}
