#pragma once
#include <QString>

// The check the add-address dialog runs on its confirm button.
enum class AddUrlCheck {
    Valid,   // pass it on to the controller, which makes the network track
    Invalid, // show kInvalidUrlText / kInvalidUrlCaption and keep the dialog open
    Ignored, // neither http nor mms: nothing happens, the dialog stays open
};

// The scheme is the text before the first ":". An "http" address (scheme in any case) must go on
// with "://" and end in ".mp3" or ".wma" in lower case; an "mms" address (scheme in lower case)
// must go on with "://" and be at least 10 characters long.
AddUrlCheck CheckAddUrl(const QString& address);

extern const char16_t* const kInvalidUrlText;    // "网络链接为无效地址！"
extern const char16_t* const kInvalidUrlCaption; // "错误!"
