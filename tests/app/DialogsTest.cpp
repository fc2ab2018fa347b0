#include "app/CAddMusicDoneDlg.h"
#include "app/CAddUrlDlg.h"
#include "app/CAllDiskScanDlg.h"
#include "app/CFirstSearchDlg.h"
#include "app/CUpdateSuccessDlg.h"
#include "app/UiTexts.h"

#include "net/CQvLog.h"
#include "store/CQvConf.h"
#include "store/TrackBuilder.h"
#include "tests/app/LogRecords.h"
#include "tests/common/TestUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QMessageBox* OpenMessageBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

void CloseMessageBoxes()
{
    while (QMessageBox* box = OpenMessageBox()) box->close();
    QCoreApplication::processEvents();
}

TEST(FirstSearchDlg, CancelSwitchesAutomaticAddingOffAndOkTakesTheChoice)
{
    CQvLog::GetInstance().ClearPending();
    ConfigSettings settings;
    settings.autoScanPaths = {QStringLiteral("/old")};
    {
        CFirstSearchDlg dlg(settings);
        EXPECT_EQ(dlg.windowTitle(), txt::kFirstSearchTitle);
        EXPECT_TRUE(dlg.FolderButton()->isChecked());
        EXPECT_FALSE(dlg.OkButton()->isEnabled()); // until a folder is chosen
        dlg.CancelButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(settings.showsearch, 0);
    EXPECT_EQ(settings.autoaddmusic, 0);
    EXPECT_EQ(settings.autoScanPaths, QStringList{QStringLiteral("/old")});

    {
        CFirstSearchDlg dlg(settings);
        dlg.AllButton()->click();
        EXPECT_TRUE(dlg.OkButton()->isEnabled());
        dlg.OkButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(settings.showsearch, 1);
    EXPECT_EQ(settings.autoaddmusic, 1);
    EXPECT_TRUE(settings.autoScanPaths.isEmpty()); // every drive

    QTemporaryDir music;
    settings.autoScanPaths = {QStringLiteral("/old")};
    {
        CFirstSearchDlg dlg(settings);
        // A folder that is not there is refused with the warning; the dialog stays open.
        dlg.SetFolder(music.filePath("missing"));
        EXPECT_TRUE(dlg.OkButton()->isEnabled());
        dlg.OkButton()->click();
        ASSERT_TRUE(OpenMessageBox());
        EXPECT_EQ(OpenMessageBox()->text(), txt::kChooseFolderWarning);
        CloseMessageBoxes();
        EXPECT_EQ(dlg.result(), 0);
        dlg.SetFolder(music.path());
        dlg.OkButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(settings.autoScanPaths, (QStringList{music.path(), QStringLiteral("/old")}));
    const QList<int> events = RecordedEvents();
    EXPECT_EQ(events, (QList<int>{842, 845, 841, 841, 841}));
}

TEST(AllDiskScanDlg, IgnoresDeletedMusicUnlessUncheckedAndRecordsEachButton)
{
    CQvLog::GetInstance().ClearPending();
    CAllDiskScanDlg dlg;
    EXPECT_TRUE(dlg.IgnoreDeleted());
    dlg.IgnoreBox()->setChecked(false);
    EXPECT_FALSE(dlg.IgnoreDeleted());
    dlg.OkButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    CAllDiskScanDlg other;
    other.CancelButton()->click();
    CAllDiskScanDlg third;
    third.OnCloseButton();
    EXPECT_EQ(RecordedEvents(), (QList<int>{919, 918, 847}));
}

TEST(AddMusicDoneDlg, ShowsTheCount)
{
    CAddMusicDoneDlg dlg(37);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("成功添加音乐"));
    EXPECT_EQ(dlg.Text(), QStringLiteral("您共有37首音乐被成功添加。"));
    EXPECT_FALSE(dlg.DontShowAgain());
    dlg.DontShowBox()->setChecked(true);
    EXPECT_TRUE(dlg.DontShowAgain());
}

TEST(AddUrlDlg, ChecksTheAddressBeforeTheTrackIsMade)
{
    QList<UrlTrackFields> made;
    bool accept = true;
    CAddUrlDlg dlg([&](const UrlTrackFields& f) {
        made.append(f);
        return accept;
    });

    // Capital extension: refused with the message, the dialog stays.
    dlg.AddressEdit()->setText(QStringLiteral("http://example.org/a.MP3"));
    EXPECT_FALSE(dlg.Confirm());
    ASSERT_TRUE(OpenMessageBox());
    EXPECT_EQ(OpenMessageBox()->text(), QStringLiteral("网络链接为无效地址！"));
    EXPECT_EQ(OpenMessageBox()->windowTitle(), QStringLiteral("错误!"));
    CloseMessageBoxes();
    // Another scheme: nothing at all.
    dlg.AddressEdit()->setText(QStringLiteral("ftp://example.org/a.mp3"));
    EXPECT_FALSE(dlg.Confirm());
    EXPECT_FALSE(OpenMessageBox());
    // An mms address shorter than 10 characters.
    dlg.AddressEdit()->setText(QStringLiteral("mms://a.b"));
    EXPECT_FALSE(dlg.Confirm());
    CloseMessageBoxes();
    EXPECT_TRUE(made.isEmpty());

    // The controller refuses it: the dialog stays open.
    dlg.AddressEdit()->setText(QStringLiteral("http://example.org/晚风.mp3"));
    dlg.SongEdit()->setText(QStringLiteral("晚风"));
    dlg.ArtistEdit()->setText(QStringLiteral("林晓"));
    dlg.AlbumEdit()->setText(QStringLiteral("海边"));
    accept = false;
    EXPECT_FALSE(dlg.Confirm());
    accept = true;
    EXPECT_TRUE(dlg.Confirm());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(made[1].url, QStringLiteral("http://example.org/晚风.mp3"));
    EXPECT_EQ(made[1].song, QStringLiteral("晚风"));
    EXPECT_EQ(made[1].artist, QStringLiteral("林晓"));
    EXPECT_EQ(made[1].album, QStringLiteral("海边"));
}

TEST(UpdateSuccessDlg, ItsButtonRecordsAndCloses)
{
    CQvLog::GetInstance().ClearPending();
    CUpdateSuccessDlg dlg;
    dlg.show();
    dlg.OkButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    const QStringList records = CQvLog::GetInstance().PendingRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].split('\t').value(4), "807");
    EXPECT_EQ(records[0].split('\t').value(17), "1780");
}

} // namespace
