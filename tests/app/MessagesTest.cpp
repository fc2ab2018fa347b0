// Feedback, the message list and a message's details, driven through their dialogs offscreen
// against the reference service, with the message file on disk.
#include "app/CMessageCenter.h"
#include "app/CMessageDlg.h"
#include "app/CMessageInfoDlg.h"
#include "app/CMessageListDlg.h"
#include "app/UiTexts.h"

#include "net/CMessageStore.h"
#include "net/ServiceRequest.h"
#include "tests/app/LogRecords.h"
#include "tests/net/NetTestHome.h"
#include "tests/net/StatusRecorder.h"
#include "ui/CSkin.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using testutil::WaitUntil;

namespace {

QMessageBox* OpenMessageBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

// The text of the one notice shown, after which it is closed.
QString TakeNotice(QString* caption = nullptr)
{
    QMessageBox* box = OpenMessageBox();
    if (!box) return QString();
    const QString text = box->text();
    if (caption) *caption = box->windowTitle();
    box->close();
    QCoreApplication::processEvents();
    return text;
}

template <class T>
T* OpenDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) return d;
    return nullptr;
}

void DoubleClick(QTreeWidget* list, int row, int column)
{
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QPoint p(list->header()->sectionViewportPosition(column) + 4, at.y());
    QWidget* vp = list->viewport();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, p, vp->mapToGlobal(p), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &e);
    }
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc().Running());
        svc().Reset();
        home = std::make_unique<NetTestHome>(svc());
        SetServiceStatusWindow(recorder.Target());
        path = home->dir.filePath(QStringLiteral("messages.xml"));
        // The list's pictures come from the program's skin.
        ASSERT_TRUE(CSkin::Instance().Load(testutil::SourceDir() + QStringLiteral("/resources/skin/")));
    }
    void TearDown() override
    {
        while (TakeNotice().size()) {}
        home.reset();
    }
    static ServiceProcess& svc() { return ServiceProcess::Shared(); }
    bool Settled(const CMessageCenter& center, int id)
    {
        return WaitUntil([&] {
            const structMESSAGE* m = center.Store().Find(id);
            return m && m->status != structMESSAGE::Sending;
        }, 15000);
    }

    std::unique_ptr<NetTestHome> home;
    MessageRecorder recorder;
    QString path;
};

} // namespace

