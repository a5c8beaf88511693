#pragma once
// A square table: the squares of many photographs in one comma-separated file (RFC 4180 quoting,
// CR LF or LF line ends, an optional UTF-8 byte order mark). The first line names the columns, in
// any order: `photo`, `x`, `y` are required; `side`, `window`, `neighbour`, `variant`, `seed` may
// follow. Each further line is one photograph's square; an empty cell of an optional column gives
// nothing (the command line fills it in). Numbers are read as the command line reads them: the
// corner and the side as 16-bit whole numbers (halves to even), window and neighbour as numbers,
// the variant as A, B or C, the seed as a whole number from 0 to 2^64-1.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "texturemeter/square_file.hpp"

namespace texturemeter {

struct SquareTable {
    std::string source;             // the table's name, for messages
    std::vector<Square> squares;    // in the table's order
    std::vector<int> rows;          // the row each square stands on (the header is row 1)
    std::unordered_map<std::string, std::size_t> byPhoto;  // photo -> place in `squares`
};

// Reads a table; `source` names it in messages: "Square table SOURCE row N: ..." (the header is
// row 1; a row is a line unless a quoted cell holds a line break). Refused (Refused):
// a missing required column, an unknown or repeated column, a row with another number of cells
// than the header, a malformed quoted cell, a cell that is not what its column holds, an empty
// photo, and two rows for the same photo.
SquareTable parseSquareTable(const std::string& text, const std::string& source);
// The same for the file `name` ("File not found: NAME" and file errors as for every input).
SquareTable readSquareTable(const std::string& name);

// The square of the photograph `photoPath` (as given on the command line or to a batch): the row
// whose photo is that path exactly, else the row whose photo is its file name (without folder).
// Null when there is none.
const Square* findSquare(const SquareTable& table, const std::string& photoPath);

}  // namespace texturemeter
