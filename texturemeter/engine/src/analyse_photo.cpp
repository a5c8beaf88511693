// One photograph analysed with read parameters, from its file or its decoded pixels.

#include "texturemeter/analyse_photo.hpp"

#include <filesystem>
#include <functional>
#include <utility>

#include "imaging/exif_orientation.hpp"
#include "imaging/random.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/square_placement.hpp"

namespace texturemeter {

namespace {

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The run itself once the photograph is at hand: `load` decodes it (or does nothing for pixels
// already decoded) and returns the view the run reads with the photograph's full size.
PhotoAnalysis analyse(const std::string& path, const TextureParameters& parameters, uint64_t photoSeed,
                      PhotoWorkspace& workspace, const PhotoOptions& options,
                      const std::function<PhotoView(int& width, int& height)>& load) {
    PhotoAnalysis result;
    CollectedLines lines;
    // The first collected line is the header, which the caller writes once for all photographs.
    const auto keepWritten = [&] {
        if (lines.lines.size() > 1) result.lines.assign(lines.lines.begin() + 1, lines.lines.end());
    };
    try {
        checkParameters(parameters);
        int width = 0, height = 0;
        const PhotoView photo = load(width, height);
        result.opened = true;
        const RegionSquare& square = parameters.region;
        result.squareWarning = squareOverhang(square.regionX, square.regionY, square.regionSide, width, height,
                                              options.words);
        RunRequest request;
        request.parameters = parameters;
        request.imageFileName = path.empty() ? std::string() : fileNameOf(path);
        request.photographPath = path;
        request.captureFits = options.captureFits;
        if (!options.keepDerivedIn.empty()) {
            request.derived.freeze = FreezeStrategy::ThroughFiles;
            request.derived.names = derivedNames(options.keepDerivedIn, request.imageFileName);
            request.derived.deleteAtEnd = false;
            request.derived.written = options.written;
        }
        if (!path.empty()) result.exifOrientation = imaging::exifOrientation(path);
        imaging::FastRandom random(imaging::generatorSeed(photoSeed));
        try {
            RunOutcome outcome = runAnalysis(photo, request, workspace.run, lines, random);
            result.measurements = outcome.measurements;
            result.fits = std::move(outcome.fits);
        } catch (...) {
            keepWritten();  // a row written before the error stays, as in the window's file
            throw;
        }
        keepWritten();
    } catch (const ParameterError& e) {
        result.failure = PhotoFailure{e.what(), e.kind(), e.parameter(), e.limit()};
    } catch (const imaging::RunError& e) {
        result.failure = PhotoFailure{e.what(), e.kind(), std::nullopt, limitBehind(e, parameters)};
    } catch (const std::exception& e) {
        result.failure = PhotoFailure{e.what(), std::nullopt, std::nullopt, {}};
    }
    return result;
}

}  // namespace

std::vector<std::string> PhotoAnalysis::warnings() const {
    std::vector<std::string> all;
    if (std::string turned = imaging::exifOrientationWarning(exifOrientation); !turned.empty())
        all.push_back(std::move(turned));
    if (squareWarning) all.push_back(*squareWarning);
    return all;
}

PhotoAnalysis analysePhotoFile(const std::string& path, const TextureParameters& parameters, uint64_t photoSeed,
                               PhotoWorkspace& workspace, const PhotoOptions& options) {
    return analyse(path, parameters, photoSeed, workspace, options, [&](int& width, int& height) {
        loadRunSquare(path, parameters.region, workspace.square, workspace.fileData);
        width = workspace.square.fullWidth;
        height = workspace.square.fullHeight;
        return PhotoView(workspace.square);
    });
}

PhotoAnalysis analysePhoto(const imaging::Image& photo, const TextureParameters& parameters, uint64_t photoSeed,
                           PhotoWorkspace& workspace, const PhotoOptions& options) {
    return analyse(std::string(), parameters, photoSeed, workspace, options, [&](int& width, int& height) {
        width = photo.width;
        height = photo.height;
        return PhotoView(photo);
    });
}

}  // namespace texturemeter
