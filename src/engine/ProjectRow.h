#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelorix {

// One row of the project grid as the program keeps it: typed values, drawn as the grid's glyphs
// and names and stored as the list file's numbers only at those edges.

// The build mark of a row.
enum class BuildMark : std::uint8_t {
    NoFile,    // the project file is missing: the row cannot be marked
    NotTarget, // not built by the next run
    Target,    // built by the next run
};

// What a row's result cell tells of the last run that built it.
enum class RowResult : std::uint8_t {
    None, // not built by a run yet
    OK,   // built
    NG,   // failed
};

// The result cell's text: "", "OK", "NG".
std::string_view rowResultText(RowResult result);

// The mark cell's text: the target mark, the "not a target" mark, "" for a missing file.
std::string buildMarkText(BuildMark mark);
// The mark a mark cell's text stands for: a target when its first character is the target
// mark, no file when empty, otherwise not a target.
BuildMark buildMarkOf(std::string_view markText);

// The typed values of a row; its other cells are texts.
struct ProjectRowState {
    BuildMark mark = BuildMark::NoFile;
    std::int16_t compatibleMode = -1; // 0 to 2, -1 for none
    RowResult result = RowResult::None;
    bool operator==(const ProjectRowState&) const = default;
};

// The grid columns that draw a row's typed values (-1: none). A grid keeps the values and gives
// these cells' texts from them; a text put into such a cell is read into the value (the mode
// cell's unknown texts give -1, the result cell's give none).
struct TypedColumns {
    int mark = -1;
    int result = -1;
    int mode = -1;

    bool isTyped(int col) const noexcept { return col >= 0 && (col == mark || col == result || col == mode); }
    // The text a typed cell shows.
    std::string text(const ProjectRowState& state, int col) const;
    // Reads a text into the value of a typed cell.
    void setText(ProjectRowState& state, int col, std::string_view text) const;
};

} // namespace pelorix
