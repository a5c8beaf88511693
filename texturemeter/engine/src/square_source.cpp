// The square of a photograph in a batch: its square file or its table row.

#include "texturemeter/square_source.hpp"

#include <filesystem>
#include <string_view>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
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

imaging::ChosenSeed squareSeed(std::optional<uint64_t> square, std::optional<uint64_t> given, uint64_t clockBase,
                               std::size_t index) {
    if (square) return {*square, "square"};
    return imaging::placeSeed(given, clockBase, index);
}

std::optional<FoundSquare> chosenSquare(const std::string& photoPath, const SquareChoice& choice) {
    if (!choice.perPhoto) return std::nullopt;
    std::optional<FoundSquare> found = findSquareFor(photoPath, choice.table, choice.label);
    if (!found && !choice.cornerGiven) {
        const std::string where = choice.table ? "no row for it in the square table " + choice.table->source
                                               : "no square file " + squareFileFor(photoPath) + " beside it";
        throw imaging::RunError::refused("no square: " + where +
                                         (choice.noSquareHint.empty() ? "" : " (" + choice.noSquareHint + ")"));
    }
    return found;
}

PhotoSquare squareRun(const FoundSquare* found, std::size_t index, const SquareFill& fill,
                      std::optional<uint64_t> givenSeed, uint64_t clockBase) {
    PhotoSquare run;
    if (!found) {
        run.seed = imaging::placeSeed(givenSeed, clockBase, index);
        run.parameters = readParameters(fill.texts, readWhole(fill.x, TextureParameter::CornerX),
                                        readWhole(fill.y, TextureParameter::CornerY), fill.variant);
        return run;
    }
    const Square& square = found->square;
    run.source = found->source;
    run.file = found->file;
    run.seed = squareSeed(square.seed, givenSeed, clockBase, index);
    RunTexts texts = fill.texts;
    if (square.side) texts.regionSide = imaging::numberText(int(*square.side));
    if (square.window) texts.tileSide = imaging::exactText(*square.window);
    if (square.neighbour) texts.neighbourDistance = imaging::exactText(*square.neighbour);
    run.parameters = readParameters(texts, square.x, square.y, square.variant.value_or(fill.variant));
    return run;
}

const char* photoSeedSource(const PhotoSquare& run) {
    return std::string_view(run.seed.source) == "square" ? "square" : "batch";
}

std::string squareRunFailure(const ParameterError& error, const ParameterWords& words, const FoundSquare* square) {
    std::string message = error.what() + describeLimit(error.limit(), words);
    if (square) message += " (in the square of " + square->file + ")";
    return message;
}

}  // namespace texturemeter
