#pragma once
// Dialog template numbers: the window number of the operation records written in each window.
// The main window (102) and the picture-view window (131) share their numbers with their
// layout records (ui/ControlIds.h).
namespace wnd {
constexpr int kAbout = 100;
constexpr int kMain = 102;
constexpr int kController = 129;
constexpr int kView = 131;
constexpr int kFirstSearch = 140;
constexpr int kAllDiskScan = 141;
constexpr int kAddMusicDone = 142;
constexpr int kAddUrl = 143;
constexpr int kUpdateSuccess = 144;
constexpr int kFeedback = 138;
constexpr int kMessageInfo = 140;
constexpr int kMessageList = 141;
constexpr int kLogin = 150;
constexpr int kFindPwd = 151;
constexpr int kModifyPwd = 152;
constexpr int kUserInfo = 153;
constexpr int kNetAddMsg = 157;
} // namespace wnd
