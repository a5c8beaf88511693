#include "batch_checks.hpp"

#include <algorithm>
#include <filesystem>
#include <map>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"
#include "imaging/output_guard.hpp"
#include "texturemeter/run_driver.hpp"

namespace texturemeter::cli {

namespace {

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The five derived images an image writes with --keep-derived.
std::vector<std::string> writtenDerivedNames(const std::string& folder, const std::string& image) {
    const DerivedNames n = derivedNames(folder, fileNameOf(image));
    return {n.hessian, n.monochrome, n.lineFigure, n.dotFigure, n.outline};
}

}  // namespace

void refuseOutputsOverInputs(const std::vector<std::string>& images, const std::vector<imaging::InputFile>& documents,
                             const std::vector<NamedOutput>& outputs, const std::string& keepDerivedFolder) {
    std::vector<imaging::InputFile> inputs(images.begin(), images.end());
    inputs.insert(inputs.end(), documents.begin(), documents.end());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const NamedOutput& out = outputs[i];
        if (out.name.empty()) continue;
        // A results file is text: replacing a photograph with it is never meant (a shell pattern
        // such as "--output *.jpg" hands the first photograph of the folder to --output), and
        // replacing a square file or table would lose the squares the batch is measured in.
        imaging::guardOutput(out.option, out.name, out.what, inputs);
        for (std::size_t j = 0; j < i; ++j)
            if (!outputs[j].name.empty() && imaging::sameDestination(out.name, outputs[j].name))
                throw imaging::RunError::refused(outputs[j].option + " and " + out.option + " name the same file " +
                                                 out.name + "; give each its own");
    }
    if (keepDerivedFolder.empty()) return;
    // Two inputs whose names differ only in the first character (or one input given twice)
    // would write, and read back, the same derived images.
    std::map<std::string, std::size_t> owner;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::vector<std::string> derived = writtenDerivedNames(keepDerivedFolder, images[i]);
        const auto [at, fresh] = owner.emplace(derived.front(), i);
        if (!fresh)
            throw imaging::RunError::refused(images[at->second] + " and " + images[i] +
                                             " would both write their derived images as " +
                                             fileNameOf(derived.front()) + " and the like in " + keepDerivedFolder +
                                             "; analyse them with different --keep-derived directories");
        for (const std::string& name : derived) {
            imaging::guardOutput("the derived image", name, "", inputs);
            // Kept derived images never replace a file that is there: the run wrote none yet.
            refuseExistingDerivedImage(name, nullptr);
            for (const NamedOutput& out : outputs)
                if (!out.name.empty() && imaging::sameDestination(name, out.name))
                    throw imaging::RunError::refused("the derived image " + name + " of " + images[i] + " is also " +
                                                     out.option + " " + out.name + "; give each its own");
        }
    }
}

void checkOutputsWritable(const std::vector<NamedOutput>& outputs, const std::string& keepDerivedFolder) {
    for (const NamedOutput& out : outputs)
        if (!out.name.empty()) imaging::checkWritable(out.name);
    if (!keepDerivedFolder.empty()) {
        if (!std::filesystem::is_directory(keepDerivedFolder))
            throw imaging::RunError(imaging::ErrorKind::FileError,
                                    "Cannot write file (" + imaging::systemReason(ENOTDIR) + "): " + keepDerivedFolder);
        imaging::checkWritable((std::filesystem::path(keepDerivedFolder) / "derived.bmp").string());
    }
}

}  // namespace texturemeter::cli
