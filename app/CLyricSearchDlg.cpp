#include "app/CLyricSearchDlg.h"

#include "base/Worker.h"
#include "net/CQvCINet.h"
#include "net/CQvLog.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "net/proto/ServiceReplies.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <mutex>

namespace {

constexpr int kPollMs = 100;
constexpr int kMaxFiles = 200; // a huge lyrics folder lists its first matches only

} // namespace

// Filled by the search worker, taken by the dialog's poll.
struct CLyricSearchDlg::Results {
    std::mutex mutex;
    QList<Found> found;
    bool done = false;
};

CLyricSearchDlg::CLyricSearchDlg(const QString& song, const QString& artist, const QString& lyricsDir, QWidget* parent)
    : QDialog(parent), m_lyricsDir(lyricsDir)
{
    setWindowTitle(QStringLiteral("搜索歌词"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_song = new QLineEdit(song, this);
    m_artist = new QLineEdit(artist, this);
    form->addRow(QStringLiteral("歌曲名:"), m_song);
    form->addRow(QStringLiteral("歌手名:"), m_artist);
    column->addLayout(form);
    auto* search = new QPushButton(QStringLiteral("搜索"), this);
    column->addWidget(search, 0, Qt::AlignRight);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("歌曲"), QStringLiteral("歌手")});
    m_list->setColumnWidth(0, 100);
    m_list->setColumnWidth(1, 50);
    column->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* confirm = buttons->addButton(QStringLiteral("设为关联歌词"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    column->addWidget(buttons);
    connect(search, &QPushButton::clicked, this, &CLyricSearchDlg::Search);
    connect(m_song, &QLineEdit::returnPressed, this, &CLyricSearchDlg::Search);
    connect(m_artist, &QLineEdit::returnPressed, this, &CLyricSearchDlg::Search);
    connect(confirm, &QPushButton::clicked, this, &CLyricSearchDlg::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLyricSearchDlg::Cancel);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CLyricSearchDlg::Confirm);
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &CLyricSearchDlg::TakeResults);
    resize(360, 320);
    Search();
}

CLyricSearchDlg::~CLyricSearchDlg() = default;

bool CLyricSearchDlg::Searching() const { return m_poll->isActive(); }

QList<CLyricSearchDlg::Found> CLyricSearchDlg::FindInFolder(const QString& dir, const QString& song, const QString& artist)
{
    QList<Found> out;
    if (dir.isEmpty() || (song.isEmpty() && artist.isEmpty())) return out;
    const QFileInfoList files = QDir(dir).entryInfoList({QStringLiteral("*.lrc"), QStringLiteral("*.LRC")},
                                                         QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& f : files) {
        const QString name = f.completeBaseName();
        const bool bySong = !song.isEmpty() && name.contains(song, Qt::CaseInsensitive);
        const bool byArtist = !artist.isEmpty() && name.contains(artist, Qt::CaseInsensitive);
        if (!bySong && !byArtist) continue;
        out.append({name, byArtist ? artist : QString(), QString(), f.absoluteFilePath()});
        if (out.size() >= kMaxFiles) break;
    }
    return out;
}

void CLyricSearchDlg::Search()
{
    m_list->clear();
    m_found.clear();
    auto results = std::make_shared<Results>();
    m_results = results;
    const QString song = m_song->text().trimmed();
    const QString artist = m_artist->text().trimmed();
    const QString dir = m_lyricsDir;
    const bool started = StartWorker([results, song, artist, dir] {
        QList<Found> found;
        // The service first: it knows the song by its title and artist.
        const QString url = MetadataEntryUrl();
        CQvCINet net;
        if ((!song.isEmpty() || !artist.isEmpty()) && !IsShuttingDown() && net.CheckConnection(url)) {
            LyricsQuery query;
            query.songName = song;
            query.artist = artist;
            QString content;
            if (RequestLyrics(url, query, content) == REQUEST_OK && !content.isEmpty())
                found.append({song, artist, NormaliseServiceLyrics(content), QString()});
        }
        found += FindInFolder(dir, song, artist);
        std::lock_guard lock(results->mutex);
        results->found = found;
        results->done = true;
    });
    if (started) m_poll->start(kPollMs);
}

void CLyricSearchDlg::TakeResults()
{
    if (!m_results) return;
    {
        std::lock_guard lock(m_results->mutex);
        if (!m_results->done) return;
        m_found = m_results->found;
    }
    m_poll->stop();
    for (const Found& f : m_found) {
        auto* item = new QTreeWidgetItem(m_list, {f.song, f.artist});
        item->setToolTip(0, f.file.isEmpty() ? QStringLiteral("服务") : f.file);
    }
    if (!m_found.isEmpty()) m_list->setCurrentItem(m_list->topLevelItem(0));
}

void CLyricSearchDlg::Confirm()
{
    CQvLog::GetInstance().AddRecord(kWindow, 950, 1, nullptr, 0);
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    if (row >= 0 && row < m_found.size()) emit Chosen(m_found[row]);
    accept();
}

void CLyricSearchDlg::Cancel()
{
    CQvLog::GetInstance().AddRecord(kWindow, 951, 1, nullptr, 0);
    m_song->clear();
    m_artist->clear();
    m_list->clear();
    m_found.clear();
    reject();
}
