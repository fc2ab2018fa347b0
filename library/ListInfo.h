#pragma once
#include <QString>

// What cloud play groups and the tree pane keep about a list besides its members.
struct ListInfo {
    QString displayName;
    bool stored = false; // the node's TreeNode row is known to exist
    int groupId = 0;     // the service's id of the play group the node shows (cloud groups)
    QString groupName;
    bool loaded = false; // a cloud group's songs have been fetched
};

// What sharing a list keeps; nothing fills it yet.
struct ShareInfo {
};
