// The square of a photograph in a batch: its square file or its table row.

#include "texturemeter/square_source.hpp"

#include <filesystem>

#include "imaging/paths.hpp"

namespace texturemeter {

const char* squareSourceName(SquareSource source) {
    switch (source) {
        case SquareSource::SquareFile: return "square file";
        case SquareSource::Table: return "table";
        case SquareSource::CommandLine: return "command line";
    }
    return "command line";
}

std::optional<FoundSquare> findSquareFor(const std::string& photoPath, const SquareTable* table,
                                         const std::string& label) {
    if (table) {
        const Square* row = findSquare(*table, photoPath);
        if (!row) return std::nullopt;
        return FoundSquare{*row, SquareSource::Table, table->source};
    }
    const std::string file = squareFileFor(photoPath);
    std::error_code ec;
    if (!std::filesystem::exists(imaging::hostPath(file), ec)) return std::nullopt;
    FoundSquare found{readSquare(file), SquareSource::SquareFile, file};
    checkSquarePhoto(found.square, file, std::filesystem::path(photoPath).filename().string(), label);
    return found;
}

}  // namespace texturemeter
