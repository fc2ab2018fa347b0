#include "base/CodePage.h"

#include "base/IconvHandle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char* kCodePage = "GB18030";

// iconv descriptors keep shift state, so each thread has its own pair.
IconvHandle& Encoder()
{
    thread_local IconvHandle cd(kCodePage, "UTF-16LE");
    return cd;
}

IconvHandle& Decoder()
{
    thread_local IconvHandle cd("UTF-16LE", kCodePage);
    return cd;
}

} // namespace

QByteArray ToAnsi(const QString& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) return text.toLatin1();

    IconvHandle& cd = Encoder();
    if (!cd.valid()) return text.toUtf8();
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);

    // GB18030 needs at most four bytes per UTF-16 unit.
    QByteArray out(text.size() * 4 + 4, Qt::Uninitialized);
    // The characters as they are held: a text over borrowed characters is read without a copy.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.constData()));
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    char* dst = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == EILSEQ || errno == EINVAL) {
            // A lone surrogate has no code-page form; it becomes "?" as the platform's
            // converter would write it.
            in += 2;
            inLeft = inLeft >= 2 ? inLeft - 2 : 0;
            if (outLeft == 0) break;
            *dst++ = '?';
            --outLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        } else {
            break;
        }
    }
    out.truncate(dst - out.data());
    return out;
}

bool IsAscii(const char* bytes, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    return true;
}

QString FromAnsi(const char* bytes, qsizetype length, bool* valid)
{
    if (valid) *valid = true;
    if (!bytes || length <= 0) return QString();
    if (IsAscii(bytes, length)) return QString::fromLatin1(bytes, length);

    IconvHandle& cd = Decoder();
    if (!cd.valid()) return QString::fromUtf8(bytes, length);
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);

    // Each byte yields at most one UTF-16 unit, a four-byte sequence at most two.
    QString out(length + 2, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = static_cast<size_t>(length);
    char* dst = reinterpret_cast<char*>(out.data());
    const char* const dstBegin = dst;
    size_t outLeft = static_cast<size_t>(out.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
        if ((errno == EILSEQ || errno == EINVAL) && outLeft >= 2) {
            // Skip the offending byte and mark it, then go on with the rest.
            if (valid) *valid = false;
            ++in;
            --inLeft;
            const char16_t replacement = u'\uFFFD';
            memcpy(dst, &replacement, 2);
            dst += 2;
            outLeft -= 2;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        } else {
            break;
        }
    }
    out.truncate(static_cast<qsizetype>((dst - dstBegin) / 2));
    return out;
}
