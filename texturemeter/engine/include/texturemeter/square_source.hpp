#pragma once
// Where a batch with a square per photograph finds each photograph's square: its square file
// beside it (DIR/NAME.square.json), or its row of a square table. What the square leaves out, and
// the square of a photograph that has none when the command line gives a corner, come from the
// command line; so the report names one of three sources.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/random.hpp"
#include "texturemeter/square_file.hpp"
#include "texturemeter/square_table.hpp"
#include "texturemeter/texture_parameters.hpp"

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

// ---- A photograph's run in a batch ----------------------------------------------------------

// Where a batch takes each photograph's square from.
struct SquareChoice {
    bool perPhoto = false;               // each photograph's own square (texturemeter-cli --squares)
    const SquareTable* table = nullptr;  // ... its row of this table; without one, its square file
    bool cornerGiven = false;            // a corner was given (--x/--y): a photograph without a square takes it
    std::string label;                   // names the choice in refusals ("--squares ")
    // Said after the refusal of a photograph without a square, in the shell's words
    // ("--squares without --x/--y gives no corner to fall back on").
    std::string noSquareHint;
};

// What fills in what a square leaves out, as typed: the command line's options.
struct SquareFill {
    RunTexts texts;
    std::string x = "0";
    std::string y = "0";
    Variant variant = Variant::A;
};

// The run of one photograph of a batch: its parameters, where its square came from and its seed.
struct PhotoSquare {
    TextureParameters parameters;
    SquareSource source = SquareSource::CommandLine;
    std::string file;         // the square file or the table read ("" for the command line)
    imaging::ChosenSeed seed;  // the photo seed the photograph is analysed with, and its source
};

// The seed of a photograph with a square: the square's own seed (source "square"), as the window
// replays a loaded square; a square without one takes the seed of its place in the batch
// (imaging::placeSeed: --seed, else the batch's clock seed).
imaging::ChosenSeed squareSeed(std::optional<uint64_t> square, std::optional<uint64_t> given, uint64_t clockBase,
                               std::size_t index);

// The square of the photograph `photoPath` in a batch: nothing without a per-photograph choice;
// with one, its square (findSquareFor), or nothing when it has none but a corner was given; a
// photograph without a square and no corner given is refused (Refused: "no square: ...").
std::optional<FoundSquare> chosenSquare(const std::string& photoPath, const SquareChoice& choice);

// The run of the photograph at place `index` of a batch with the square `square` (null: none,
// the filling texts alone, source "command line"): the square gives its corner and whatever else
// it holds, the filling texts the rest. The parameters are read by readParameters, so a square
// that cannot be run fails with its ParameterError; the square's numbers are handed over as the
// shortest texts that read back exactly.
PhotoSquare squareRun(const FoundSquare* square, std::size_t index, const SquareFill& fill,
                      std::optional<uint64_t> givenSeed, uint64_t clockBase);

// How a report names where a photograph's photo seed came from: "square" (its square's own) or
// "batch" (the seed of its place in the batch; the report's head says where the batch's came from).
const char* photoSeedSource(const PhotoSquare& run);

// The message of a square run that failed (squareRun's ParameterError): the run's own error, the
// limit behind it in the shell's words, and the square it came from, when it came from one.
std::string squareRunFailure(const ParameterError& error, const ParameterWords& words, const FoundSquare* square);

}  // namespace texturemeter
