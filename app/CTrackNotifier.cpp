#include "app/CTrackNotifier.h"

#include "app/CMainDlg.h"
#include "app/CQuarvelDlg.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "net/Cover.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

#include <mutex>

namespace {
constexpr int kExpireMs = 5000;
}

CTrackNotifier::CTrackNotifier(CMainDlg& controller, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_ctl(controller), m_bus(std::move(bus))
{
}

void CTrackNotifier::OnTrackChanged()
{
    if (!m_ctl.Conf().Settings().trackntf) return;
    const CQuarvelDlg* window = m_ctl.MainWindow();
    if (window && window->isVisible() && window->isActiveWindow()) return;
    NotifyCurrentTrack();
}

bool CTrackNotifier::NotifyCurrentTrack()
{
    CQvMusic* track = m_ctl.CurrentTrack();
    if (!track || !track->GetInfo() || !m_bus.isConnected()) return false;
    QString title, artist, cover;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        const TrackInfo& info = *track->GetInfo();
        title = info.Song;
        artist = info.Artist;
        if (title.isEmpty()) title = QFileInfo(info.LSrc.isEmpty() ? info.NSrc.str() : info.LSrc.Text()).completeBaseName();
        cover = ExistingCoverFile(info);
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ordel"));
    hints.insert(QStringLiteral("category"), QStringLiteral("x-ordel.track"));
    if (!cover.isEmpty()) hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(QFileInfo(cover).absoluteFilePath()).toString());

    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Ordel") << m_lastId << (cover.isEmpty() ? QStringLiteral("ordel") : cover) << title
         << artist.toHtmlEscaped() << QStringList() << hints << kExpireMs;
    // Asynchronous: a desktop without a notification server must not hold up the player.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid()) m_lastId = reply.value();
        w->deleteLater();
    });
    return true;
}
