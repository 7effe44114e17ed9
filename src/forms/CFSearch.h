#pragma once

#include "platform/ErrorConvention.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

class IProjectGrid;

// The main window as the word search sees it: its grid and where each logical column stands in
// it, the selection of a cell, the flag that tells whether the search window is open, and its
// top-left corner in twips (the search window opens there).
class ISearchForm {
public:
    virtual ~ISearchForm() = default;
    virtual IProjectGrid& vsgridProject() = 0;
    virtual std::int32_t gridColumnOf(std::int32_t logicalColumn) const = 0;
    // Makes the cell the current one and scrolls it into view.
    virtual void fSetSelectedCells(std::int32_t row, std::int32_t col) = 0;
    virtual bool IsSearchShow() const = 0;
    virtual void IsSearchShow(bool shown) = 0;
    virtual std::int32_t Left() const = 0;
    virtual std::int32_t Top() const = 0;
};

// The search of the project grid for a word: a cell is a hit when the word occurs in its text,
// ASCII letters compared without case.
class CFSearch : public ErrorHolder {
public:
    CFSearch() : ErrorHolder("CFSearch") {}

    // Appends every hit to rows and columns (data rows top to bottom, within a row left to
    // right; column -1 searches every column, else only that one) and selects the first hit's cell.
    // The heading row is never searched, and neither is the mark column: its cells hold the
    // glyph codes of the build marks, not words. A word of spaces finds nothing. Returns the
    // number of hits.
    std::int32_t SearchWord(ISearchForm& form, std::string_view word, std::vector<std::int32_t>& rows,
                            std::vector<std::int32_t>& columns, std::int32_t column);
};

} // namespace pelorix
