#pragma once
// What texturemeter-cli checks before and around the analysis of a batch: outputs that would
// replace an input or each other, the number of
// parallel jobs, and an interruption (Ctrl-C).

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace texturemeter::cli {

// An output file the tool writes, with the option that names it ("--output").
struct NamedOutput {
    std::string option;
    std::string name;
    std::string what = "results file";  // what the file is, in the refusal of a picture under its name
};

// Refuses (imaging::RunError, ErrorKind::Refused) before any work, through imaging::guardOutput:
// an output that is one of the input photographs (compared as files: any spelling, hard or
// symbolic link) or an existing picture; two outputs naming the same file; and, with
// --keep-derived, a derived image name that is an input photograph, an output, a file that
// already exists, or that two images share.
void refuseOutputsOverInputs(const std::vector<std::string>& images, const std::vector<NamedOutput>& outputs,
                             const std::string& keepDerivedFolder);

// Checks that every output and the --keep-derived folder can be written, before the analysis.
void checkOutputsWritable(const std::vector<NamedOutput>& outputs, const std::string& keepDerivedFolder);

// The number of images analysed at once: --jobs (0: the number of cores), at most the number of
// images and the number of cores. `note` receives why a requested number was reduced.
unsigned parallelJobs(unsigned requested, std::size_t images, unsigned cores, std::string& note);

// Ctrl-C: the first SIGINT only sets a flag (no new image is started); a second one ends the
// tool at once.
void installInterruptHandler();
bool interrupted();

}  // namespace texturemeter::cli
