#include "tests/ui/SkinDemo.h"

#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinEdit.h"
#include "ui/CSkinFrame.h"
#include "ui/CSkinLabel.h"
#include "ui/CSkinLayout.h"
#include "ui/CSkinNumText.h"
#include "ui/CSkinPicture.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"
#include "ui/CSkinSplitter.h"
#include "ui/CWndShadow.h"
#include "ui/ControlIds.h"
#include "ui/SkinScheme.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPainter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

namespace {

using namespace ctl;

QFont Px(int pixels, bool bold = false)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

template <class T>
T* Make(CSkinLayout& layout, int id)
{
    T* w = layout.Create<T>(id);
    Q_ASSERT(w);
    return w;
}

CSkinButton* Button(CSkinLayout& layout, int id, bool checkable = false, bool checked = false)
{
    auto* b = Make<CSkinButton>(layout, id);
    b->setCheckable(checkable);
    b->setChecked(checked);
    return b;
}

// A stand-in for the lyric panel: lines in skin colour 17, the current one in 16.
class DemoLyrics : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QStringList lines = {"晚风轻轻吹过海面", "带走白天所有的喧嚣", "我在岸边等一封信",
                                   "写着你说过的那句话", "潮水涨了又落", "灯火一盏一盏亮起",
                                   "远方的船慢慢靠岸", "我听见你轻声唱"};
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const int pitch = 30, current = 3;
        int top = height() / 2 - pitch * current - pitch / 2;
        for (int i = 0; i < lines.size(); ++i, top += pitch) {
            const bool now = i == current;
            p.setFont(Px(now ? 16 : 14, now));
            p.setPen(CSkin::Instance().Color(now ? 16 : 17));
            p.drawText(QRect(0, top, width(), pitch), Qt::AlignCenter, lines[i]);
        }
    }
};

