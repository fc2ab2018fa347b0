#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>

class CMainDlg;

// The desktop notification of a new track (org.freedesktop.Notifications): title, artist and
// cover, shown only while the main window is not the active one (a user looking at the window
// sees the track already) and only while the "trackntf" setting is on. Each notice replaces the
// previous one, so skipping through a list leaves one bubble.
class CTrackNotifier : public QObject {
    Q_OBJECT
public:
    CTrackNotifier(CMainDlg& controller, QDBusConnection bus, QObject* parent = nullptr);

    // The current track just changed: notify when the window and the setting allow.
    void OnTrackChanged();
    // Sends the notice for the current track whatever the window; false when there is no track
    // or no bus.
    bool NotifyCurrentTrack();

private:
    CMainDlg& m_ctl;
    QDBusConnection m_bus;
    uint m_lastId = 0; // the server's id of the last notice, replaced by the next
};
