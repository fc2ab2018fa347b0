#include "net/proto/UrlEncode.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Plain(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Writes the encoding of `text` to `out`, which has room for it; returns the bytes written.
qsizetype EncodeInto(const QByteArray& text, char* out)
{
    char* p = out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (Plain(c)) {
            *p++ = ch;
        } else {
            *p++ = '%';
            *p++ = kHex[c >> 4];
            *p++ = kHex[c & 0xF];
        }
    }
    return p - out;
}

} // namespace

QByteArray UrlEncode(const QByteArray& text)
{
    QByteArray out(text.size() * 3 + 1, Qt::Uninitialized);
    out.resize(EncodeInto(text, out.data()));
    return out;
}

QByteArray UrlEncodeCounted(const QByteArray& text)
{
    qsizetype escaped = 0;
    for (const char ch : text)
        if (!Plain(static_cast<unsigned char>(ch))) ++escaped;
    QByteArray out(text.size() + escaped * 2, Qt::Uninitialized);
    EncodeInto(text, out.data());
    return out;
}

QByteArray UrlDecode(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

FormFields ParseForm(const QByteArray& body)
{
    FormFields fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        if (eq < 0)
            fields.append({UrlDecode(pair), QByteArray()});
        else
            fields.append({UrlDecode(pair.left(eq)), UrlDecode(pair.mid(eq + 1))});
    }
    return fields;
}

QByteArray FormValue(const FormFields& fields, const QByteArray& name)
{
    for (const auto& f : fields)
        if (f.first == name) return f.second;
    return QByteArray();
}
