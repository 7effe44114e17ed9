#pragma once

#include "forms/CDDesign.h"

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <string_view>

namespace pelorix {

class CDDesigns;

// A widget as a layout control: place and size in twips inside its parent. A widget that has
// been destroyed since its registration is error 91 for every call (which the layout ignores).
class WidgetLayoutControl final : public ILayoutControl {
public:
    explicit WidgetLayoutControl(QWidget& widget) : m_widget(&widget) {}

    double Left() const override;
    double Top() const override;
    double Width() const override;
    double Height() const override;
    bool Enabled() const override;
    bool Visible() const override;
    void Move(std::int32_t left, std::int32_t top) override;
    void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;

private:
    QWidget& widget() const;

    QPointer<QWidget> m_widget;
};

// A top-level window as a layout form. Its size is measured without the frame: the frame is not
// known until the window is first shown, so measuring it would let a registration made while
// loading disagree with every later resize; the layout only uses differences of sizes, which the
// frame does not change.
class WidgetLayoutForm final : public ILayoutForm {
public:
    explicit WidgetLayoutForm(const QWidget& window) : m_window(window) {}
    double Width() const override;
    double Height() const override;

private:
    const QWidget& m_window;
};

// The calls a window makes: the reference size from the window, each control under its object
// name, and every control moved for the window's current size.
void setDesignForm(CDDesigns& designs, const QWidget& window);
void addWidgetDesign(CDDesigns& designs, QWidget& control, std::int16_t kind);
void moveDesigns(CDDesigns& designs, const QWidget& window);

} // namespace pelorix
