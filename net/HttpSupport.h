#pragma once
// Helpers shared by the POST, the GET and the reachability check.
#include <QString>

#include <curl/curl.h>

struct UrlParts {
    QString scheme;  // lower case; "http" when the URL has none
    QString host;
    int port = 80;   // the URL's, else 80 (443 for https)
    bool hasPort = false;
    QString object;  // path with query, "/" when empty
};
// Takes the text after the first "://"; the port is searched only in the authority (before
// the first "/"), so a ":" in a path or query never moves the host.
UrlParts SplitUrl(const QString& url);

// The options every transfer shares: no signals (worker threads), the environment's proxy
// settings but never a proxy for loopback, an abort once the process is exiting, and http and
// https as the only protocols, for the request and any redirect.
void SetCommonOptions(CURL* curl);

// True for a loopback host: "localhost", 127.0.0.0/8, ::1.
bool IsLoopbackHost(const QString& host);
