// Square tables: a comma-separated file read with libcsv, one square per photograph.

#include "texturemeter/square_table.hpp"

#include <csv.h>

#include <array>
#include <filesystem>
#include <memory>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/photo_document.hpp"

namespace texturemeter {

namespace {

// The columns a table may have; the first three are required.
enum Column { kPhoto, kX, kY, kSide, kWindow, kNeighbour, kVariant, kSeed, kColumnCount };
constexpr std::array<const char*, kColumnCount> kColumnNames = {"photo",  "x",         "y",       "side",
                                                                 "window", "neighbour", "variant", "seed"};
constexpr int kRequiredColumns = 3;

[[noreturn]] void refuse(const std::string& source, const std::string& why) {
    throw imaging::RunError::refused("Square table " + source + ": " + why);
}

// The table's rows as cells, in order, as libcsv hands them over.
struct Cells {
    std::vector<std::vector<std::string>> rows{1};
};

void onCell(void* text, std::size_t size, void* data) {
    auto* cells = static_cast<Cells*>(data);
    cells->rows.back().emplace_back(text ? static_cast<const char*>(text) : "", size);
}

void onRowEnd(int, void* data) { static_cast<Cells*>(data)->rows.emplace_back(); }

std::vector<std::vector<std::string>> splitCells(const std::string& text, const std::string& source) {
    std::string_view body(text);
    // A spreadsheet's UTF-8 byte order mark is not part of the first column's name.
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) refuse(source, "cannot be read (out of memory)");
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> freed(&parser, csv_free);
    Cells cells;
    const std::size_t parsed = csv_parse(&parser, body.data(), body.size(), onCell, onRowEnd, &cells);
    const bool whole = parsed == body.size() && csv_fini(&parser, onCell, onRowEnd, &cells) == 0;
    if (!whole)
        refuse(source, "row " + std::to_string(cells.rows.size()) + ": " + csv_strerror(csv_error(&parser)) +
                           " (a quote inside a cell that does not start with one, or a quoted cell without its "
                           "closing quote)");
    cells.rows.pop_back();  // the row after the last line end
    return std::move(cells.rows);
}

}  // namespace

SquareTable parseSquareTable(const std::string& text, const std::string& source) {
    const std::vector<std::vector<std::string>> rows = splitCells(text, source);
    if (rows.empty()) refuse(source, "no header (the first row names the columns: photo, x, y ...)");
    // Where each column stands in the header (-1: absent).
    std::array<int, kColumnCount> place;
    place.fill(-1);
    const std::vector<std::string>& header = rows.front();
    for (std::size_t i = 0; i < header.size(); ++i) {
        int column = 0;
        while (column < kColumnCount && header[i] != kColumnNames[std::size_t(column)]) ++column;
        if (column == kColumnCount)
            refuse(source, "unknown column \"" + header[i] +
                               "\" (the columns are photo, x, y, side, window, neighbour, variant, seed)");
        if (place[std::size_t(column)] >= 0) refuse(source, "the column \"" + header[i] + "\" is named twice");
        place[std::size_t(column)] = int(i);
    }
    for (int column = 0; column < kRequiredColumns; ++column)
        if (place[std::size_t(column)] < 0)
            refuse(source, std::string("no column \"") + kColumnNames[std::size_t(column)] + "\" in the header");

    SquareTable table;
    table.source = source;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string>& row = rows[r];
        const int rowNumber = int(r) + 1;
        const std::string where = "row " + std::to_string(rowNumber) + ": ";
        if (row.size() != header.size())
            refuse(source, where + std::to_string(row.size()) + " cells, but the header names " +
                               std::to_string(header.size()) + " columns");
        const auto cell = [&](Column c) -> const std::string* {
            const int i = place[std::size_t(c)];
            return i < 0 ? nullptr : &row[std::size_t(i)];
        };
        // A cell read as its column holds it; the reader's own error is named with the column.
        const auto read = [&](Column c, auto parse) {
            try {
                return parse(*cell(c));
            } catch (const imaging::RunError& e) {
                refuse(source, where + "\"" + kColumnNames[std::size_t(c)] + "\": " + e.what());
            }
        };
        const auto givenCell = [&](Column c) { return cell(c) && !cell(c)->empty(); };
        Square square;
        square.photo = *cell(kPhoto);
        if (square.photo.empty()) refuse(source, where + "no photo");
        for (Column c : {kX, kY})
            if (!givenCell(c)) refuse(source, where + "no \"" + kColumnNames[std::size_t(c)] + "\"");
        square.x = read(kX, [](const std::string& t) { return imaging::parseInt16(t); });
        square.y = read(kY, [](const std::string& t) { return imaging::parseInt16(t); });
        if (givenCell(kSide)) square.side = read(kSide, [](const std::string& t) { return imaging::parseInt16(t); });
        if (givenCell(kWindow))
            square.window = read(kWindow, [](const std::string& t) { return imaging::parseNumber(t); });
        if (givenCell(kNeighbour))
            square.neighbour = read(kNeighbour, [](const std::string& t) { return imaging::parseNumber(t); });
        if (givenCell(kVariant)) {
            square.variant = parseVariantLetter(*cell(kVariant));
            if (!square.variant) refuse(source, where + "\"variant\" \"" + *cell(kVariant) + "\" is not A, B or C");
        }
        if (givenCell(kSeed)) {
            square.seed = imaging::parseSeed(*cell(kSeed));
            if (!square.seed)
                refuse(source, where + "\"seed\" \"" + *cell(kSeed) +
                                   "\" is not a whole number from 0 to 18446744073709551615");
        }
        const auto [at, added] = table.byPhoto.emplace(square.photo, table.squares.size());
        if (!added)
            refuse(source, where + "the photo " + square.photo + " has a square already, in row " +
                               std::to_string(table.rows[at->second]));
        table.squares.push_back(std::move(square));
        table.rows.push_back(rowNumber);
    }
    return table;
}

SquareTable readSquareTable(const std::string& name) {
    constexpr imaging::PhotoDocumentKind kTable{"", 0, "Square table", "square table", ""};
    return parseSquareTable(imaging::readPhotoDocumentFile(kTable, name), name);
}

const Square* findSquare(const SquareTable& table, const std::string& photoPath) {
    auto found = table.byPhoto.find(photoPath);
    if (found == table.byPhoto.end()) found = table.byPhoto.find(std::filesystem::path(photoPath).filename().string());
    return found == table.byPhoto.end() ? nullptr : &table.squares[found->second];
}

}  // namespace texturemeter
