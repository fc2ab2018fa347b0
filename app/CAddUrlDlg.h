#pragma once
#include "app/CSkinDialog.h"

#include <functional>

struct UrlTrackFields;
class QLineEdit;
class QPushButton;

// Adds a network address as a track: the address (http ... .mp3 or .wma, or mms) with the song,
// artist and album it is to show. A valid address goes to `add`, which makes the track; the
// dialog closes when it did.
class CAddUrlDlg : public CSkinDialog {
    Q_OBJECT
public:
    using AddTrack = std::function<bool(const UrlTrackFields&)>;
    CAddUrlDlg(AddTrack add, QWidget* parent = nullptr);

    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* SongEdit() const { return m_song; }
    QLineEdit* ArtistEdit() const { return m_artist; }
    QLineEdit* AlbumEdit() const { return m_album; }
    QPushButton* OkButton() const { return m_ok; }
    // The confirm button's work: false while the dialog stays open.
    bool Confirm();

private:
    AddTrack m_add;
    QLineEdit* m_address;
    QLineEdit* m_song;
    QLineEdit* m_artist;
    QLineEdit* m_album;
    QPushButton* m_ok;
};
