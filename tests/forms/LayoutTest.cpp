#include "forms/CDDesigns.h"
#include "support/TestEnvironment.h"

#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace pelorix::test {
namespace {

// A control in memory; like a real one it refuses a negative size.
struct Box {
    double left = 0, top = 0, width = 0, height = 0;
    bool enabled = true, visible = true;
    int moves = 0;
};

class BoxControl final : public ILayoutControl {
public:
    explicit BoxControl(Box& box) : m_box(box) {}
    double Left() const override { return m_box.left; }
    double Top() const override { return m_box.top; }
    double Width() const override { return m_box.width; }
    double Height() const override { return m_box.height; }
    bool Enabled() const override { return m_box.enabled; }
    bool Visible() const override { return m_box.visible; }
    void Move(std::int32_t left, std::int32_t top) override {
        m_box.left = left;
        m_box.top = top;
        ++m_box.moves;
    }
    void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override {
        Move(left, top);
        m_box.width = width;
        m_box.height = height;
    }

private:
    Box& m_box;
};

struct Window final : ILayoutForm {
    Window(double w, double h) : width(w), height(h) {}
    double width, height;
    double Width() const override { return width; }
    double Height() const override { return height; }
};

struct Placed {
    double left, top, width, height;
    bool operator==(const Placed&) const = default;
};

Placed placed(const Box& b) {
    return {b.left, b.top, b.width, b.height};
}

// A window of 9000 x 6000 twips with one control of each kind 0 to 5 and one of kind 7.
struct LaidOutWindow {
    Window window{9000, 6000};
    std::map<int, Box> boxes;
    CDDesigns designs;

