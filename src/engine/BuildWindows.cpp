#include "engine/BuildWindows.h"

#include "engine/CFSender.h"
#include "platform/CodePage.h"

#include <array>

namespace pelorix {

std::string enabledMarkText() {
    return ansiToUtf8(std::string(1, '\xFE'));
}

std::string compatibleModeName(std::int32_t mode) {
    static const std::array<const char*, 3> names = {"互換なし", "ﾌﾟﾛｼﾞｪｸﾄ互換", "ﾊﾞｲﾅﾘ互換"};
    return mode >= 0 && mode < static_cast<std::int32_t>(names.size()) ? names[static_cast<std::size_t>(mode)]
                                                                       : "";
}

std::int16_t pCompatibleModeToInt(std::string_view text) {
    for (std::int16_t mode = 0; mode <= 2; ++mode)
        if (text == compatibleModeName(mode))
            return mode;
    return -1;
}

void HeadlessWaitForm::fSetDispInfo(const std::string& message, const std::string& caption) {
    m_message = message;
    m_caption = caption;
    m_messages.push_back(message);
}

void HeadlessWaitForm::unload() {
    m_visible = false;
    m_sender.reset();
}

void HeadlessWaitForm::cmdFunction_Click(int index) {
    if (index == 0 && m_displayMode == WaitMode::Running) {
        if (m_sender)
            m_sender->BuildCancel();
    } else if (index == 0 && m_displayMode == WaitMode::EngineFailure) {
        m_buttonResult = 1;
    } else if (index == 1 && m_displayMode == WaitMode::EngineFailure) {
        m_buttonResult = 2;
        m_cancel = true;
    }
    unload();
}

HeadlessBuildSettingForm::HeadlessBuildSettingForm() : m_grid(1, 0) {
    for (std::int32_t c = 0; c < GridColumn::Count; ++c)
        m_columnOrder.push_back(c);
    m_grid.Cols(GridColumn::Count);
    m_grid.typedColumns({GridColumn::Enable, GridColumn::Result, GridColumn::Compatible});
}

void HeadlessBuildSettingForm::fUpdateProjectListStatusInfo(std::int32_t targets, std::int32_t total) {
    m_statusInfo = std::to_string(targets) + "/" + std::to_string(total);
    ++m_statusUpdates;
}

std::int32_t HeadlessBuildSettingForm::gridColumnOf(std::int32_t logicalColumn) const {
    return m_columnOrder.at(static_cast<std::size_t>(logicalColumn));
}

MsgResult AnswerMessageBox::show(const std::string& text, const std::string& title, MsgButtons buttons,
                                 MsgIcon icon, bool foreground) {
    m_shown.push_back({text, title, buttons, icon, foreground});
    if (m_watcher)
        m_watcher(m_shown.back());
    if (buttons != MsgButtons::YesNo && buttons != MsgButtons::YesNoCancel)
        return MsgResult::Ok;
    bool yes = m_yes;
    if (!m_queued.empty()) {
        yes = m_queued.front();
        m_queued.erase(m_queued.begin());
    }
    return yes ? MsgResult::Yes : MsgResult::No;
}

} // namespace pelorix
