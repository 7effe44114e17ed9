#include "forms/WidgetLayout.h"

#include "forms/CDDesigns.h"
#include "forms/Twips.h"

#include <memory>

namespace pelorix {

QWidget& WidgetLayoutControl::widget() const {
    if (m_widget.isNull())
        throw vberr::make(vberr::ObjectNotSet);
    return *m_widget;
}

double WidgetLayoutControl::Left() const {
    return twipsFromPixelsX(widget(), widget().x());
}

double WidgetLayoutControl::Top() const {
    return twipsFromPixelsY(widget(), widget().y());
}

double WidgetLayoutControl::Width() const {
    return twipsFromPixelsX(widget(), widget().width());
}

double WidgetLayoutControl::Height() const {
    return twipsFromPixelsY(widget(), widget().height());
}

bool WidgetLayoutControl::Enabled() const {
    // The control's own state, whatever its parents'.
    return widget().isEnabledTo(widget().parentWidget());
}

bool WidgetLayoutControl::Visible() const {
    // The control's own state: a control of a window not shown yet is still visible.
    return !widget().isHidden();
}

void WidgetLayoutControl::Move(std::int32_t left, std::int32_t top) {
    moveTwips(widget(), left, top);
}

void WidgetLayoutControl::Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    setTwipsGeometry(widget(), left, top, width, height);
}

double WidgetLayoutForm::Width() const {
    return twipsFromPixelsX(m_window, m_window.width());
}

double WidgetLayoutForm::Height() const {
    return twipsFromPixelsY(m_window, m_window.height());
}

void setDesignForm(CDDesigns& designs, const QWidget& window) {
    designs.SetForm(WidgetLayoutForm(window));
}

void addWidgetDesign(CDDesigns& designs, QWidget& control, std::int16_t kind) {
    designs.AddDesign(std::make_unique<WidgetLayoutControl>(control), kind,
                      control.objectName().toStdString());
}

void moveDesigns(CDDesigns& designs, const QWidget& window) {
    designs.MoveDesign(WidgetLayoutForm(window));
}

} // namespace pelorix
