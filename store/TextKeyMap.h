#pragma once
#include "model/TrackGid.h"

#include <QString>

#include <unordered_map>

// The hash of a text key. The Gid and service-key indexes keep each key's hash beside it, so a
// lookup compares hashes before texts and never hashes the keys it passes again: libstdc++
// keeps them for a hasher that is not declared noexcept, which is why this one is not. The
// standard library's hash of the characters: Qt's own hashes these keys several times slower,
// and a large library hashes every Gid several times at each start.
struct TextKeyHash {
    size_t operator()(const QString& key) const { return TrackGidHash()(QStringView(key)); }
};
// An index by text key that is only looked up, never walked in key order.
template <class T>
using TextKeyMap = std::unordered_map<QString, T, TextKeyHash>;
