#pragma once
// Window and control ids of the skinned windows, as the layout files name them. A control's id
// is also the command it sends where it has one. Ids are unique across all windows.

namespace ctl {

// Windows and panes: each has its own record (its design size and background) and the
// records of its controls.
constexpr int kMainWnd = 102;        // the main window
constexpr int kMiniWnd = 131;        // the picture-view (mini) window
constexpr int kLyricHost = 153;      // the lyric panel's host, a pane of the side panel
constexpr int kLyricBar = 163;       // the control bar over the desktop lyrics
constexpr int kColorPanel = 170;     // the popup with the three colour schemes
constexpr int kContentSplitter = 1070; // tree pane | view pane, splitter number 1
constexpr int kTreePane = 1071;
constexpr int kViewPane = 1072;      // the list view 1001 and the pages fill it
constexpr int kSidePanel = 1073;     // cover and lyrics

// Main window commands.
constexpr int kListView = 1001;
constexpr int kPlayPause = 1002;
constexpr int kStop = 1003;
constexpr int kPrev = 1004;
constexpr int kNext = 1005;
constexpr int kExit = 1016;
constexpr int kMaximize = 1023;
constexpr int kToTray = 1024;
constexpr int kModeLoop = 1025;
constexpr int kModeRandom = 1026;
constexpr int kModeSingle = 1512;
constexpr int kAddMenu = 1029;
constexpr int kSearch = 1030;
constexpr int kLocatePlaying = 1107;
constexpr int kClosePanel = 1164;
constexpr int kMiniMode = 1165;
constexpr int kMiniModeMenu = 1430;
constexpr int kLyricToggle = 1432;
constexpr int kColor0 = 1433;        // 1433 + scheme
constexpr int kColor1 = 1434;
constexpr int kColor2 = 1435;
constexpr int kStar1 = 1436;         // 1436 + n - 1 for star n, up to 1440
constexpr int kStar5 = 1440;
constexpr int kVolumeUp = 1441;
constexpr int kVolumeDown = 1442;
constexpr int kFavorite = 1443;
constexpr int kMainMenu = 1521;

// Main window controls without a command of their own.
constexpr int kBrand = 1040;
constexpr int kTabRecommend = 1041;  // page "musicrecommand"
constexpr int kTabLike = 1042;       // page "musiclikename"
constexpr int kTabSearch = 1043;     // page "search"
constexpr int kSearchEdit = 1045;
constexpr int kUserPic = 1046;
constexpr int kUserName = 1047;
constexpr int kColorButton = 1048;   // opens the colour panel
constexpr int kPlayerView = 1049;    // the cover, "logo.bmp" without one
constexpr int kTitleText = 1051;
constexpr int kTimeElapsed = 1052;
constexpr int kTimeRemaining = 1053;
constexpr int kProgress = 1054;
constexpr int kVolume = 1056;
constexpr int kTree = 1057;
constexpr int kSeparatorLeft = 1058;
constexpr int kSeparatorRight = 1059;

// Picture-view window.
constexpr int kMiniRestore = 1302;   // back to the main window
constexpr int kMiniClose = 1303;
constexpr int kMiniPicture = 1304;   // the cover, "viewmodepic.bmp" without one
constexpr int kMiniTitle = 1305;
constexpr int kMiniProgress = 1306;
constexpr int kMiniPrev = 1307;
constexpr int kMiniPlay = 1308;
constexpr int kMiniNext = 1309;

// Desktop lyric bar.
constexpr int kLrcScheme0 = 1197;    // 1197 + lyric colour scheme, up to 1200
constexpr int kLrcClose = 1201;
constexpr int kLrcFontList = 1202;

} // namespace ctl
