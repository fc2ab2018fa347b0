#include "app/CMessageListDlg.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "net/CMessageStore.h"
#include "net/CQvLog.h"
#include "ui/CSkin.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kEventDelete = 867;
constexpr int kValueDelete = 1063;
const QString kIcons = QStringLiteral("messageicons.bmp");
// The picture and the check box are 18 pixels wide; the skin pads every cell by 6 on each side.
constexpr int kCellPadding = 12;
constexpr int kColumnWidths[CMessageRecord::kColumnCount] = {18 + kCellPadding, 18 + kCellPadding, 280, 180, 150};
} // namespace

CMessageRecord::CMessageRecord(const structMESSAGE& message) : m_nId(message.id)
{
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    setCheckState(kColCheck, Qt::Unchecked);
    Show(message);
}

void CMessageRecord::Show(const structMESSAGE& message)
{
    setData(kColIcon, Qt::UserRole, message.Icon());
    setIcon(kColIcon, QIcon(CSkin::Instance().BitmapFrame(kIcons, message.Icon())));
    // One line in the list; the whole text is in the details.
    setText(kColTitle, QString(message.title).replace(u'\n', u' '));
    setToolTip(kColTitle, message.title);
    setText(kColSource, message.Source());
    setText(kColTime, message.time);
    QFont f = font(kColTitle);
    f.setBold(message.status == structMESSAGE::Notice && !message.read);
    setFont(kColTitle, f);
}

CMessageListDlg::CMessageListDlg(CMessageStore& store, QWidget* parent)
    : CSkinDialog(txt::kMessageListTitle, parent), m_store(store)
{
    setMinimumSize(720, 420);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(12, 10, 12, 12);
    v->setSpacing(10);
    m_list = new QTreeWidget(Body());
    m_list->setColumnCount(CMessageRecord::kColumnCount);
    m_list->setHeaderLabels({QString(), QString(), txt::kMessageColumnTitle, txt::kMessageColumnSource,
                             txt::kMessageColumnTime});
    m_list->setRootIsDecorated(false);
    m_list->setIndentation(0);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize(QSize(16, 16));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setMinimumSectionSize(kColumnWidths[CMessageRecord::kColIcon]);
    m_list->header()->setStretchLastSection(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->header()->setSectionsMovable(false);
    for (int c = 0; c < CMessageRecord::kColumnCount; ++c) m_list->setColumnWidth(c, kColumnWidths[c]);
    m_list->header()->setSectionResizeMode(CMessageRecord::kColIcon, QHeaderView::Fixed);
    m_list->header()->setSectionResizeMode(CMessageRecord::kColCheck, QHeaderView::Fixed);
    v->addWidget(m_list, 1);

    auto* buttons = new QHBoxLayout;
    m_new = new QPushButton(txt::kMessageNew, Body());
    m_delete = new QPushButton(txt::kMessageDelete, Body());
    m_close = new QPushButton(txt::kMessageClose, Body());
    buttons->addWidget(m_new);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    v->addLayout(buttons);

    for (const structMESSAGE& m : m_store.Messages()) Append(m.id);
    connect(&m_store, &CMessageStore::Added, this, &CMessageListDlg::Append);
    connect(&m_store, &CMessageStore::Changed, this, &CMessageListDlg::Refresh);
    connect(&m_store, &CMessageStore::Removed, this, &CMessageListDlg::Drop);
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, &CMessageListDlg::RefreshIcons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int column) {
        // A double click on the check box only ticks it.
        if (column != CMessageRecord::kColCheck) emit OpenMessage(static_cast<CMessageRecord*>(item)->MessageId());
    });
    connect(m_new, &QPushButton::clicked, this, &CMessageListDlg::NewMessage);
    connect(m_delete, &QPushButton::clicked, this, &CMessageListDlg::DeleteTicked);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

CMessageRecord* CMessageListDlg::Record(int row) const
{
    return static_cast<CMessageRecord*>(m_list->topLevelItem(row));
}

CMessageRecord* CMessageListDlg::RecordOf(int messageId) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (Record(i)->MessageId() == messageId) return Record(i);
    return nullptr;
}

void CMessageListDlg::DeleteTicked()
{
    CQvLog::GetInstance().AddRecord(wnd::kMessageList, kEventDelete, 1, nullptr, kValueDelete);
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        if (!Record(i)->IsTicked()) continue;
        const int id = Record(i)->MessageId();
        delete m_list->takeTopLevelItem(i);
        m_store.Remove(id);
    }
}

void CMessageListDlg::Append(int messageId)
{
    if (const structMESSAGE* m = m_store.Find(messageId); m && !RecordOf(messageId))
        m_list->addTopLevelItem(new CMessageRecord(*m));
}

void CMessageListDlg::Refresh(int messageId)
{
    const structMESSAGE* m = m_store.Find(messageId);
    if (CMessageRecord* r = RecordOf(messageId); r && m) r->Show(*m);
}

void CMessageListDlg::Drop(int messageId)
{
    if (CMessageRecord* r = RecordOf(messageId)) delete r;
}

void CMessageListDlg::RefreshIcons()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) Refresh(Record(i)->MessageId());
}
