#pragma once
#include <QList>
#include <QObject>
#include <QString>

// One message of the list: feedback the user sent, or a notice the player posted itself.
struct structMESSAGE {
    enum Status { Sending, Sent, Failed, Notice };

    int id = 0;         // the store's key, kept in the file
    Status status = Sending;
    bool read = false;  // a notice the user has opened
    QString title;      // at most kTitleLength characters
    QString body;       // at most kBodyLength characters
    QString time;       // "yyyy-MM-dd hh:mm", local time when it was sent or posted

    static constexpr int kTitleLength = 256;
    static constexpr int kBodyLength = 2050;

    // The picture of "messageicons.bmp" the list shows for it (a MessageIcon).
    int Icon() const;
    // The list's third text: "系统通知" for a notice, else how the sending went.
    QString Source() const;
};

// Pictures of "messageicons.bmp", 16 x 16 each, in this order.
enum MessageIcon { kIconNoticeUnread, kIconNoticeRead, kIconSent, kIconSending, kIconFailed, kMessageIconCount };

// The third text of a notice: replies to it are not offered.
inline const QString kNoticeSource = QStringLiteral("系统通知");

// The messages of the list, kept in an XML file ("messages.xml" in the data folder) that is
// rewritten whole after every change. Lives on the window thread; workers report through the
// window that owns it.
class CMessageStore : public QObject {
    Q_OBJECT
public:
    explicit CMessageStore(QString path, QObject* parent = nullptr);

    // Reads the file. A missing file is an empty list; a damaged one is set aside beside it
    // (".damaged") before anything is written over it, and the list starts empty.
    bool Load();
    const QString& Path() const { return m_path; }

    const QList<structMESSAGE>& Messages() const { return m_messages; }
    const structMESSAGE* Find(int id) const;

    // A feedback message on its way to the service; returns its id.
    int AddFeedback(const QString& title, const QString& body);
    // A notice of the player's own; returns its id.
    int AddNotice(const QString& title, const QString& body);
    // The service took the feedback (`sent`) or it did not reach it.
    void SetSent(int id, bool sent);
    void MarkRead(int id);
    bool Remove(int id);

signals:
    void Added(int id);
    void Changed(int id);
    void Removed(int id);

private:
    int Add(structMESSAGE m);
    bool Save() const;
    structMESSAGE* FindMutable(int id);

    QString m_path;
    QList<structMESSAGE> m_messages;
    int m_nNextId = 1;
};
