#include "engine/ProjectRow.h"

#include "engine/BuildWindows.h"

namespace pelorix {

std::string_view rowResultText(RowResult result) {
    switch (result) {
    case RowResult::OK:
        return "OK";
    case RowResult::NG:
        return "NG";
    case RowResult::None:
        break;
    }
    return "";
}

std::string buildMarkText(BuildMark mark) {
    switch (mark) {
    case BuildMark::Target:
        return enabledMarkText();
    case BuildMark::NotTarget:
        return disabledMarkText();
    case BuildMark::NoFile:
        break;
    }
    return "";
}

BuildMark buildMarkOf(std::string_view markText) {
    if (markText.empty())
        return BuildMark::NoFile;
    return markText.starts_with(enabledMarkText()) ? BuildMark::Target : BuildMark::NotTarget;
}

std::string TypedColumns::text(const ProjectRowState& state, int col) const {
    if (col == mark)
        return buildMarkText(state.mark);
    if (col == result)
        return std::string(rowResultText(state.result));
    if (col == mode)
        return compatibleModeName(state.compatibleMode);
    return {};
}

void TypedColumns::setText(ProjectRowState& state, int col, std::string_view text) const {
    if (col == mark) {
        state.mark = buildMarkOf(text);
    } else if (col == result) {
        state.result = text == rowResultText(RowResult::OK)   ? RowResult::OK
                       : text == rowResultText(RowResult::NG) ? RowResult::NG
                                                              : RowResult::None;
    } else if (col == mode) {
        state.compatibleMode = pCompatibleModeToInt(text);
    }
}

} // namespace pelorix
