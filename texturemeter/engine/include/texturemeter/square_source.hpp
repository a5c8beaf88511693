#pragma once
// Where a batch with a square per photograph finds each photograph's square: its square file
// beside it (DIR/NAME.square.json), or its row of a square table. What the square leaves out, and
// the square of a photograph that has none when the command line gives a corner, come from the
// command line; so the report names one of three sources.

#include <optional>
#include <string>

#include "texturemeter/square_file.hpp"
#include "texturemeter/square_table.hpp"

namespace texturemeter {

enum class SquareSource { SquareFile, Table, CommandLine };

// "square file", "table", "command line": how reports name the source.
const char* squareSourceName(SquareSource source);

struct FoundSquare {
    Square square;
    SquareSource source = SquareSource::SquareFile;
    std::string file;  // the square file or the table it was read from
};

// The square of the photograph `photoPath` (as given): with a table, its row (matched by the path
// as given, then by the file name); without, its square file beside it, which must belong to it
// (checkSquarePhoto; the refusal names the file after `label`, e.g. "--squares "). Nothing when
// the table has no row for it or no square file lies beside it. A square file that cannot be read
// or is not a square document throws its error.
std::optional<FoundSquare> findSquareFor(const std::string& photoPath, const SquareTable* table,
                                         const std::string& label = "");

}  // namespace texturemeter
