#include "app/CPageUploads.h"

#include "app/CMainDlg.h"
#include "app/CMessageCenter.h"
#include "app/CQuarvelDlg.h"
#include "app/UiTexts.h"

#include "base/MessageIds.h"
#include "net/CMessageStore.h"
#include "model/TrackInfo.h"
#include "net/CQvClientIdentity.h"
#include "net/CUploadManager.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"

#include <QFileInfo>

namespace {

// The uploads go to the drive of the user the page names (vuid and phone are in the address).
bool SignedIn()
{
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    return !who.vuid.isEmpty() && !who.phone.isEmpty();
}

} // namespace

UploadNoticeText UploadResultNotice(const QString& song, int code)
{
    const QString codeText = QString::number(code);
    switch (code) {
    case UPLOAD_OK: return {txt::kUploadDoneTitle.arg(song), txt::kUploadDoneText.arg(song)};
    case UPLOAD_NO_FILE: return {txt::kUploadFailedTitle.arg(song), txt::kUploadNoFile.arg(song)};
    case UPLOAD_TOO_LARGE: return {txt::kUploadFailedTitle.arg(song), txt::kUploadTooLarge.arg(song)};
    case UPLOAD_NOT_OPENED: return {txt::kUploadFailedTitle.arg(song), txt::kUploadNoConnection.arg(song, codeText)};
    case UPLOAD_NOT_SENT:
    case UPLOAD_EXCEPTION: return {txt::kUploadFailedTitle.arg(song), txt::kUploadNotSent.arg(song, codeText)};
    case UPLOAD_NO_ANSWER: return {txt::kUploadFailedTitle.arg(song), txt::kUploadNoAnswer.arg(song, codeText)};
    default: return {txt::kUploadFailedTitle.arg(song), txt::kUploadRefused.arg(song, codeText)};
    }
}

CPageUploads::CPageUploads(CMainDlg& controller) : m_ctl(controller) {}

// The manager goes first: it cancels what runs, and its workers' last words find no window.
CPageUploads::~CPageUploads() { m_manager.reset(); }

int CPageUploads::QueueUpload(const TrackRef& track, const QString& address)
{
    if (!SignedIn() || !track || !track->GetInfo() || address.isEmpty()) return -1;
    const TrackInfo& info = *track->GetInfo();
    // A stream has no file to send; a job without a key could never be told apart.
    if (info.Gid.isEmpty() || info.LSrc.isEmpty()) return -1;
    const QString vuid = CQvClientIdentity::Instance().Get().vuid;
    if (!m_manager) m_manager = std::make_unique<CUploadManager>(Target(), vuid);
    m_manager->SetVuid(vuid);
    m_titles.insert(info.Gid, info.Song.isEmpty() ? QFileInfo(info.LSrc).completeBaseName() : info.Song);
    m_manager->StartUpload(info.Gid, info.LSrc, address, info.Album);
    return 0;
}

int CPageUploads::CancelUpload(const QString& gid)
{
    if (!SignedIn() || !m_manager || gid.isEmpty()) return 0;
    switch (m_manager->CancelUpload(gid)) {
    case CUploadManager::kCancelWaiting:
        // A waiting job goes without a word from the manager: the page asked for it.
        m_titles.remove(gid);
        return 1;
    case CUploadManager::kCancelRunning: return 1;
    case CUploadManager::kCancelNone: break;
    }
    return 0;
}

int CPageUploads::UploadProgress(const QString& gid) const
{
    if (!SignedIn() || !m_manager || gid.isEmpty()) return -1;
    return m_manager->GetProgress(gid);
}

void CPageUploads::SignOut()
{
    if (!m_manager) return;
    const QStringList gids = m_titles.keys();
    for (const QString& gid : gids) {
        if (m_manager->CancelUpload(gid) != CUploadManager::kCancelWaiting) continue;
        // The page did not ask: it hears that the upload ended, cancelled.
        m_titles.remove(gid);
        TellPage(UPLOAD_CANCELLED, 0, gid);
    }
}

qintptr CPageUploads::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    if (msg != WM_UPLOAD_NOTIFY || wParam == 0) return CMsgWindow::OnMessage(msg, wParam, lParam);
    // The job lives while the message is handled: its values are taken now.
    const auto* job = reinterpret_cast<const UploadJob*>(wParam);
    const QString gid = job->Gid;
    const int value = job->progress.load();
    TellPage(value, int(lParam), gid);
    if (lParam == 0) {
        PostResult(gid, value);
        m_titles.remove(gid);
    }
    return 0;
}

void CPageUploads::TellPage(int progress, int kind, const QString& gid) const
{
    if (gid.isEmpty()) return;
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (!wnd || !wnd->ContentPane()) return;
    if (CFixedHtmlView* view = wnd->ContentPane()->ExistingView()) view->NotifyUpload(progress, kind, gid);
}

void CPageUploads::PostResult(const QString& gid, int code)
{
    // A cancel is the user's own doing (or the sign-out's): nothing to tell.
    if (code == UPLOAD_CANCELLED || !m_ctl.Messages()) return;
    // Every upload is news of its own, also the same song's second one.
    const UploadNoticeText notice = UploadResultNotice(m_titles.value(gid, gid), code);
    m_ctl.Messages()->Store().AddNotice(notice.title, notice.body);
}
