#include "ui/CSkinPosManage.h"

#include "base/XmlFile.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <tinyxml2.h>

namespace {

// Decimal as the layout files have always been read: leading digits, anything else 0.
int AttrInt(const tinyxml2::XMLElement* e, const char* name)
{
    const char* text = e->Attribute(name);
    if (!text) return 0;
    const long value = std::strtol(text, nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN / 4, INT_MAX / 4));
}

} // namespace

bool PlaceRecord(const SkinPosRecord& r, const QRect& parent, QRect& out)
{
    // Client rectangles: right and bottom are exclusive, so they are left + width, top + height.
    const int right = parent.x() + parent.width();
    const int bottom = parent.y() + parent.height();
    int left = 0, top = 0;
    switch (r.alignType) {
    case kAlignTopLeft: left = r.x; top = r.y; break;
    case kAlignTopRight: left = right - r.x; top = r.y; break;
    case kAlignBottomLeft: left = r.x; top = bottom - r.y; break;
    case kAlignBottomRight: left = right - r.x; top = bottom - r.y; break;
    case kAlignPercentX: left = int(qint64(parent.width()) * r.x / 100); top = r.y; break;
    case kAlignPercentY: left = r.x; top = int(qint64(parent.height()) * r.y / 100); break;
    default: return false;
    }
    out = QRect(left, top, r.width, r.height);
    return true;
}

bool PlaceRecordStretched(const SkinPosRecord& r, const QRect& parent, const QSize& designSize, QRect& out)
{
    QRect rect;
    if (!PlaceRecord(r, parent, rect)) return false;
    if (!designSize.isEmpty()) {
        const bool fromRight = r.alignType == kAlignTopRight || r.alignType == kAlignBottomRight;
        const bool fromBottom = r.alignType == kAlignBottomLeft || r.alignType == kAlignBottomRight;
        if (r.stretch & kStretchWidth) {
            const int width = std::max(0, rect.width() + parent.width() - designSize.width());
            if (fromRight) rect.setLeft(rect.left() + rect.width() - width);
            rect.setWidth(width);
        }
        if (r.stretch & kStretchHeight) {
            const int height = std::max(0, rect.height() + parent.height() - designSize.height());
            if (fromBottom) rect.setTop(rect.top() + rect.height() - height);
            rect.setHeight(height);
        }
    }
    out = rect;
    return true;
}

CSkinPosManage& CSkinPosManage::Instance()
{
    static CSkinPosManage instance;
    return instance;
}

void CSkinPosManage::Clear()
{
    m_records.clear();
    m_order.clear();
}

bool CSkinPosManage::Load(const QString& path)
{
    Clear();
    tinyxml2::XMLDocument doc;
    if (ReadXmlFile(path, doc) != XmlFileRead::Parsed) return false;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) return false;
    for (auto* wnd = root->FirstChildElement("wnd"); wnd; wnd = wnd->NextSiblingElement("wnd")) {
        const int wndId = AttrInt(wnd, "id");
        for (auto* ctrl = wnd->FirstChildElement("ctrl"); ctrl; ctrl = ctrl->NextSiblingElement("ctrl")) {
            SkinPosRecord r;
            r.wndId = wndId;
            r.ctrlId = AttrInt(ctrl, "id");
            r.x = AttrInt(ctrl, "x");
            r.y = AttrInt(ctrl, "y");
            r.width = AttrInt(ctrl, "width");
            r.height = AttrInt(ctrl, "height");
            r.alignType = AttrInt(ctrl, "aligntype");
            r.stretch = AttrInt(ctrl, "stretch");
            r.name = XmlAttrText(ctrl, "name");
            if (!m_records.contains(r.ctrlId)) m_order.append(r.ctrlId);
            m_records.insert(r.ctrlId, r);
        }
    }
    return true;
}

const SkinPosRecord* CSkinPosManage::Find(int ctrlId) const
{
    const auto it = m_records.constFind(ctrlId);
    return it == m_records.constEnd() ? nullptr : &it.value();
}

bool CSkinPosManage::Place(const QRect& parent, QRect& out, int ctrlId) const
{
    const SkinPosRecord* r = Find(ctrlId);
    return r && PlaceRecord(*r, parent, out);
}

QList<SkinPosRecord> CSkinPosManage::RecordsOf(int wndId) const
{
    QList<SkinPosRecord> list;
    for (int id : m_order) {
        const SkinPosRecord& r = m_records[id];
        if (r.wndId == wndId && r.ctrlId != wndId) list.append(r);
    }
    return list;
}

QSize CSkinPosManage::DesignSize(int wndId) const
{
    const SkinPosRecord* r = Find(wndId);
    return r ? QSize(r->width, r->height) : QSize();
}

QList<int> CSkinPosManage::WindowIds() const
{
    QList<int> ids;
    for (int id : m_order) {
        const int wnd = m_records[id].wndId;
        if (!ids.contains(wnd)) ids.append(wnd);
    }
    return ids;
}
