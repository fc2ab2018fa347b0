#pragma once
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

class CMainDlg;
class CMprisPlayerAdaptor;

// The player as the desktop's media controls see it: the MPRIS2 service
// "org.mpris.MediaPlayer2.ordel" on the session bus. Every command that arrives goes through
// the controller's own calls (the window's commands where the window has one), so it plays,
// records and shows exactly as a click would. The state is read back from the controller a few
// times a second; whatever changed is announced with PropertiesChanged, a jump of the position
// with Seeked, and a new track with TrackChanged (the notification listens to it).
class CMprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.ordel";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr int kRefreshMs = 200;

    explicit CMprisService(CMainDlg& controller, QObject* parent = nullptr);
    ~CMprisService() override;

    // Exports the object and takes the name on `bus`; false when there is no bus or the name is
    // someone else's (the player runs on without media controls then). The state is followed
    // either way.
    bool Register(QDBusConnection bus);
    bool IsRegistered() const { return m_bRegistered; }

    // The Player interface's readable state, as MPRIS spells it.
    QString PlaybackStatus() const;
    QString LoopStatus() const;
    bool Shuffle() const;
    double Volume() const;
    qint64 PositionUs() const;
    QVariantMap Metadata() const;
    // The object path of the current track's id ("/org/ordel/track/<gid>"); "/org/mpris/MediaPlayer2/TrackList/NoTrack"
    // when nothing is current.
    QString TrackId() const;

    // The commands.
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void SeekBy(qint64 offsetUs);
    void SetPosition(const QString& trackId, qint64 positionUs);
    void OpenUri(const QString& uri);
    void SetLoopStatus(const QString& status);
    void SetShuffle(bool on);
    void SetVolume(double volume);
    void Raise();
    void Quit();

    // Reads the state now and announces what changed (the timer does it on its own).
    void Refresh();

signals:
    // Another track became the current one (not sent for the same track started again).
    void TrackChanged();

private:
    void EmitChanged(const char* interfaceName, const QVariantMap& changed);
    void EmitSeeked(qint64 positionUs);
    // Under the library's lock.
    QVariantMap MetadataLocked() const;
    QString ArtUrl() const;
    QString LyricsText() const;

    CMainDlg& m_ctl;
    QDBusConnection m_bus;
    bool m_bRegistered = false;
    QTimer m_timer;
    CMprisPlayerAdaptor* m_pPlayer = nullptr;

    // What was last announced.
    QString m_lastStatus;
    QString m_lastLoop;
    bool m_bLastShuffle = false;
    double m_lastVolume = -1;
    QVariantMap m_lastMetadata;
    QString m_lastGid;
    qint64 m_lastPositionMs = 0;
    QElapsedTimer m_positionClock;
};
