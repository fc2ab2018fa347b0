#include "app/CMprisAdaptors.h"

#include "app/CMprisService.h"

CMprisRootAdaptor::CMprisRootAdaptor(CMprisService* service) : QDBusAbstractAdaptor(service), m_service(service) {}

QString CMprisRootAdaptor::Identity() const { return QStringLiteral("Ordel"); }
QString CMprisRootAdaptor::DesktopEntry() const { return QStringLiteral("ordel"); }
QStringList CMprisRootAdaptor::SupportedUriSchemes() const
{
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mms")};
}
QStringList CMprisRootAdaptor::SupportedMimeTypes() const
{
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-ms-wma")};
}
void CMprisRootAdaptor::Raise() { m_service->Raise(); }
void CMprisRootAdaptor::Quit() { m_service->Quit(); }

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisService* service) : QDBusAbstractAdaptor(service), m_service(service)
{
    // Properties are announced by the service itself (PropertiesChanged), not per property.
    setAutoRelaySignals(false);
}

QString CMprisPlayerAdaptor::PlaybackStatus() const { return m_service->PlaybackStatus(); }
QString CMprisPlayerAdaptor::LoopStatus() const { return m_service->LoopStatus(); }
void CMprisPlayerAdaptor::SetLoopStatus(const QString& status) { m_service->SetLoopStatus(status); }
bool CMprisPlayerAdaptor::Shuffle() const { return m_service->Shuffle(); }
void CMprisPlayerAdaptor::SetShuffle(bool on) { m_service->SetShuffle(on); }
QVariantMap CMprisPlayerAdaptor::Metadata() const { return m_service->Metadata(); }
double CMprisPlayerAdaptor::Volume() const { return m_service->Volume(); }
void CMprisPlayerAdaptor::SetVolume(double volume) { m_service->SetVolume(volume); }
qlonglong CMprisPlayerAdaptor::Position() const { return m_service->PositionUs(); }

void CMprisPlayerAdaptor::Next() { m_service->Next(); }
void CMprisPlayerAdaptor::Previous() { m_service->Previous(); }
void CMprisPlayerAdaptor::Pause() { m_service->Pause(); }
void CMprisPlayerAdaptor::PlayPause() { m_service->PlayPause(); }
void CMprisPlayerAdaptor::Stop() { m_service->Stop(); }
void CMprisPlayerAdaptor::Play() { m_service->Play(); }
void CMprisPlayerAdaptor::Seek(qlonglong offset) { m_service->SeekBy(offset); }
void CMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    m_service->SetPosition(trackId.path(), position);
}
void CMprisPlayerAdaptor::OpenUri(const QString& uri) { m_service->OpenUri(uri); }