TEST_F(Messages, FeedbackRefusesAnEmptySubjectAndLongContentAndTheServiceGetsTheRest)
{
    CMessageCenter center(path, nullptr);
    CMessageDlg* dlg = center.OpenFeedback();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("意见反馈"));
    EXPECT_EQ(dlg->SubmitButton()->text(), QStringLiteral("提交"));
    EXPECT_EQ(dlg->CancelButton()->text(), QStringLiteral("取消"));

    // No subject (blanks count as none): refused, the dialog stays.
    dlg->BodyEdit()->setPlainText(QStringLiteral("内容"));
    dlg->TitleEdit()->setText(QStringLiteral("   "));
    dlg->SubmitButton()->click();
    QString caption;
    EXPECT_EQ(TakeNotice(&caption), txt::kFeedbackNoSubject);
    EXPECT_EQ(caption, QStringLiteral("提示"));
    EXPECT_TRUE(dlg->isVisible());

    // 301 characters: refused with the message.
    dlg->TitleEdit()->setText(QStringLiteral("播放列表 & 歌词"));
    dlg->BodyEdit()->setPlainText(QString(300, QChar(u'长')) + QStringLiteral("x"));
    EXPECT_FALSE(dlg->Confirm());
    EXPECT_EQ(TakeNotice(&caption), QStringLiteral("您的建议内容过长，请限制在300字以内！"));
    EXPECT_EQ(caption, QStringLiteral("提示"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(center.Store().Messages().isEmpty());

    // Exactly 300, over two lines: sent, thanked, closed.
    const QString body = QString(150, QChar(u'长')) + QStringLiteral("\n") + QString(149, QChar(u'b'));
    ASSERT_EQ(body.size(), 300);
    dlg->BodyEdit()->setPlainText(body);
    EXPECT_TRUE(dlg->Confirm());
    EXPECT_EQ(TakeNotice(&caption), txt::kFeedbackThanks);
    EXPECT_FALSE(OpenDialog<CMessageDlg>());
    // One operation record per press of "提交".
    EXPECT_EQ(RecordedEvents(), (QList<int>{943, 943, 943}));

    ASSERT_EQ(center.Store().Messages().size(), 1);
    const int id = center.Store().Messages().first().id;
    ASSERT_TRUE(Settled(center, id));
    EXPECT_EQ(center.Store().Find(id)->status, structMESSAGE::Sent);
    EXPECT_EQ(center.Store().Find(id)->Source(), QStringLiteral("已发送"));
    const QJsonArray sent = svc().Requests(QStringLiteral("addmessage"));
    ASSERT_EQ(sent.size(), 1); // the refused ones never left
    EXPECT_EQ(DocField(sent[0].toObject(), QStringLiteral("title")), QStringLiteral("播放列表 & 歌词"));
    EXPECT_EQ(DocField(sent[0].toObject(), QStringLiteral("message")), body);
    EXPECT_TRUE(recorder.Statuses().isEmpty());
}

TEST_F(Messages, AFailedSendIsOnlyAStatusNotificationAndTheListSaysSo)
{
    CMessageCenter center(path, nullptr);
    CMessageListDlg* list = center.OpenList();
    svc().Switch(QStringLiteral("addmessage"), QStringLiteral("empty"));
    list->NewButton()->click();
    CMessageDlg* dlg = OpenDialog<CMessageDlg>();
    ASSERT_TRUE(dlg);
    dlg->TitleEdit()->setText(QStringLiteral("无回复"));
    dlg->SubmitButton()->click();
    // The worker's answer cannot arrive before this thread runs its events again.
    ASSERT_EQ(list->List()->topLevelItemCount(), 1);
    EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColSource), QStringLiteral("正在发送"));
    EXPECT_EQ(TakeNotice(), txt::kFeedbackThanks);
    ASSERT_TRUE(Settled(center, list->Record(0)->MessageId()));
    // The list follows the store: the row now says it failed, with the failure's picture.
    EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColSource), QStringLiteral("发送失败"));
    EXPECT_EQ(list->Record(0)->data(CMessageRecord::kColIcon, Qt::UserRole).toInt(), int(kIconFailed));
    ASSERT_TRUE(WaitUntil([&] { return !recorder.Statuses().isEmpty(); }));
    EXPECT_EQ(recorder.Statuses().first(), qMakePair(int(SERVICE_FAILED), int(SOURCE_SERVICE)));
    // Nothing more for the user than the thanks.
    EXPECT_FALSE(OpenMessageBox());
}

