#pragma once
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>

#include "ui/CSkinPosManage.h"

class QWidget;

// Places the controls of one window (or pane) by their layout records, now and whenever the
// window's size changes. Controls are placed in the window's contents rectangle, so a frame or
// shadow margin is kept clear. A control whose id has no record is left as it is.
class CSkinLayout : public QObject {
    Q_OBJECT
public:
    CSkinLayout(QWidget* window, int wndId, const CSkinPosManage& layout = CSkinPosManage::Instance());

    int WndId() const { return m_wndId; }
    // The design size of the window (its own record), or empty.
    QSize DesignSize() const { return m_layout.DesignSize(m_wndId); }

    // Moves `control` to its record's place (making it a child of the window when it is not)
    // and hands a skinned control its bitmap name; the control follows the window's size from
    // then on. False (the control untouched) when the id
    // has no record.
    bool Attach(int ctrlId, QWidget* control);

    // Makes a control of type T as a visible child of the window at its record's place, with
    // the id as its control id; none (nullptr) when the id has no record.
    template <class T>
    T* Create(int ctrlId)
    {
        if (!m_layout.Find(ctrlId)) return nullptr;
        auto* control = new T(m_window);
        Attach(ctrlId, control);
        control->show();
        return control;
    }

    // Places every attached control again.
    void Relayout();
    // Where the record puts a control now, in window coordinates; empty when unknown.
    QRect RectOf(int ctrlId) const;
    QWidget* Control(int ctrlId) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Compute(int ctrlId, QRect& out) const;
    bool PlaceOne(int ctrlId, QWidget* control) const;

    QWidget* m_window;
    int m_wndId;
    const CSkinPosManage& m_layout;
    QHash<int, QPointer<QWidget>> m_controls;
};

// The control id a control was placed with, or 0.
int ControlId(const QWidget* control);
