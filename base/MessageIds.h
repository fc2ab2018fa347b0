#pragma once
// Window message values, as the player's windows exchange them (WM_USER = 1024 plus n).
// Every message that crosses folders is listed here; a class's private messages stay with it.

constexpr unsigned WM_USER_BASE = 1024;

// Audio engine -> controller -> listeners: wParam 0 connecting, 1 buffering (lParam percent),
// 2 started, 3 open failed, 4 size unknown.
constexpr unsigned WM_ENGINE_NOTIFY = 1579;

// Controller -> listeners.
constexpr unsigned WM_PLAY_PROGRESS = 1571;   // length in s, percent
constexpr unsigned WM_PLAY_STATE = 1572;      // play state
constexpr unsigned WM_PLAY_STOPPED = 1573;    // stopped
constexpr unsigned WM_BUFFER_PERCENT = 1580;  // buffer percent
constexpr unsigned WM_ONLINE_CHANGED = 1582;  // online state changed (WM_USER+558)

// Lyrics protocol between the controller, the main window and the lyric views.
constexpr unsigned WM_LRC_READY = 2133;       // WM_USER+1109, lParam = the track
// Lyrics worker -> controller: the service has no lyrics for lParam's track (the panel says so).
constexpr unsigned WM_LRC_NOT_FOUND = 2134;   // WM_USER+1110
constexpr unsigned WM_LRC_LOADED = 1144;      // WM_USER+120
constexpr unsigned WM_LRC_UNLOAD = 1145;      // WM_USER+121
constexpr unsigned WM_LRC_PAUSE = 1146;       // WM_USER+122
constexpr unsigned WM_LRC_NEXTLINE = 1147;    // WM_USER+123, wParam = new index
constexpr unsigned WM_LRC_SEEK = 1148;        // WM_USER+124, lParam = time in ms
constexpr unsigned WM_LRC_REFRESH = 1134;     // WM_USER+110
constexpr unsigned WM_LRCBAR_LOADED = 1154;   // WM_USER+130
constexpr unsigned WM_LRCBAR_UNLOAD = 1155;   // WM_USER+131
constexpr unsigned WM_LRCBAR_PAUSE = 1156;    // WM_USER+132
constexpr unsigned WM_LRCBAR_NEXTLINE = 1157; // WM_USER+133

// Pages -> controller.
constexpr unsigned WM_PLAY_NOW = 1560;        // WM_USER+536, lParam 1 when the queue was empty
constexpr unsigned WM_ADD_NET_TRACK = 1563;   // WM_USER+539

// Scan workers -> controller.
constexpr unsigned WM_IMPORT_DONE = 1526;     // import complete
// File-track reader's worker -> the reader: the batch wParam is read.
constexpr unsigned WM_FILE_TRACKS_READ = 1650;
constexpr unsigned WM_DISK_SCAN_PROGRESS = 1606;
// Scan workers -> main window: what the progress window and the tree show; wParam is one of
// the ScanStatus values (library/LibraryScan.h), lParam the count where the text has one.
constexpr unsigned WM_SCAN_STATUS = 1527;     // WM_USER+503

// Start-up.
constexpr unsigned WM_FIRST_RUN = 1525;       // WM_USER+501, show the first-run dialog
constexpr unsigned WM_SHOW_WINDOW = 1532;     // WM_USER+508
constexpr unsigned WM_OPEN_HANDOVER = 1533;   // WM_USER+509, open the hand-over files
constexpr unsigned WM_LIBRARY_LOADED = 1569;  // WM_USER+545, library and tree loaded

// Main window and shell.
constexpr unsigned WM_TRAY_NOTIFY = 1543;     // tray icon callback
constexpr unsigned WM_SHELL_CHANGE = 1544;    // WM_USER+520, file-system change notification
constexpr unsigned WM_TREE_SELECT = 1591;     // a list node was selected in the tree
constexpr unsigned WM_UPDATE_SUCCESS_SEEN = 1592; // sets the update counter to 1
constexpr unsigned WM_LOGIN_PROMPT = 7001;    // wParam 1412: open the login prompt
constexpr unsigned kLoginPromptSource = 1412;

// Upload worker -> page view: lParam 1 progress, 0 end of job.
constexpr unsigned WM_UPLOAD_NOTIFY = 1124;
// Cloud-group progress window: percent (1126), done and total counts (1125).
constexpr unsigned WM_SYNC_COUNTS = 1125;
constexpr unsigned WM_SYNC_PERCENT = 1126;

// Sign-in page -> sign-in dialog -> controller.
constexpr unsigned WM_LOGIN_RESULT = 1607;    // WM_USER+583, text in wParam
constexpr unsigned WM_LOGIN_SESSION = 1608;   // session id
constexpr unsigned WM_USER_INFO_READY = 1609; // user details ready

// Service requests -> main window: request status, with the status codes below.
constexpr unsigned WM_SERVICE_STATUS = 3024;
constexpr int SERVICE_UNREACHABLE = 3025;
constexpr int SERVICE_FAILED = 3026;
constexpr int SERVICE_MALFORMED = 3027;

// Service tasks -> main window: cloud groups loaded; busy begin (201) and end (202).
constexpr unsigned WM_CLOUD_GROUPS_LOADED = 3524;
constexpr unsigned WM_CLOUD_BUSY = 3624;