TEST_F(Messages, DeletingTwoTickedOfThreeAndTheListAfterARestart)
{
    QStringList titles = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")};
    {
        CMessageCenter center(path, nullptr);
        center.PostNotice(QStringLiteral("一"), QStringLiteral("通知正文"));
        center.Send(QStringLiteral("二"), QStringLiteral("第二条\n两行"));
        center.Send(QStringLiteral("三"), QStringLiteral("third"));
        CMessageListDlg* list = center.OpenList();
        EXPECT_EQ(list->windowTitle(), QStringLiteral("留言和反馈"));
        EXPECT_EQ(list->NewButton()->text(), QStringLiteral("新建留言"));
        EXPECT_EQ(list->DeleteButton()->text(), QStringLiteral("删除"));
        EXPECT_EQ(list->CloseButton()->text(), QStringLiteral("关闭"));
        ASSERT_EQ(list->List()->topLevelItemCount(), 3);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(list->Record(i)->text(CMessageRecord::kColTitle), titles[i]);
        EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColSource), QStringLiteral("系统通知"));
        EXPECT_EQ(list->Record(0)->data(CMessageRecord::kColIcon, Qt::UserRole).toInt(), int(kIconNoticeUnread));
        EXPECT_FALSE(list->Record(0)->icon(CMessageRecord::kColIcon).isNull());
        EXPECT_EQ(list->List()->columnWidth(CMessageRecord::kColTitle), 280);
        EXPECT_EQ(list->List()->columnWidth(CMessageRecord::kColCheck), list->List()->columnWidth(CMessageRecord::kColIcon));
        for (int i = 1; i < 3; ++i) ASSERT_TRUE(Settled(center, list->Record(i)->MessageId()));
        EXPECT_EQ(list->Record(1)->text(CMessageRecord::kColSource), QStringLiteral("已发送"));

        // Tick the first and the last; nothing goes until "删除".
        CQvLog::GetInstance().ClearPending();
        list->Record(0)->setCheckState(CMessageRecord::kColCheck, Qt::Checked);
        list->Record(2)->setCheckState(CMessageRecord::kColCheck, Qt::Checked);
        EXPECT_EQ(center.Store().Messages().size(), 3);
        list->DeleteButton()->click();
        ASSERT_EQ(list->List()->topLevelItemCount(), 1);
        EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColTitle), QStringLiteral("二"));
        ASSERT_EQ(center.Store().Messages().size(), 1);
        const QStringList record = CQvLog::GetInstance().PendingRecords().value(0).split('\t');
        EXPECT_EQ(record.value(3), QStringLiteral("141"));
        EXPECT_EQ(record.value(4), QStringLiteral("867"));
        EXPECT_EQ(record.value(17), QStringLiteral("1063"));
        center.PostNotice(QStringLiteral("四"), QStringLiteral("升级"));
        list->CloseButton()->click();
        EXPECT_TRUE(WaitUntil([&] { return !center.ListDialog(); }));
    }
    // A new start reads the file: what was left, in order, with its state.
    CMessageCenter again(path, nullptr);
    CMessageListDlg* list = again.OpenList();
    ASSERT_EQ(list->List()->topLevelItemCount(), 2);
    EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColTitle), QStringLiteral("二"));
    EXPECT_EQ(list->Record(0)->text(CMessageRecord::kColSource), QStringLiteral("已发送"));
    EXPECT_EQ(again.Store().Find(list->Record(0)->MessageId())->body, QStringLiteral("第二条\n两行"));
    EXPECT_FALSE(list->Record(0)->text(CMessageRecord::kColTime).isEmpty());
    EXPECT_EQ(list->Record(1)->text(CMessageRecord::kColTitle), QStringLiteral("四"));
    EXPECT_EQ(list->Record(1)->text(CMessageRecord::kColSource), QStringLiteral("系统通知"));
    // New messages take new ids after the ones kept.
    const int kept = list->Record(1)->MessageId();
    EXPECT_GT(again.PostNotice(QStringLiteral("五"), QString()), kept);
}

