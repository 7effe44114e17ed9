#include "forms/CFSearch.h"

#include "engine/BuildWindows.h"
#include "engine/ProjectGrid.h"
#include "platform/Text.h"

namespace pelorix {

std::int32_t CFSearch::SearchWord(ISearchForm& form, std::string_view word, std::vector<std::int32_t>& rows,
                                  std::vector<std::int32_t>& columns, std::int32_t column) {
    return guard("SearchWord", [&]() -> std::int32_t {
        if (trimSpaces(word).empty())
            return 0;
        const IProjectGrid& grid = form.vsgridProject();
        const std::int32_t markColumn = form.gridColumnOf(GridColumn::Enable);
        const std::string wanted = toUpper(word);
        const std::int32_t firstColumn = column == -1 ? 0 : column;
        const std::int32_t lastColumn = column == -1 ? grid.Cols() - 1 : column;
        std::int32_t hits = 0;
        for (std::int32_t row = grid.FixedRows(); row < grid.Rows(); ++row) {
            for (std::int32_t col = firstColumn; col <= lastColumn; ++col) {
                if (col == markColumn || toUpper(grid.TextMatrix(row, col)).find(wanted) == std::string::npos)
                    continue;
                rows.push_back(row);
                columns.push_back(col);
                ++hits;
            }
        }
        if (hits > 0)
            form.fSetSelectedCells(rows[rows.size() - static_cast<std::size_t>(hits)],
                                   columns[columns.size() - static_cast<std::size_t>(hits)]);
        return hits;
    });
}

} // namespace pelorix