    LaidOutWindow() {
        boxes[0] = {120, 120, 8700, 600};
        boxes[1] = {120, 900, 1500, 4000};
        boxes[2] = {1800, 900, 7000, 4000};
        boxes[3] = {7500, 120, 1200, 375};
        boxes[4] = {120, 5100, 3000, 495};
        boxes[5] = {6000, 5100, 2800, 495};
        boxes[7] = {3300, 5100, 1000, 495};
        designs.SetForm(window);
        for (auto& [kind, box] : boxes)
            designs.AddDesign(std::make_unique<BoxControl>(box), static_cast<std::int16_t>(kind),
                              "ctl" + std::to_string(kind));
    }
    void resize(double width, double height) {
        window.width = width;
        window.height = height;
        designs.MoveDesign(window);
    }
};

TEST(WindowLayout, ControlsFollowTheWindowByKindAndComeBackExactly) {
    LaidOutWindow w;
    std::map<int, Placed> registered;
    for (const auto& [kind, box] : w.boxes)
        registered[kind] = placed(box);

    w.resize(9600, 6000);
    EXPECT_EQ(placed(w.boxes[0]), (Placed{120, 120, 9300, 600}));
    EXPECT_EQ(placed(w.boxes[1]), registered[1]);
    EXPECT_EQ(placed(w.boxes[2]), (Placed{1800, 900, 7600, 4000}));
    EXPECT_EQ(placed(w.boxes[3]), (Placed{8100, 120, 1200, 375}));
    EXPECT_EQ(placed(w.boxes[4]), registered[4]);
    EXPECT_EQ(placed(w.boxes[5]), (Placed{6600, 5100, 2800, 495}));

    w.resize(9600, 7500);
    EXPECT_EQ(placed(w.boxes[1]), (Placed{120, 900, 1500, 5500}));
    EXPECT_EQ(placed(w.boxes[2]), (Placed{1800, 900, 7600, 5500}));
    EXPECT_EQ(placed(w.boxes[4]), (Placed{120, 6600, 3000, 495}));
    EXPECT_EQ(placed(w.boxes[5]), (Placed{6600, 6600, 2800, 495}));

    // Fractions of a twip (a screen whose pixel is not a whole number of twips) round to the
    // nearest, halves to even, from the registration values each time.
    w.resize(9000.5, 6001.5);
    EXPECT_EQ(placed(w.boxes[2]), (Placed{1800, 900, 7000, 4002}));
    EXPECT_EQ(placed(w.boxes[5]), (Placed{6000, 5102, 2800, 495}));

    w.resize(9000, 6000);
    for (const auto& [kind, box] : w.boxes)
        EXPECT_EQ(placed(box), registered[kind]) << "kind " << kind;
    EXPECT_EQ(w.boxes[7].moves, 0);
}

TEST(WindowLayout, AControlThatCannotShrinkFurtherStaysAndTheOthersStillMove) {
    LaidOutWindow w;
    w.resize(8000, 5000);
    const Placed lastFit = placed(w.boxes[2]);
    EXPECT_EQ(lastFit, (Placed{1800, 900, 6000, 3000}));

    // 7000 - 7100 < 0: the stretching control keeps its last size; the edge-bound ones move on.
    w.resize(1900, 5000);
    EXPECT_EQ(placed(w.boxes[2]), lastFit);
    EXPECT_EQ(placed(w.boxes[0]), (Placed{120, 120, 1600, 600}));
    EXPECT_EQ(placed(w.boxes[3]), (Placed{400, 120, 1200, 375}));
    EXPECT_EQ(placed(w.boxes[4]), (Placed{120, 4100, 3000, 495}));
    EXPECT_EQ(placed(w.boxes[5]), (Placed{-1100, 4100, 2800, 495}));

    w.resize(9000, 6000);
    EXPECT_EQ(placed(w.boxes[2]), (Placed{1800, 900, 7000, 4000}));
}

TEST(WindowLayout, KeysNameOneRecordEachAndTheReferenceSizeIsTakenAtRegistration) {
    TestEnvironment env;
    Window window{4500, 3000};
    Box list{60, 60, 4000, 2000, false, false};
    Box panel{3000, 2200, 1400, 500};
    Box again{0, 0, 100, 100};
    Box late{0, 0, 100, 100};
    CDDesigns designs;
    designs.SetForm(window);
    designs.AddDesign(std::make_unique<BoxControl>(list), LayoutKind::StretchBoth, "lstLog");
    // A key already in use is refused without an error; the control is not laid out.
    designs.AddDesign(std::make_unique<BoxControl>(again), LayoutKind::StretchBoth, "LSTLOG");
    designs.AddDesign(std::make_unique<BoxControl>(panel), LayoutKind::KeepRightBottom, "picButton");
    // Registered after the window grew: this record measures from the new size.
    window.width = 6000;
    designs.SetForm(window);
    designs.AddDesign(std::make_unique<BoxControl>(late), LayoutKind::KeepRight, "");
    EXPECT_EQ(designs.Count(), 3);

    const CDDesign& record = designs.GetDesign("lstlog");
    EXPECT_EQ(record.Left(), 60);
    EXPECT_EQ(record.Width(), 4000);
    EXPECT_EQ(record.FormWidth(), 4500);
    EXPECT_EQ(record.FormHeight(), 3000);
    EXPECT_FALSE(record.Enable());
    EXPECT_FALSE(record.Visible());
    EXPECT_EQ(record.Kind(), LayoutKind::StretchBoth);

    designs.MoveDesign(window);
    EXPECT_EQ(list.width, 5500);
    EXPECT_EQ(panel.left, 4500);
    EXPECT_EQ(late.left, 0);
    EXPECT_EQ(again.moves, 0);

    try {
        designs.GetDesign("missing");
        FAIL() << "a missing key must fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
    EXPECT_THROW(designs.DelDesign(""), RuntimeError);
    designs.DelDesign("picButton");
    EXPECT_EQ(designs.Count(), 2);
    EXPECT_THROW(designs.GetDesign("picButton"), RuntimeError);
    // Each failure of a look-up left its line in the error log.
    EXPECT_NE(env.errorLog().find("\"GetDesign\", \"CDDesigns\""), std::string::npos);
}

} // namespace
} // namespace pelorix::test