TEST_F(Messages, ReplyingQuotesTheMessageAndNoticesCannotBeReplied)
{
    CMessageCenter center(path, nullptr);
    center.Send(QStringLiteral("ABC"), QStringLiteral("第一行\n第二行"));
    const int notice = center.PostNotice(QStringLiteral("发现新版本"), QStringLiteral("1.2 可以升级"));
    CMessageListDlg* list = center.OpenList();
    ASSERT_TRUE(Settled(center, list->Record(0)->MessageId()));

    // A double click on a row opens its details.
    DoubleClick(list->List(), 0, CMessageRecord::kColTitle);
    CMessageInfoDlg* info = OpenDialog<CMessageInfoDlg>();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->windowTitle(), QStringLiteral("详细信息"));
    EXPECT_EQ(info->TitleView()->text(), QStringLiteral("ABC"));
    EXPECT_EQ(info->BodyView()->toPlainText(), QStringLiteral("第一行\n第二行"));
    ASSERT_TRUE(info->ReplyButton()->isEnabled());
    EXPECT_EQ(info->ReplyButton()->text(), QStringLiteral("回复"));
    info->ReplyButton()->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(OpenDialog<CMessageInfoDlg>());
    CMessageDlg* reply = OpenDialog<CMessageDlg>();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Subject(), QStringLiteral("Re:ABC"));
    EXPECT_EQ(reply->Content(), QStringLiteral("\n\n------------------------------\n第一行\n第二行"));
    // The cursor waits above the quote.
    EXPECT_EQ(reply->BodyEdit()->textCursor().position(), 0);
    reply->CancelButton()->click();
    EXPECT_EQ(center.Store().Messages().size(), 2);
    EXPECT_EQ(ReplyBody(QStringLiteral("x")), QStringLiteral("\r\n\r\n------------------------------\r\nx"));

    // A notice: bold until opened, then read; "回复" disabled.
    EXPECT_TRUE(list->Record(1)->font(CMessageRecord::kColTitle).bold());
    DoubleClick(list->List(), 1, CMessageRecord::kColTime);
    info = OpenDialog<CMessageInfoDlg>();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->TitleView()->text(), QStringLiteral("发现新版本"));
    EXPECT_FALSE(info->ReplyButton()->isEnabled());
    EXPECT_TRUE(center.Store().Find(notice)->read);
    EXPECT_FALSE(list->Record(1)->font(CMessageRecord::kColTitle).bold());
    EXPECT_EQ(list->Record(1)->data(CMessageRecord::kColIcon, Qt::UserRole).toInt(), int(kIconNoticeRead));
    info->CancelButton()->click();
    // A double click on a check box only ticks it.
    DoubleClick(list->List(), 1, CMessageRecord::kColCheck);
    EXPECT_FALSE(OpenDialog<CMessageInfoDlg>());
}

TEST_F(Messages, ADamagedOrHostileFileLosesNothingAndOpensEmpty)
{
    // Not XML: set aside, then a new file.
    testutil::WriteFile(path, QByteArrayLiteral("<messages><message id=\"1\" title=\"a\""));
    {
        CMessageStore store(path);
        EXPECT_FALSE(store.Load());
        EXPECT_TRUE(store.Messages().isEmpty());
        EXPECT_EQ(testutil::ReadFile(path + QStringLiteral(".damaged")),
                  QByteArrayLiteral("<messages><message id=\"1\" title=\"a\""));
        store.AddNotice(QStringLiteral("新"), QString());
    }
    // Oversized and odd entries: cut to the record's room, repeated ids renumbered, a send
    // that never reported back is not left "on its way".
    const QByteArray longTitle(5000, 'T');
    testutil::WriteFile(path, "<?xml version=\"1.0\" encoding=\"GBK\"?><messages>"
                              "<message id=\"4\" status=\"sending\" title=\"" + longTitle + "\">body</message>"
                              "<message id=\"4\" status=\"bogus\" title=\"b\"/>"
                              "<message id=\"-3\" status=\"notice\" read=\"1\" title=\"c\"/></messages>");
    CMessageStore store(path);
    ASSERT_TRUE(store.Load());
    ASSERT_EQ(store.Messages().size(), 3);
    EXPECT_EQ(store.Messages()[0].title.size(), structMESSAGE::kTitleLength);
    EXPECT_EQ(store.Messages()[0].status, structMESSAGE::Failed);
    EXPECT_EQ(store.Messages()[0].body, QStringLiteral("body"));
    EXPECT_NE(store.Messages()[1].id, 4);
    EXPECT_EQ(store.Messages()[2].status, structMESSAGE::Notice);
    EXPECT_TRUE(store.Messages()[2].read);
    QSet<int> ids;
    for (const structMESSAGE& m : store.Messages()) ids.insert(m.id);
    EXPECT_EQ(ids.size(), 3);
}
