#pragma once
#include <QString>

// A control that draws itself from skin bitmaps: the layout hands it the name of its record.
class ISkinControl {
public:
    virtual ~ISkinControl() = default;
    virtual void SetSkinName(const QString& name) = 0;
};
