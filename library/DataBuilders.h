#pragma once
#include "library/IQvDataBuilder.h"

#include "store/TextKeyMap.h"

#include "model/TrackUtil.h"

#include <QDate>
#include <QString>

#include <optional>

class CQvMediaStore;
struct PlayStatistic;
struct TrackInfo;

// Plain lists: user playlists, categories and the local music view (Type 21). A list takes a
// track once, and one track per service song. The local music view takes only tracks with a
// local file, yet answers 1 for any track it did not already have.
class CNormalDataBuilder final : public IQvDataBuilder {
public:
    int Accept(CQvMusic* track, MemberList& members, MemberIndex& index, int force) override;
    void Notify(int, int, int) override {}
    void Forget(CQvMusic* track, MemberList& members, MemberIndex& index) override;
    CQvMusic* GetItem(int, MemberList&) override { return nullptr; }
    void SetNode(IQvNode* node) override { m_pNode = node; }

private:
    IQvNode* m_pNode = nullptr;
    TextKeyMap<CQvMusic*> m_keys;
};

// The age in day units that "recentplay" judges a played track by: from its last play when its
// rank is above 0, else from its download day. Months count 30.5 days and years 365, as the day
// number does; the difference is truncated toward zero.
int PlayAge(const PlayStatistic& statistic, int downloadDay, const QDate& today);

// The smart lists' rules by Condition ("recentplay", "hotplay", "recentdownload", "favorite",
// "urllist"); `age` is PlayAge when the track has a statistic. Any other condition takes
// nothing and drops nothing; "hotplay" and "urllist" never drop a member.
bool SmartListTakes(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today);
bool SmartListDrops(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today);

// Smart lists (Type 4): the rule is chosen by the node's Condition and asked each time a track
// is offered, so members come and go as they are played, marked and downloaded. The play
// statistics come from `store` (none without one).
class CLocalDataBuilder final : public IQvDataBuilder {
public:
    explicit CLocalDataBuilder(const CQvMediaStore* store = nullptr) : m_pStore(store) {}
    int Accept(CQvMusic* track, MemberList& members, MemberIndex& index, int force) override;
    void Notify(int, int, int) override {}
    void Forget(CQvMusic* track, MemberList& members, MemberIndex& index) override;
    CQvMusic* GetItem(int, MemberList&) override { return nullptr; }
    void SetNode(IQvNode* node) override { m_pNode = node; }

private:
    IQvNode* m_pNode = nullptr;
    const CQvMediaStore* m_pStore;
    TextKeyMap<CQvMusic*> m_keys;
    CToday m_today;
};

// Service lists (Type 3): filled by the window layer from the service, never by offers.
class CNetDataBuilder final : public IQvDataBuilder {
public:
    int Accept(CQvMusic*, MemberList&, MemberIndex&, int) override { return 0; }
    void Notify(int, int, int) override {}
    void Forget(CQvMusic*, MemberList&, MemberIndex&) override {}
    CQvMusic* GetItem(int, MemberList&) override { return nullptr; }
    void SetNode(IQvNode*) override {}
};
