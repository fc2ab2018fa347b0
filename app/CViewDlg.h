#pragma once
#include <QWidget>

class CMainDlg;
class CSkinButton;
class CSkinLabel;
class CSkinPicture;
class CSkinSlider;

// The picture-view window ("看图模式"): a small topmost window with the cover, the title, the
// progress and the play buttons, shown instead of the main window.
class CViewDlg : public QWidget {
    Q_OBJECT
public:
    explicit CViewDlg(CMainDlg& controller, QWidget* parent = nullptr);

    void SetTitle(const QString& text);
    QString Title() const;
    void SetProgress(int percent);
    // The time played and the length, "mm:ss / mm:ss" above the progress; empty clears it.
    void SetTime(const QString& text);
    QString TimeText() const;
    void SetPlaying(bool playing);
    // A cover file, or empty for the skin's "viewmodepic.bmp".
    void ShowCover(const QString& picture);
    CSkinSlider* Progress() const { return m_progress; }
    bool ShowsCover() const { return m_hasCover; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CMainDlg& m_ctl;
    CSkinLabel* m_title = nullptr;
    CSkinPicture* m_picture = nullptr;
    CSkinSlider* m_progress = nullptr;
    CSkinButton* m_play = nullptr;
    CSkinLabel* m_time = nullptr;
    bool m_hasCover = false;
};
