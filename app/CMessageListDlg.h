#pragma once
#include "app/CSkinDialog.h"

#include <QTreeWidgetItem>

class CMessageStore;
struct structMESSAGE;
class QPushButton;
class QTreeWidget;

// One row of the message list: the message's picture, its check box, title, state and time.
class CMessageRecord : public QTreeWidgetItem {
public:
    enum Column { kColIcon, kColCheck, kColTitle, kColSource, kColTime, kColumnCount };
    explicit CMessageRecord(const structMESSAGE& message);

    int MessageId() const { return m_nId; }
    bool IsTicked() const { return checkState(kColCheck) == Qt::Checked; }
    void Show(const structMESSAGE& message);

private:
    int m_nId;
};

// The message list ("留言和反馈"): every message of the store, newest last, with "新建留言",
// "删除" (the ticked ones) and "关闭". It follows the store while it is open.
class CMessageListDlg : public CSkinDialog {
    Q_OBJECT
public:
    CMessageListDlg(CMessageStore& store, QWidget* parent = nullptr);

    QTreeWidget* List() const { return m_list; }
    QPushButton* NewButton() const { return m_new; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* CloseButton() const { return m_close; }
    CMessageRecord* Record(int row) const;
    CMessageRecord* RecordOf(int messageId) const;

    // "删除": the ticked messages leave the list and the store, from the last to the first.
    void DeleteTicked();

signals:
    void NewMessage();
    void OpenMessage(int messageId);

private:
    void Append(int messageId);
    void Refresh(int messageId);
    void Drop(int messageId);
    void RefreshIcons();

    CMessageStore& m_store;
    QTreeWidget* m_list;
    QPushButton* m_new;
    QPushButton* m_delete;
    QPushButton* m_close;
};
