#pragma once

#include "engine/BuildWindows.h"
#include "platform/ErrorConvention.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QLabel;
class QPushButton;

namespace pelorix {

// The progress window of a build run: a picture, a message and two buttons. The build engine
// shows it modeless over the main window and sets its texts for every project; its cancel button
// reaches the engine through the engine's event source. When the run is over the main window
// turns it into the run's report (a display mode, then fSetDispInfo), and after a cancelled run
// shows it again, modal (showModal). While it runs, neither Esc nor the title bar closes it: its
// cancel button stays the way to stop the run. Closing the window (a button, or the title bar or
// Esc on a report) releases the event source: the cancel path works until the window is first
// closed, while the texts,
// the display mode, the cancel flag and the button result stay for as long as the object lives.
//
// The main window makes one for each run, as its child, and after the run calls releaseAfterRun
// instead of deleting it: a report still on screen stays until the user closes it.
class frmWait final : public QDialog, public IWaitForm, public ErrorHolder {
    Q_OBJECT

public:
    explicit frmWait(QWidget* owner = nullptr);

    void setEventSource(std::shared_ptr<CFSender> sender) override;
    void setDisplayMode(std::int16_t mode) override;
    std::int16_t displayMode() const override;
    // Caption and message, then the display mode's picture and buttons.
    void fSetDispInfo(const std::string& message, const std::string& caption) override;
    // Shows the window modeless over the main window (when the main window is a widget).
    void showModeless(IBuildSettingForm& owner) override;
    void refresh() override;
    void unload() override;

    // Shows the window modal over its owner and returns when it is closed.
    void showModal();
    // True once the second button of display mode 1 was pressed.
    bool IsBuildCancel() const noexcept { return m_state.IsBuildCancel(); }
    // 0 until a button of display mode 1 is pressed: 1 for OK, 2 for cancel.
    std::int16_t buttonResult() const noexcept { return m_state.buttonResult(); }
    // Hands the window over to itself: deleted at once when closed, else when the user closes it.
    void releaseAfterRun();

    // Esc or the title bar's close box: a report closes without a button result; a running
    // window stays.
    void reject() override;

private:
    void cmdFunction_Click(int index);
    void pApplyDisplayMode();
    void pBuildControls();

    // The window's rules (display mode, texts, what a button press means) without the screen.
    HeadlessWaitForm m_state;
    QLabel* m_imgIcon = nullptr;
    QLabel* m_lblMsg = nullptr;
    std::array<QPushButton*, 2> m_cmdFunction{};
};

} // namespace pelorix
