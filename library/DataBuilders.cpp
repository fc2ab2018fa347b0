#include "library/DataBuilders.h"

#include "store/CQvMediaStore.h"

#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <algorithm>
#include <cmath>

namespace {

void AddMember(CQvMusic* track, const QString& key, TextKeyMap<CQvMusic*>& keys, MemberList& members,
               MemberIndex& index)
{
    if (!key.isEmpty()) keys[key] = track;
    members.push_back(track);
    index.Put(track);
}

void EraseMember(CQvMusic* track, MemberList& members, MemberIndex& index)
{
    index.Erase(track->GetInfo()->Gid);
    const auto it = std::find(members.begin(), members.end(), track);
    if (it != members.end()) members.erase(it);
}

void ForgetKey(CQvMusic* track, TextKeyMap<CQvMusic*>& keys)
{
    const QString key = ServiceKey(track);
    if (!key.isEmpty()) keys.erase(key);
}

} // namespace

// ---- plain lists ------------------------------------------------------------------------

int CNormalDataBuilder::Accept(CQvMusic* track, MemberList& members, MemberIndex& index, int)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return 0;
    const QString key = ServiceKey(track);
    if (!key.isEmpty() && m_keys.count(key)) return 0;
    if (m_pNode && m_pNode->GetType() == 21 && info->LSrc.isEmpty()) return index.Contains(info->Gid) ? 0 : 1;
    // The Gid is hashed once: the library list takes every track of a large library at each start.
    if (!index.Insert(track)) return 0;
    if (!key.isEmpty()) m_keys.emplace(key, track);
    members.push_back(track);
    return 1;
}

void CNormalDataBuilder::Forget(CQvMusic* track, MemberList&, MemberIndex&)
{
    if (track && track->GetInfo()) ForgetKey(track, m_keys);
}

// ---- smart lists ------------------------------------------------------------------------

int PlayAge(const PlayStatistic& s, int downloadDay, const QDate& today)
{
    if (s.Rank > 0) {
        const double age = (today.year() - s.Year) * 365.0 + (today.month() - s.Month) * 30.5 + (today.day() - s.Day);
        return static_cast<int>(std::trunc(age));
    }
    return DayNumber(today) - downloadDay;
}

bool SmartListTakes(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today)
{
    if (condition == QLatin1String("recentplay")) return age && *age < 15;
    if (condition == QLatin1String("hotplay")) return info.PlayCount > 9;
    if (condition == QLatin1String("recentdownload")) return info.AddDay > 0 && DayNumber(today) - info.AddDay < 15;
    if (condition == QLatin1String("favorite")) return info.Default1 != 0;
    if (condition == QLatin1String("urllist")) return !info.NSrc.isEmpty();
    return false;
}

bool SmartListDrops(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today)
{
    if (condition == QLatin1String("recentplay")) return age && *age > 14;
    if (condition == QLatin1String("recentdownload")) return info.AddDay > 0 && DayNumber(today) - info.AddDay > 14;
    if (condition == QLatin1String("favorite")) return info.Default1 == 0;
    return false;
}

int CLocalDataBuilder::Accept(CQvMusic* track, MemberList& members, MemberIndex& index, int)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info || !m_pNode) return 0;
    const QString condition = m_pNode->GetCondition();
    // Only the recent lists ask for the day, and only the recently played one for the plays: an
    // import offers every track to each list.
    const bool byPlay = condition == QLatin1String("recentplay");
    const QDate today = byPlay || condition == QLatin1String("recentdownload") ? m_today.Get() : QDate();
    std::optional<int> age;
    PlayStatistic statistic;
    if (byPlay && m_pStore && m_pStore->GetStatistic(info->Gid, statistic) == 1)
        age = PlayAge(statistic, info->AddDay, today);

    const QString key = ServiceKey(track);
    const bool member = index.Contains(info->Gid);
    const bool songPresent = !key.isEmpty() && m_keys.count(key) != 0;
    const bool streamOfService = !info->NSrc.isEmpty() && !info->Rare().CmsID.isEmpty();
    if (!member && (!songPresent || streamOfService)) {
        if (!SmartListTakes(condition, *info, age, today)) return 0;
        AddMember(track, key, m_keys, members, index);
        return 1;
    }
    if (SmartListDrops(condition, *info, age, today)) {
        EraseMember(track, members, index);
        // The song is gone from the list, so it may come back when it qualifies again; an entry
        // left behind would keep it out for the rest of the session.
        if (!key.isEmpty()) {
            const auto it = m_keys.find(key);
            if (it != m_keys.end() && it->second == track) m_keys.erase(it);
        }
    }
    return 0;
}

void CLocalDataBuilder::Forget(CQvMusic* track, MemberList&, MemberIndex&)
{
    if (track && track->GetInfo()) ForgetKey(track, m_keys);
}
