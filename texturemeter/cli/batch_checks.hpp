#pragma once
// What texturemeter-cli checks before the analysis of a batch: outputs that would replace an
// input or each other, and outputs that cannot be written.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/output_guard.hpp"

namespace texturemeter::cli {

// An output file the tool writes, with the option that names it ("--output").
struct NamedOutput {
    std::string option;
    std::string name;
    std::string what = "results file";  // what the file is, in the refusal of a picture under its name
};

// Refuses (imaging::RunError, ErrorKind::Refused) before any work, through imaging::guardOutput:
// an output that is one of the input photographs or of the other files the run reads (`documents`:
// the square table, the square files beside the photographs), compared as files (any spelling,
// hard or symbolic link), or an existing picture; two outputs naming the same file; and, with
// --keep-derived, a derived image name that is an input photograph, an output, a file that
// already exists, or that two images share.
void refuseOutputsOverInputs(const std::vector<std::string>& images, const std::vector<imaging::InputFile>& documents,
                             const std::vector<NamedOutput>& outputs, const std::string& keepDerivedFolder);

// Checks that every output and the --keep-derived folder can be written, before the analysis.
void checkOutputsWritable(const std::vector<NamedOutput>& outputs, const std::string& keepDerivedFolder);

}  // namespace texturemeter::cli
