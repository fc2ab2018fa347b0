#pragma once
#include <QString>

// The player's interface texts, in Simplified Chinese: the one table the program chooses at
// start-up (the code page is always 936).
namespace txt {

inline const QString kProduct = QStringLiteral("Ordel");
inline const QString kControllerTitle = QStringLiteral("Ordel1.0 beta");
inline const QString kAboutMenu = QStringLiteral("&About Ordel...");

// Play bar, menus and tray.
inline const QString kPrevious = QStringLiteral("上一首");
inline const QString kNext = QStringLiteral("下一首");
inline const QString kPlay = QStringLiteral("播放");
inline const QString kPause = QStringLiteral("暂停");
inline const QString kPlayPauseMenu = QStringLiteral("播放/暂停");
inline const QString kStop = QStringLiteral("停止");
inline const QString kModeLoop = QStringLiteral("列表循环");
inline const QString kModeRandom = QStringLiteral("随机播放");
inline const QString kModeSingle = QStringLiteral("单曲循环");
inline const QString kSearch = QStringLiteral("搜索");
inline const QString kMiniMode = QStringLiteral("看图模式");
inline const QString kColor = QStringLiteral("换色");
inline const QString kStars[5] = {QStringLiteral("一星"), QStringLiteral("二星"), QStringLiteral("三星"),
                                  QStringLiteral("四星"), QStringLiteral("五星")};
inline const QString kVolumeUp = QStringLiteral("增加音量");
inline const QString kVolumeDown = QStringLiteral("减小音量");
inline const QString kFavorite = QStringLiteral("喜欢");
inline const QString kTrayRestore = QStringLiteral("返回");
inline const QString kTrayExit = QStringLiteral("退出");
inline const QString kTrayAbout = QStringLiteral("关于...");
inline const QString kCheckUpdate = QStringLiteral("检查更新");
inline const QString kEqualizer = QStringLiteral("均衡器");
inline const QString kTrackNotice = QStringLiteral("切歌时桌面通知");
inline const QString kShowSidePanel = QStringLiteral("显示歌词面板");

// The add menu.
inline const QString kAddMusic = QStringLiteral("添加音乐");
inline const QString kAddFiles = QStringLiteral("添加歌曲...");
inline const QString kAddFolder = QStringLiteral("添加文件夹...");
inline const QString kAddUrl = QStringLiteral("添加网络歌曲...");
inline const QString kAddAll = QStringLiteral("添加全部");
// The file chooser's one filter: the name "mp3(*.mp3);wma(*.wma)" over *.mp3 and *.wma in any case.
inline const QString kFileFilter = QStringLiteral("mp3(*.mp3);wma(*.wma) (*.mp3 *.wma *.MP3 *.WMA *.Mp3 *.Wma)");
inline const QString kAddFilesTitle = QStringLiteral("添加歌曲");
inline const QString kAddFolderTitle = QStringLiteral("请选择要添加的文件夹");

// Scans (their progress texts are the scan's own, ScanStatusText).
inline const QString kScanStop = QStringLiteral("停止");

// First-run dialog.
inline const QString kFirstSearchTitle = QStringLiteral("欢迎使用Ordel");
inline const QString kFirstSearchText = QStringLiteral("      您可以通过以下两种方式添加音乐到Ordel");
inline const QString kFirstSearchAll = QStringLiteral("添加全部音乐(此过程可能需要几分钟时间)");
inline const QString kFirstSearchFolder = QStringLiteral("指定文件夹添加音乐");
inline const QString kBrowse = QStringLiteral("浏览");
inline const QString kChooseSearchFolder = QStringLiteral("请指定搜索文件夹");
inline const QString kFirstSearchOk = QStringLiteral(" 确定");
inline const QString kChooseFolderWarning = QStringLiteral("请选择一个文件夹");
inline const QString kOk = QStringLiteral("确定");
inline const QString kCancel = QStringLiteral("取消");
inline const QString kNotice = QStringLiteral("提示");

// Stored data at risk.
inline const QString kDiskFull =
    QStringLiteral("磁盘空间已满，新添加的歌曲和列表的改动没有保存，下次启动时将不会出现。请腾出磁盘空间后重新添加。");
inline const QString kStoreNotWritable =
    QStringLiteral("音乐库文件无法写入，新添加的歌曲和列表的改动没有保存，下次启动时将不会出现。");

// Whole-computer scan and import-complete dialogs.
inline const QString kAllDiskTitle = QStringLiteral("添加全部");
inline const QString kAllDiskText = QStringLiteral("添加全部音乐的过程可能需要几分钟");
inline const QString kIgnoreDeleted = QStringLiteral("忽略曾经删除的音乐");
inline const QString kAddDoneTitle = QStringLiteral("成功添加音乐");
inline const QString kAddDoneBefore = QStringLiteral("您共有");
inline const QString kAddDoneAfter = QStringLiteral("首音乐被成功添加。");
inline const QString kDontShowAgain = QStringLiteral("不再提示");

// Add-address dialog.
inline const QString kAddUrlTitle = QStringLiteral("添加网络歌曲");
inline const QString kAddUrlAddress = QStringLiteral("网络地址：");
inline const QString kAddUrlSong = QStringLiteral("歌曲名：");
inline const QString kAddUrlArtist = QStringLiteral("歌手：");
inline const QString kAddUrlAlbum = QStringLiteral("专辑：");

// Update-success window and the about dialog.
inline const QString kUpdateSuccessTitle = QStringLiteral("升级成功");
inline const QString kAboutTitle = QStringLiteral("关于Ordel");
inline const QString kAboutVersion = QStringLiteral("版本 %1");

// Lyrics.
inline const QString kNoLyrics = QStringLiteral("抱歉，找不到歌词！");

// List view columns.
inline const QString kColumnSong = QStringLiteral("歌曲");
inline const QString kColumnArtist = QStringLiteral("歌手");
inline const QString kColumnAlbum = QStringLiteral("专辑");
inline const QString kColumnTime = QStringLiteral("时长");
inline const QString kColumnOnline = QStringLiteral("在线");

// Messages: feedback, the message list and a message's details.
inline const QString kFeedbackTitle = QStringLiteral("意见反馈");
inline const QString kFeedbackSubject = QStringLiteral("主题(请限制在30字内):");
inline const QString kFeedbackContent = QStringLiteral("内容(请限制在300字内):");
inline const QString kFeedbackSubmit = QStringLiteral("提交");
inline const QString kFeedbackNoSubject = QStringLiteral("请填写主题！");
inline const QString kFeedbackTooLong = QStringLiteral("您的建议内容过长，请限制在300字以内！");
inline const QString kFeedbackThanks = QStringLiteral("感谢您的反馈，我们会认真阅读您的意见！");
inline const QString kMessageListTitle = QStringLiteral("留言和反馈");
inline const QString kMessageClose = QStringLiteral("关闭");
inline const QString kMessageNew = QStringLiteral("新建留言");
inline const QString kMessageDelete = QStringLiteral("删除");
inline const QString kMessageColumnTitle = QStringLiteral("主题");
inline const QString kMessageColumnSource = QStringLiteral("状态");
inline const QString kMessageColumnTime = QStringLiteral("时间");
inline const QString kMessageInfoTitle = QStringLiteral("详细信息");
inline const QString kMessageInfoSubject = QStringLiteral("主题:");
inline const QString kMessageInfoContent = QStringLiteral("内容:");
inline const QString kMessageReply = QStringLiteral("回复");
inline const QString kUpdateNoticeTitle = QStringLiteral("发现新版本 %1");
inline const QString kUpdateNoticeText = QStringLiteral("Ordel %1 已经发布，您当前的版本是 %2。可以在主菜单的“检查更新”中升级。");

// Playlists: the row menu, the list menu and their dialogs.
inline const QString kAddTo = QStringLiteral("添加到");
inline const QString kNewListMenu = QStringLiteral("新建列表...");
inline const QString kNewListTitle = QStringLiteral("新建列表");
inline const QString kListNameLabel = QStringLiteral("列表名称：");
inline const QString kListNameTaken = QStringLiteral("列表名称已存在");
inline const QString kRemoveFromList = QStringLiteral("从列表中删除");
inline const QString kOpenFolder = QStringLiteral("打开文件所在位置");
inline const QString kRename = QStringLiteral("重命名");
inline const QString kDelete = QStringLiteral("删除");
inline const QString kPlayAll = QStringLiteral("播放全部");
inline const QString kDeleteListText = QStringLiteral("确定要删除列表“%1”吗？列表中的歌曲仍保留在本地音乐中。");
inline const QString kEmptyListHint = QStringLiteral("列表中还没有歌曲。\n点击“添加音乐”添加歌曲或文件夹，\n或把本地音乐中的歌曲拖到这个列表上。");
inline const QString kEmptyLibraryHint = QStringLiteral("还没有音乐。\n点击“添加音乐”添加歌曲或文件夹，\n或把音乐文件拖到这里。");
inline const QString kCannotPlay = QStringLiteral("无法播放：%1");

// Uploads to the cloud drive, as the message list keeps their ends.
inline const QString kUploadDoneTitle = QStringLiteral("上传成功：%1");
inline const QString kUploadDoneText = QStringLiteral("《%1》已上传到您的网盘。");
inline const QString kUploadFailedTitle = QStringLiteral("上传失败：%1");
inline const QString kUploadNoFile = QStringLiteral("《%1》没有上传：文件无法打开，或是空文件。");
inline const QString kUploadTooLarge = QStringLiteral("《%1》没有上传：文件超过了网盘的剩余空间。");
inline const QString kUploadNoConnection = QStringLiteral("《%1》没有上传：无法连接网盘服务（%2）。");
inline const QString kUploadNotSent = QStringLiteral("《%1》没有上传完：传送中断（%2）。");
inline const QString kUploadNoAnswer = QStringLiteral("《%1》已传送，但网盘服务没有应答（%2），请稍后在网盘中查看。");
inline const QString kUploadRefused = QStringLiteral("《%1》没有上传：网盘服务拒绝了这个文件（%2）。");

} // namespace txt
