#include "playback/ShuffleHistory.h"

#include <algorithm>

bool CShuffleHistory::Holds(int index) const
{
    return std::find(m_indices.begin(), m_indices.end(), index) != m_indices.end();
}

int CShuffleHistory::Choose(int n, const Random& random)
{
    if (n <= 0) return -1;
    if (static_cast<int>(m_indices.size()) >= n) m_indices.clear();
    // A bounded number of draws: with a full history and bad luck the last draw is taken anyway.
    const int draws = 5 * static_cast<int>(m_indices.size()) + 1;
    int index = 0;
    for (int i = 0; i < draws; ++i) {
        index = static_cast<int>(random() % static_cast<unsigned>(n));
        if (!Holds(index)) break;
    }
    if (static_cast<int>(m_indices.size()) > kSize - 1) m_indices.erase(m_indices.begin());
    m_indices.push_back(index);
    return index;
}
