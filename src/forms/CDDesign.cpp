#include "forms/CDDesign.h"

#include <cmath>
#include <limits>
#include <utility>

namespace pelorix {

namespace {

constexpr std::int32_t errOverflow = 6;
constexpr std::int32_t errInvalidPropertyValue = 380;

} // namespace

std::int32_t roundTwips(double twips) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode, as the
    // runtime's conversion to a whole number does.
    const double rounded = std::nearbyint(twips);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        throw RuntimeError(errOverflow, "オーバーフローしました。");
    return static_cast<std::int32_t>(rounded);
}

void CDDesign::SetDesign(std::unique_ptr<ILayoutControl> control, std::int32_t formWidth,
                         std::int32_t formHeight, std::int16_t kind) {
    guard("SetDesign", [&] {
        if (!control)
            throw vberr::make(vberr::ObjectNotSet);
        m_objControl = std::move(control);
        m_lngFormWidth = formWidth;
        m_lngFormHeight = formHeight;
        m_lngLeft = roundTwips(m_objControl->Left());
        m_lngTop = roundTwips(m_objControl->Top());
        m_blnEnable = m_objControl->Enabled();
        m_lngHeight = roundTwips(m_objControl->Height());
        m_lngWidth = roundTwips(m_objControl->Width());
        m_blnVisible = m_objControl->Visible();
        m_intKind = kind;
    });
}

void CDDesign::MoveControl(const ILayoutForm& form) noexcept {
    try {
        pMoveControl(form);
    } catch (...) {
        // A control that cannot follow this size keeps its place; the next resize tries again from
        // the registration values.
    }
}

void CDDesign::pMoveControl(const ILayoutForm& form) {
    if (!m_objControl || m_intKind < LayoutKind::StretchWidth || m_intKind > LayoutKind::KeepRightBottom)
        return;
    const bool followsWidth = m_intKind == LayoutKind::StretchWidth || m_intKind == LayoutKind::StretchBoth ||
                              m_intKind == LayoutKind::KeepRight || m_intKind == LayoutKind::KeepRightBottom;
    const bool followsHeight = m_intKind == LayoutKind::StretchHeight ||
                               m_intKind == LayoutKind::StretchBoth || m_intKind == LayoutKind::KeepBottom ||
                               m_intKind == LayoutKind::KeepRightBottom;
    const double widthChange = followsWidth ? form.Width() - m_lngFormWidth : 0.0;
    const double heightChange = followsHeight ? form.Height() - m_lngFormHeight : 0.0;

    switch (m_intKind) {
    case LayoutKind::KeepRight:
    case LayoutKind::KeepBottom:
    case LayoutKind::KeepRightBottom:
        m_objControl->Move(roundTwips(m_lngLeft + widthChange), roundTwips(m_lngTop + heightChange));
        return;
    default: {
        const std::int32_t width = roundTwips(m_lngWidth + widthChange);
        const std::int32_t height = roundTwips(m_lngHeight + heightChange);
        // A control cannot be given a negative size: it keeps the size it has.
        if (width < 0 || height < 0)
            throw RuntimeError(errInvalidPropertyValue, "プロパティの値が不正です。");
        m_objControl->Move(m_lngLeft, m_lngTop, width, height);
        return;
    }
    }
}

} // namespace pelorix