std::unique_ptr<QWidget> MainWindow(const QString& profile)
{
    auto window = std::make_unique<QWidget>();
    QWidget* w = window.get();
    new CSkinFrame(w, kMainWnd, CSkinFrame::kResizable);
    w->resize(CSkinPosManage::Instance().DesignSize(kMainWnd));
    auto* main = new CSkinLayout(w, kMainWnd);

    Make<CSkinPicture>(*main, kBrand);
    const QStringList tabs = {"推荐音乐", "猜你喜欢", "搜索结果"};
    for (int i = 0; i < 3; ++i) {
        auto* tab = Button(*main, kTabRecommend + i, true, i == 0);
        tab->setText(tabs[i]);
        tab->SetTextColors(19, 9);
        tab->setFont(Px(14, i == 0));
    }
    auto* search = Make<CSkinEdit>(*main, kSearchEdit);
    search->setPlaceholderText("搜索歌曲、歌手、专辑");
    search->setFont(Px(12));
    Button(*main, kSearch);
    Make<CSkinPicture>(*main, kUserPic);
    auto* user = Make<CSkinLabel>(*main, kUserName);
    user->SetText("点击登录");
    user->SetColor(9);
    user->setFont(Px(13));
    for (int id : {kColorButton, kMainMenu, kMiniMode, kToTray, kExit}) Button(*main, id);
    Button(*main, kMaximize, true);

    // Tree pane | list, in the saved splitter.
    const SkinPosRecord* treePane = CSkinPosManage::Instance().Find(kTreePane);
    auto* split = new CSkinSplitter(1, CSkinSplitter::kVerticalBar, treePane->width / 2, profile, w);
    main->Attach(kContentSplitter, split);
    auto* tree = new CSkinPicture;
    tree->SetSkinName(treePane->name);
    auto* treeLayout = new CSkinLayout(tree, kTreePane);
    tree->resize(treePane->width, treePane->height);
    auto* add = Button(*treeLayout, kAddMenu);
    add->setText("添加音乐");
    add->SetTextColors(9, 9);
    add->SetTextIndent(14);
    add->setFont(Px(13, true));
    auto* nodes = new QTreeWidget(tree);
    treeLayout->Attach(kTree, nodes);
    nodes->setHeaderHidden(true);
    nodes->setRootIsDecorated(false);
    nodes->setIndentation(0);
    nodes->setIconSize(QSize(16, 16));
    nodes->setFrameShape(QFrame::NoFrame);
    nodes->setStyleSheet("QTreeWidget { background: transparent; } QTreeWidget::item { height: 32px; padding-left: 14px; }");
    auto icon = [](int frame) { return QIcon(CSkin::Instance().BitmapFrame("treeimage.bmp", frame)); };
    struct Node { const char* group; QList<std::pair<int, const char*>> items; };
    const QList<Node> groups = {
        {"我的音乐", {{0, "本地音乐"}, {6, "试听列表"}, {5, "我的收藏夹"}}},
        {"智能列表", {{2, "最近播放"}, {3, "最常播放"}, {4, "最近添加"}}},
        {"播放列表", {{1, "默认列表"}, {7, "云端列表"}}},
    };
    for (const Node& g : groups) {
        auto* header = new QTreeWidgetItem(nodes, QStringList(QString::fromUtf8(g.group)));
        header->setFlags(Qt::ItemIsEnabled);
        header->setFont(0, Px(12));
        header->setForeground(0, CSkin::Instance().Color(17));
        header->setExpanded(true);
        for (const auto& [frame, text] : g.items) {
            auto* item = new QTreeWidgetItem(header, QStringList(QString::fromUtf8(text)));
            item->setIcon(0, icon(frame));
            item->setFont(0, Px(13));
        }
    }
    nodes->expandAll();
    nodes->setCurrentItem(nodes->topLevelItem(0)->child(0));

    auto* list = new QTableWidget(14, 4);
    list->setHorizontalHeaderLabels({"歌曲", "歌手", "专辑", "时长"});
    list->verticalHeader()->hide();
    list->setShowGrid(false);
    list->setAlternatingRowColors(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setFrameShape(QFrame::NoFrame);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->verticalHeader()->setDefaultSectionSize(34);
    list->setIconSize(QSize(16, 16));
    const char* rows[][4] = {
        {"晚风与海", "林晓", "海边的风", "04:00"},    {"城市的灯火", "陈默", "夜行", "03:42"},
        {"远方来信", "苏小雨", "远方来信", "04:18"},  {"青石巷", "周远", "江南旧事", "03:55"},
        {"雨后初晴", "白桦乐队", "四季", "04:31"},    {"星河入梦", "苏小雨", "远方来信", "05:02"},
        {"旧时光", "林晓", "海边的风", "03:27"},      {"山间小路", "周远", "江南旧事", "04:09"},
        {"北方的冬天", "陈默", "夜行", "04:44"},      {"梦里花开", "白桦乐队", "四季", "03:58"},
        {"Summer Rain", "Lena Hart", "Blue Hours", "03:33"}, {"海边的风", "林晓", "海边的风", "04:12"},
        {"秋日长信", "苏小雨", "远方来信", "04:05"},  {"午夜电台", "陈默", "夜行", "03:49"},
    };
    for (int r = 0; r < 14; ++r)
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(QString::fromUtf8(rows[r][c]));
            item->setFont(Px(13));
            if (c != 0) item->setForeground(CSkin::Instance().Color(17));
            list->setItem(r, c, item);
        }
    list->item(0, 0)->setIcon(icon(0));
    list->item(0, 0)->setForeground(CSkin::Instance().Color(16));
    list->setColumnWidth(0, 180);
    list->setColumnWidth(1, 100);
    list->setColumnWidth(2, 110);
    list->horizontalHeader()->setStretchLastSection(true);
    list->selectRow(2);
    split->SetPanes(tree, list);

    // Side panel: cover and lyrics.
    auto* side = Make<CSkinPicture>(*main, kSidePanel);
    auto* sideLayout = new CSkinLayout(side, kSidePanel);
    Button(*sideLayout, kClosePanel);
    Make<CSkinPicture>(*sideLayout, kPlayerView)->SetCornerRadius(12);
    auto* host = Make<CSkinPicture>(*sideLayout, kLyricHost);
    auto* lyrics = new DemoLyrics(host);
    lyrics->setGeometry(host->rect().adjusted(5, 5, -5, -5));

    // Play bar.
    Button(*main, kPrev);
    Button(*main, kPlayPause, true, true);
    Button(*main, kNext);
    Button(*main, kStop);
    Make<CSkinPicture>(*main, kSeparatorLeft);
    Make<CSkinPicture>(*main, kSeparatorRight);
    auto* title = Make<CSkinLabel>(*main, kTitleText);
    title->SetText("晚风与海 - 林晓");
    title->setFont(Px(14));
    Button(*main, kFavorite, true, true);
    for (int i = 0; i < 5; ++i) Button(*main, kStar1 + i, true, i < 3);
    auto* elapsed = Make<CSkinNumText>(*main, kTimeElapsed);
    elapsed->SetText("01:32");
    auto* progress = Make<CSkinSlider>(*main, kProgress);
    progress->setValue(38);
    progress->SetBuffer(72);
    auto* remaining = Make<CSkinNumText>(*main, kTimeRemaining);
    remaining->SetText("-02:28");
    remaining->SetAlignment(Qt::AlignRight);
    Button(*main, kModeLoop, true, true);
    Button(*main, kModeRandom, true);
    Button(*main, kModeSingle, true);
    Button(*main, kVolumeDown);
    Make<CSkinSlider>(*main, kVolume)->setValue(60);
    Button(*main, kVolumeUp);
    Button(*main, kLocatePlaying);
    Button(*main, kLyricToggle, true, true);
    return window;
}

