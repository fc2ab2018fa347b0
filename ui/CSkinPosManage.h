#pragma once
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>

// One control's place in a layout file: the window (parent) it belongs to, where it sits and
// which bitmap it shows. `name` is a bitmap file name in the skin folder, a slider's base name
// (no ".bmp": see SliderBitmapNames), or empty.
struct SkinPosRecord {
    int wndId = 0;
    int ctrlId = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int alignType = 0;
    QString name;
    // Our addition to the file: 1 the control grows with its parent's width, 2 with its height,
    // 3 both (by how much the parent is larger than its design size). Missing means 0.
    int stretch = 0;
};

// Align types: where the record's x and y are measured from in the parent.
enum SkinAlign {
    kAlignTopLeft = 0,     // left = x, top = y
    kAlignTopRight = 1,    // left = parent right - x
    kAlignBottomLeft = 2,  // top = parent bottom - y
    kAlignBottomRight = 3, // both from the far edges
    kAlignPercentX = 4,    // left = parent width * x / 100
    kAlignPercentY = 5,    // top = parent height * y / 100
};
enum SkinStretch { kStretchNone = 0, kStretchWidth = 1, kStretchHeight = 2, kStretchBoth = 3 };

// The control's rectangle in `parent` (a client rectangle: its right and bottom are exclusive,
// left + width). False, and `out` untouched, for an align type the table does not know.
bool PlaceRecord(const SkinPosRecord& record, const QRect& parent, QRect& out);

// As PlaceRecord, then the record's stretch adds the parent's growth beyond `designSize` to the
// width and height; a control measured from the right or bottom edge keeps that edge. A size
// never goes below 0. An empty design size means no growth.
bool PlaceRecordStretched(const SkinPosRecord& record, const QRect& parent, const QSize& designSize, QRect& out);

// The layout of every owner-drawn control, read from a layout file: a root element with `wnd`
// children (attribute `id`), each with `ctrl` children (`id`, `x`, `y`, `width`, `height`,
// `aligntype`, `name`, and our optional `stretch`). Control ids are unique across windows: a
// later record with the same id replaces the earlier one. A window's own record (control id =
// window id) gives its design size and background; a window can also be a control of another
// window (a pane), whose record then gives the pane's design size.
class CSkinPosManage {
public:
    static CSkinPosManage& Instance(); // the program's layout, made on first use

    // Replaces the map with the file's records; a file that does not load leaves it empty.
    bool Load(const QString& path);
    void Clear();

    const SkinPosRecord* Find(int ctrlId) const;
    // False, `out` untouched, when the id has no record or its align type is unknown.
    bool Place(const QRect& parent, QRect& out, int ctrlId) const;

    // The records whose window is `wndId`, in file order (later duplicates in the place of the
    // record they replaced), without the window's own record.
    QList<SkinPosRecord> RecordsOf(int wndId) const;
    // The size of `wndId`'s own record, or an empty size.
    QSize DesignSize(int wndId) const;
    QList<int> WindowIds() const;
    int Count() const { return int(m_records.size()); }

private:
    QHash<int, SkinPosRecord> m_records;
    QList<int> m_order; // control ids in the order of their first appearance
};
