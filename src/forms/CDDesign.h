#pragma once

#include "platform/ErrorConvention.h"

#include <cstdint>
#include <memory>

namespace pelorix {

// A control as the layout sees it: its place and size in twips (fractions are possible at screen
// resolutions where a pixel is not a whole number of twips), its enabled and visible states, and
// one call that moves it (with or without a new size). A toolkit adapter implements this for its
// widgets; tests implement it in memory.
class ILayoutControl {
public:
    virtual ~ILayoutControl() = default;
    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual bool Enabled() const = 0;
    virtual bool Visible() const = 0;
    // Moves the control; a control that cannot take the place or size raises a run-time error and
    // stays where it was.
    virtual void Move(std::int32_t left, std::int32_t top) = 0;
    virtual void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) = 0;
};

// A window as the layout sees it: its current size in twips.
class ILayoutForm {
public:
    virtual ~ILayoutForm() = default;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
};

// How a registered control follows its window when the window's size changes.
namespace LayoutKind {
inline constexpr std::int16_t StretchWidth = 0;
inline constexpr std::int16_t StretchHeight = 1;
inline constexpr std::int16_t StretchBoth = 2;
inline constexpr std::int16_t KeepRight = 3;
inline constexpr std::int16_t KeepBottom = 4;
inline constexpr std::int16_t KeepRightBottom = 5;
} // namespace LayoutKind

// One registered control: where it stood, how large it was and how large its window was when it
// was registered, and its layout kind. Every move is computed from these registration values, so
// repeated resizes never accumulate rounding.
class CDDesign : public ErrorHolder {
public:
    CDDesign() : ErrorHolder("CDDesign") {}

    std::int32_t Left() const noexcept { return m_lngLeft; }
    void Left(std::int32_t value) noexcept { m_lngLeft = value; }
    std::int32_t Top() const noexcept { return m_lngTop; }
    void Top(std::int32_t value) noexcept { m_lngTop = value; }
    std::int32_t Width() const noexcept { return m_lngWidth; }
    void Width(std::int32_t value) noexcept { m_lngWidth = value; }
    std::int32_t Height() const noexcept { return m_lngHeight; }
    void Height(std::int32_t value) noexcept { m_lngHeight = value; }
    bool Enable() const noexcept { return m_blnEnable; }
    void Enable(bool value) noexcept { m_blnEnable = value; }
    bool Visible() const noexcept { return m_blnVisible; }
    void Visible(bool value) noexcept { m_blnVisible = value; }
    std::int32_t FormWidth() const noexcept { return m_lngFormWidth; }
    void FormWidth(std::int32_t value) noexcept { m_lngFormWidth = value; }
    std::int32_t FormHeight() const noexcept { return m_lngFormHeight; }
    void FormHeight(std::int32_t value) noexcept { m_lngFormHeight = value; }
    std::int16_t Kind() const noexcept { return m_intKind; }

    // Takes the control, the reference size and the kind, and reads the control's place, size and
    // states as they are now.
    void SetDesign(std::unique_ptr<ILayoutControl> control, std::int32_t formWidth, std::int32_t formHeight,
                   std::int16_t kind);
    // Moves and sizes the control for the window's current size, as its kind says; other kinds
    // move nothing. A failure (a size the control refuses, a control that is gone) is ignored: the
    // control stays as it was.
    void MoveControl(const ILayoutForm& form) noexcept;

private:
    void pMoveControl(const ILayoutForm& form);

    std::unique_ptr<ILayoutControl> m_objControl;
    std::int32_t m_lngLeft = 0;
    std::int32_t m_lngTop = 0;
    std::int32_t m_lngWidth = 0;
    std::int32_t m_lngHeight = 0;
    bool m_blnEnable = false;
    bool m_blnVisible = false;
    std::int32_t m_lngFormWidth = 0;
    std::int32_t m_lngFormHeight = 0;
    std::int16_t m_intKind = 0;
};

// A length in twips as a whole number: the nearest integer, halves to the even one; a value
// outside the 32-bit range is an overflow (run-time error 6).
std::int32_t roundTwips(double twips);

} // namespace pelorix
