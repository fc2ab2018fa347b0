#pragma once
#include "library/IQvDataBuilder.h"

#include <QDate>
#include <QString>

#include <functional>
#include <map>
#include <optional>

struct TrackInfo;

// The key by which one service song is known under several Gids: Sysid, else CmsID; empty for a
// track the service does not know.
QString ServiceKey(const TrackInfo& info);

// Plain lists: user playlists, categories and the local music view (Type 21). A list takes a
// track once, and one track per service song. The local music view takes only tracks with a
// local file, yet answers 1 for any track it did not already have.
class CNormalDataBuilder final : public IQvDataBuilder {
public:
    int Accept(CQvMusic* track, TrackList& members, TrackIndex& index, int force) override;
    void Notify(int, int, int) override {}
    void Forget(CQvMusic* track, TrackList& members, TrackIndex& index) override;
    CQvMusic* GetItem(int, TrackList&) override { return nullptr; }
    void SetNode(IQvNode* node) override { m_pNode = node; }

private:
    IQvNode* m_pNode = nullptr;
    std::map<QString, CQvMusic*> m_keys;
};

// A track's last play as the statistics keep it.
struct PlayFacts {
    int rank = 0;
    QDate lastPlay;
};
// Looks up the play statistic of a Gid; nothing when the track was never played.
using PlayFactsLookup = std::function<std::optional<PlayFacts>(const QString& gid)>;

// The age in day units that "recentplay" judges a played track by: from its last play when its
// rank is above 0, else from its download day. Months count 30.5 days and years 365, as the day
// number does; the difference is truncated toward zero.
int PlayAge(const PlayFacts& facts, int downloadDay, const QDate& today);

// The smart lists' rules by Condition ("recentplay", "hotplay", "recentdownload", "favorite",
// "urllist"); `age` is PlayAge when the track has a statistic. Any other condition takes
// nothing and drops nothing; "hotplay" and "urllist" never drop a member.
bool SmartListTakes(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today);
bool SmartListDrops(const QString& condition, const TrackInfo& info, std::optional<int> age, const QDate& today);

// Smart lists (Type 4): the rule is chosen by the node's Condition and asked each time a track
// is offered, so members come and go as they are played, marked and downloaded.
class CLocalDataBuilder final : public IQvDataBuilder {
public:
    explicit CLocalDataBuilder(PlayFactsLookup statistics = {}) : m_statistics(std::move(statistics)) {}
    int Accept(CQvMusic* track, TrackList& members, TrackIndex& index, int force) override;
    void Notify(int, int, int) override {}
    void Forget(CQvMusic* track, TrackList& members, TrackIndex& index) override;
    CQvMusic* GetItem(int, TrackList&) override { return nullptr; }
    void SetNode(IQvNode* node) override { m_pNode = node; }

private:
    IQvNode* m_pNode = nullptr;
    PlayFactsLookup m_statistics;
    std::map<QString, CQvMusic*> m_keys;
};

// Service lists (Type 3): filled by the window layer from the service, never by offers.
class CNetDataBuilder final : public IQvDataBuilder {
public:
    int Accept(CQvMusic*, TrackList&, TrackIndex&, int) override { return 0; }
    void Notify(int, int, int) override {}
    void Forget(CQvMusic*, TrackList&, TrackIndex&) override {}
    CQvMusic* GetItem(int, TrackList&) override { return nullptr; }
    void SetNode(IQvNode*) override {}
};