std::unique_ptr<QWidget> MiniWindow()
{
    auto window = std::make_unique<QWidget>();
    QWidget* w = window.get();
    new CSkinFrame(w, kMiniWnd, CSkinFrame::kShadow);
    w->resize(CSkinPosManage::Instance().DesignSize(kMiniWnd));
    auto* layout = new CSkinLayout(w, kMiniWnd);
    auto* title = Make<CSkinLabel>(*layout, kMiniTitle);
    title->SetText("晚风与海 - 林晓");
    title->SetColor(9);
    title->setFont(Px(13));
    Button(*layout, kMiniRestore);
    Button(*layout, kMiniClose);
    Make<CSkinPicture>(*layout, kMiniPicture)->SetCornerRadius(12);
    Make<CSkinSlider>(*layout, kMiniProgress)->setValue(38);
    Button(*layout, kMiniPrev);
    Button(*layout, kMiniPlay, true, true);
    Button(*layout, kMiniNext);
    return window;
}

std::unique_ptr<QWidget> ColorPanel(int scheme)
{
    auto window = std::make_unique<QWidget>();
    new CSkinFrame(window.get(), kColorPanel, CSkinFrame::kShadow);
    window->resize(CSkinPosManage::Instance().DesignSize(kColorPanel));
    auto* layout = new CSkinLayout(window.get(), kColorPanel);
    for (int i = 0; i < 3; ++i) Button(*layout, kColor0 + i, true, i == scheme);
    return window;
}

std::unique_ptr<QWidget> LyricBar()
{
    auto window = std::make_unique<QWidget>();
    new CSkinFrame(window.get(), kLyricBar, CSkinFrame::kShadow);
    window->resize(CSkinPosManage::Instance().DesignSize(kLyricBar));
    auto* layout = new CSkinLayout(window.get(), kLyricBar);
    for (int i = 0; i < 4; ++i) Button(*layout, kLrcScheme0 + i, true, i == 0);
    Button(*layout, kLrcClose);
    auto* fonts = Make<QComboBox>(*layout, kLrcFontList);
    fonts->addItem("微软雅黑");
    fonts->setFont(Px(12));
    fonts->setStyleSheet("QComboBox { background: #32373e; color: #e8eaec; border: 1px solid #4a5058; border-radius: 3px; padding: 2px 8px; }");
    return window;
}

void DrawWithShadow(QPainter& p, QWidget* window, QPoint at)
{
    const QPixmap shot = window->grab();
    p.drawImage(at - QPoint(10, 10) + QPoint(0, 3), CWndShadow::Render(shot.size(), 70, 14, 10, Qt::black));
    p.drawPixmap(at, shot);
}

} // namespace

QImage RenderSkinDemo(const QString& skinDir, int scheme, bool small)
{
    StartSkin(skinDir, scheme);
    CSkinPosManage::Instance().Load(skinDir + LayoutFileName(small ? 600 : 1080, false));
    QTemporaryDir profile;
    auto main = MainWindow(profile.filePath("profile.ini"));
    auto mini = MiniWindow();
    auto colors = ColorPanel(scheme);
    auto bar = LyricBar();
    for (QWidget* w : {main.get(), mini.get(), colors.get(), bar.get()}) {
        w->setAttribute(Qt::WA_DontShowOnScreen);
        w->show();
    }
    QCoreApplication::processEvents();

    const QSize mainSize = main->size();
    QImage desk(mainSize.width() + bar->width() + 100, std::max(mainSize.height(), 560) + 60, QImage::Format_RGB32);
    QPainter p(&desk);
    QLinearGradient g(0, 0, desk.width(), desk.height());
    g.setColorAt(0, QColor(206, 214, 222));
    g.setColorAt(1, QColor(231, 235, 239));
    p.fillRect(desk.rect(), g);
    DrawWithShadow(p, main.get(), QPoint(30, 30));
    const int right = 30 + mainSize.width() + 40;
    DrawWithShadow(p, mini.get(), QPoint(right, 30));
    DrawWithShadow(p, colors.get(), QPoint(right, 30 + mini->height() + 30));
    DrawWithShadow(p, bar.get(), QPoint(right, 30 + mini->height() + 30 + colors->height() + 30));
    p.end();
    return desk;
}
