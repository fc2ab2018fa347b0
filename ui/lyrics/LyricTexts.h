#pragma once
#include <QString>

// The lyric views' own texts.
namespace lrctxt {

inline const QString kNoLyrics = QStringLiteral("抱歉，找不到歌词！");
inline const QString kPanelWelcome = QStringLiteral("欢迎使用VelcorOrdel客户端");
inline const QString kDesktopWelcome = QStringLiteral("欢迎使用Ordel");
// What an empty line shows, and what copying leaves out.
inline const QString kEmptyLine = QStringLiteral(".  .  .  .  .  .");

inline const QString kCopy = QStringLiteral("复制歌词");
inline const QString kAdjust = QStringLiteral("歌词调整");
inline const QString kEarlier = QStringLiteral("歌词前进0.5秒");
inline const QString kLater = QStringLiteral("歌词后退0.5秒");
inline const QString kSearch = QStringLiteral("搜索歌词...");
inline const QString kAssociate = QStringLiteral("关联本地歌词...");

inline const QString kDefaultFont = QStringLiteral("微软雅黑");
inline const QString kRoundFont = QStringLiteral("幼圆");
inline const QString kSchemeNames[4] = {QStringLiteral("优雅蓝"), QStringLiteral("可爱粉"), QStringLiteral("诱惑橙"),
                                        QStringLiteral("苹果绿")};

} // namespace lrctxt
