#include "app/CAddUrlDlg.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "library/AddUrlCheck.h"
#include "net/CQvLog.h"
#include "store/TrackBuilder.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kEventOk = 921;
}

CAddUrlDlg::CAddUrlDlg(AddTrack add, QWidget* parent) : CSkinDialog(txt::kAddUrlTitle, parent), m_add(std::move(add))
{
    setMinimumWidth(440);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 18, 24, 16);
    v->setSpacing(12);
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(8);
    m_address = new QLineEdit(Body());
    m_address->setPlaceholderText(QStringLiteral("http://…/song.mp3"));
    m_song = new QLineEdit(Body());
    m_artist = new QLineEdit(Body());
    m_album = new QLineEdit(Body());
    form->addRow(txt::kAddUrlAddress, m_address);
    form->addRow(txt::kAddUrlSong, m_song);
    form->addRow(txt::kAddUrlArtist, m_artist);
    form->addRow(txt::kAddUrlAlbum, m_album);
    v->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(txt::kOk, Body());
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(txt::kCancel, Body());
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    v->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &CAddUrlDlg::Confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CAddUrlDlg::Confirm()
{
    CQvLog::GetInstance().AddRecord(wnd::kAddUrl, kEventOk, 1, nullptr, 1);
    const QString address = m_address->text().trimmed();
    switch (CheckAddUrl(address)) {
    case AddUrlCheck::Ignored:
        return false;
    case AddUrlCheck::Invalid:
        ShowNotice(this, QString::fromUtf16(kInvalidUrlText), QString::fromUtf16(kInvalidUrlCaption));
        return false;
    case AddUrlCheck::Valid:
        break;
    }
    UrlTrackFields fields;
    fields.url = address;
    fields.song = m_song->text().trimmed();
    fields.artist = m_artist->text().trimmed();
    fields.album = m_album->text().trimmed();
    if (!m_add || !m_add(fields)) return false;
    accept();
    return true;
}
