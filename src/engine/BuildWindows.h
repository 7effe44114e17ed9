#pragma once

#include "engine/ProjectGrid.h"
#include "platform/UserInterface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pelorix {

class CDFileData;
class CFSender;
class IBuildSettingForm;

// The texts of the grid's mark cell: a build target, a project that is not one. A project whose
// file is missing has an empty mark cell.
std::string enabledMarkText();
inline std::string disabledMarkText() {
    return "p";
}

// The grid's logical columns; the main window's column order places each at a grid column.
namespace GridColumn {
inline constexpr std::int32_t Enable = 0;
inline constexpr std::int32_t Result = 1;
inline constexpr std::int32_t Compatible = 2;
inline constexpr std::int32_t Optimization = 3;
inline constexpr std::int32_t Title = 4;
inline constexpr std::int32_t Description = 5;
inline constexpr std::int32_t FilePath = 6;
inline constexpr std::int32_t Count = 7;
} // namespace GridColumn

// The name of a compatibility mode: "互換なし", "ﾌﾟﾛｼﾞｪｸﾄ互換", "ﾊﾞｲﾅﾘ互換"; "" for -1 (no mode)
// and any other value.
std::string compatibleModeName(std::int32_t mode);
// The mode a name stands for: "互換なし" 0, "ﾌﾟﾛｼﾞｪｸﾄ互換" 1, "ﾊﾞｲﾅﾘ互換" 2, any other text (the
// empty one included) -1.
std::int16_t pCompatibleModeToInt(std::string_view text);

// The progress window's display modes.
namespace WaitMode {
inline constexpr std::int16_t Running = 0;
inline constexpr std::int16_t EngineFailure = 1; // the engine's failure report: OK or cancel
inline constexpr std::int16_t Information = 2;
inline constexpr std::int16_t Warning = 4;
} // namespace WaitMode

// The progress window as the build engine drives it: it receives the engine's event source for
// its cancel button, shows a message and caption in one of its display modes (0 running, 1 the
// engine's failure report, 2 success, 4 cancelled or failed), and is shown modeless over the main
// window.
class IWaitForm {
public:
    virtual ~IWaitForm() = default;
    virtual void setEventSource(std::shared_ptr<CFSender> sender) = 0;
    virtual void setDisplayMode(std::int16_t mode) = 0;
    virtual std::int16_t displayMode() const = 0;
    virtual void fSetDispInfo(const std::string& message, const std::string& caption) = 0;
    virtual void showModeless(IBuildSettingForm& owner) = 0;
    virtual void refresh() = 0;
    // Closes the window; it keeps its texts and modes until it is dropped.
    virtual void unload() = 0;
};

// The main window as the build engine sees it: its build flag, its status line, its grid and
// the grid column of each logical column.
class IBuildSettingForm {
public:
    virtual ~IBuildSettingForm() = default;
    virtual bool IsBuild() const = 0;
    virtual void IsBuild(bool building) = 0;
    // Shows targets "/" total in the status line.
    virtual void fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) = 0;
    virtual IProjectGrid& vsgridProject() = 0;
    virtual std::int32_t gridColumnOf(std::int32_t logicalColumn) const = 0;
};

// The progress window's one state: the window of a running build (display mode 0), or the report
// of one (any other mode).
enum class WaitState : std::uint8_t { Running, Report };

// A progress window without a screen: it keeps what it was told, and its buttons can be pressed
// from code (cmdFunction_Click), with the window's own rules.
class HeadlessWaitForm final : public IWaitForm {
public:
    WaitState state() const noexcept {
        return m_displayMode == WaitMode::Running ? WaitState::Running : WaitState::Report;
    }
    void setEventSource(std::shared_ptr<CFSender> sender) override { m_sender = std::move(sender); }
    void setDisplayMode(std::int16_t mode) override { m_displayMode = mode; }
    std::int16_t displayMode() const override { return m_displayMode; }
    void fSetDispInfo(const std::string& message, const std::string& caption) override;
    void showModeless(IBuildSettingForm&) override { m_visible = true; }
    void refresh() override { ++m_refreshCount; }
    void unload() override;

    // Button 0 in mode 0 raises BuildCancel; in mode 1 button 0 is OK and button 1 cancel. Every
    // click closes the window.
    void cmdFunction_Click(int index);

    const std::string& message() const noexcept { return m_message; }
    const std::string& caption() const noexcept { return m_caption; }
    bool visible() const noexcept { return m_visible; }
    bool IsBuildCancel() const noexcept { return m_cancel; }
    std::int16_t buttonResult() const noexcept { return m_buttonResult; }
    std::int32_t refreshCount() const noexcept { return m_refreshCount; }
    // Every message set, in order (what a watcher of the window would have seen).
    const std::vector<std::string>& messages() const noexcept { return m_messages; }

private:
    std::shared_ptr<CFSender> m_sender;
    std::int16_t m_displayMode = WaitMode::Running;
    std::string m_message;
    std::string m_caption;
    std::vector<std::string> m_messages;
    bool m_visible = false;
    bool m_cancel = false;
    std::int16_t m_buttonResult = 0;
    std::int32_t m_refreshCount = 0;
};

// A main window without a screen: a MemoryGrid with the seven columns in their default order,
// the build flag and the status line text. BuildHandOver.h fills and marks it.
class HeadlessBuildSettingForm final : public IBuildSettingForm {
public:
    HeadlessBuildSettingForm();

    bool IsBuild() const override { return m_isBuild; }
    void IsBuild(bool building) override { m_isBuild = building; }
    void fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) override;
    IProjectGrid& vsgridProject() override { return m_grid; }
    std::int32_t gridColumnOf(std::int32_t logicalColumn) const override;

    MemoryGrid& grid() noexcept { return m_grid; }
    const MemoryGrid& grid() const noexcept { return m_grid; }
    const std::string& statusInfo() const noexcept { return m_statusInfo; }
    std::int32_t statusUpdates() const noexcept { return m_statusUpdates; }

private:
    MemoryGrid m_grid;
    std::vector<std::int32_t> m_columnOrder;
    bool m_isBuild = false;
    std::string m_statusInfo = "0/0";
    std::int32_t m_statusUpdates = 0;
};

// Message boxes answered without asking anyone: every question gets the same answer (Yes or
// No; boxes with a single button get OK). Each box shown is kept.
class AnswerMessageBox final : public IMessageBox {
public:
    struct Shown {
        std::string text;
        std::string title;
        MsgButtons buttons;
        MsgIcon icon;
        bool foreground;
    };

    explicit AnswerMessageBox(bool yes = false) : m_yes(yes) {}
    MsgResult show(const std::string& text, const std::string& title, MsgButtons buttons, MsgIcon icon,
                   bool foreground) override;
    // Answers the next questions from this list first (then the fixed answer).
    void queueAnswers(std::vector<bool> yes) { m_queued = std::move(yes); }
    // Called with each box as it is shown (before it is answered).
    void onShow(std::function<void(const Shown&)> watcher) { m_watcher = std::move(watcher); }
    const std::vector<Shown>& shown() const noexcept { return m_shown; }

private:
    bool m_yes;
    std::vector<bool> m_queued;
    std::vector<Shown> m_shown;
    std::function<void(const Shown&)> m_watcher;
};

} // namespace pelorix
