#pragma once
#include "base/MsgWindow.h"
#include "ui/page/IPageHost.h"

#include <QHash>
#include <QString>

#include <memory>

class CMainDlg;
class CUploadManager;

// The cloud-drive uploads the pages ask for, carried out by the upload manager while a user is
// signed in. Its window receives the manager's notifications (1124) on the interface thread and
// hands them to the content page ("OnStateChange"); the end of an upload is also kept as a
// notice in the message list. Signing out stops what runs and forgets what waits.
class CPageUploads : public CMsgWindow, public IPageUploads {
    Q_OBJECT
public:
    explicit CPageUploads(CMainDlg& controller);
    ~CPageUploads() override;

    // IPageUploads: signed out, nothing is queued (-1), nothing is cancelled (0) and nothing is
    // known (-1).
    int QueueUpload(const TrackRef& track, const QString& address) override;
    int CancelUpload(const QString& gid) override;
    int UploadProgress(const QString& gid) const override;

    // The user signed out: running uploads are cancelled (they end with 2), waiting ones are
    // dropped and the page hears that they ended the same way.
    void SignOut();
    // Uploads queued and not ended yet.
    int PendingCount() const { return int(m_titles.size()); }

    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override;

private:
    void TellPage(int progress, int kind, const QString& gid) const;
    void PostResult(const QString& gid, int code);

    CMainDlg& m_ctl;
    std::unique_ptr<CUploadManager> m_manager; // made on the first upload
    QHash<QString, QString> m_titles;          // Gid -> the song's title, until its upload ends
};

// What the user is told when an upload ended with `code` (never for a cancel): a title and a
// text naming the song.
struct UploadNoticeText {
    QString title;
    QString body;
};
UploadNoticeText UploadResultNotice(const QString& song, int code);
