#pragma once
#include <functional>
#include <vector>

// The random play mode's memory of its last choices, so that a short list does not repeat a
// track it has just played while others are waiting.
class CShuffleHistory {
public:
    static constexpr int kSize = 5;
    // A source of random numbers; the index is its value modulo the list size.
    using Random = std::function<unsigned()>;

    // An index in [0, n) that is not among the recent ones when a few draws find one; -1 when
    // n <= 0. A history holding n or more indices is forgotten first, so every index comes
    // round again once the list has been played through.
    int Choose(int n, const Random& random);

    const std::vector<int>& Indices() const { return m_indices; }
    void Clear() { m_indices.clear(); }

private:
    bool Holds(int index) const;

    std::vector<int> m_indices; // oldest first
};
