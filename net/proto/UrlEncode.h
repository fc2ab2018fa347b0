#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>

// Percent-encoding of request bodies: every byte but an ASCII letter or digit becomes "%XX"
// with upper-case hex digits; a blank never becomes "+".

// Sizes its output for the worst case (three bytes per input byte).
QByteArray UrlEncode(const QByteArray& text);
// Counts the bytes to escape first and sizes its output exactly; same output as UrlEncode.
QByteArray UrlEncodeCounted(const QByteArray& text);

// The inverse, for the peer side: "%XX" becomes the byte and "+" a blank; a "%" not followed
// by two hex digits stays as it is.
QByteArray UrlDecode(const QByteArray& text);

// A form body or a query string split at "&" and "=", names and values decoded, in order.
using FormFields = QList<QPair<QByteArray, QByteArray>>;
FormFields ParseForm(const QByteArray& body);
// The first field of that name, or an empty array.
QByteArray FormValue(const FormFields& fields, const QByteArray& name);
