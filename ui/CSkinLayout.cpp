#include "ui/CSkinLayout.h"

#include "ui/ISkinControl.h"

#include <QEvent>
#include <QWidget>

namespace {
const char kControlIdProperty[] = "ordelControlId";
}

int ControlId(const QWidget* control)
{
    return control ? control->property(kControlIdProperty).toInt() : 0;
}

CSkinLayout::CSkinLayout(QWidget* window, int wndId, const CSkinPosManage& layout)
    : QObject(window), m_window(window), m_wndId(wndId), m_layout(layout)
{
    window->installEventFilter(this);
}

bool CSkinLayout::Compute(int ctrlId, QRect& out) const
{
    const SkinPosRecord* record = m_layout.Find(ctrlId);
    if (!record) return false;
    // Records measure from the contents' own corner, as in a client rectangle.
    const QRect contents = m_window->contentsRect();
    QRect rect;
    if (!PlaceRecordStretched(*record, QRect(QPoint(0, 0), contents.size()), DesignSize(), rect)) return false;
    out = rect.translated(contents.topLeft());
    return true;
}

QRect CSkinLayout::RectOf(int ctrlId) const
{
    QRect rect;
    Compute(ctrlId, rect);
    return rect;
}

bool CSkinLayout::PlaceOne(int ctrlId, QWidget* control) const
{
    QRect rect;
    if (!Compute(ctrlId, rect)) return false;
    control->setGeometry(rect);
    return true;
}

bool CSkinLayout::Attach(int ctrlId, QWidget* control)
{
    const SkinPosRecord* record = m_layout.Find(ctrlId);
    if (!record || !control) return false;
    QRect rect;
    if (!Compute(ctrlId, rect)) return false;
    // Records are in the window's coordinates: the control has to live in it.
    if (control->parentWidget() != m_window) {
        control->setParent(m_window);
        control->show();
    }
    control->setGeometry(rect);
    control->setProperty(kControlIdProperty, ctrlId);
    if (auto* skinned = dynamic_cast<ISkinControl*>(control)) skinned->SetSkinName(record->name);
    m_controls.insert(ctrlId, control);
    return true;
}

void CSkinLayout::Relayout()
{
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        if (it.value()) PlaceOne(it.key(), it.value());
}

QWidget* CSkinLayout::Control(int ctrlId) const { return m_controls.value(ctrlId); }

bool CSkinLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::ContentsRectChange))
        Relayout();
    return QObject::eventFilter(watched, event);
}
