#pragma once
// One photograph analysed with read parameters: the square decoded from the file, the square's
// and the file's warnings, the whole run with the photograph's own generator, the measurements,
// the fits and the two results lines. texturemeter-cli runs it for each file of its list, the
// Python package for each photograph it is given; neither does any of these steps itself.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/output_guard.hpp"
#include "texturemeter/measurements.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/texture_parameters.hpp"

namespace texturemeter {

// What a worker keeps from photograph to photograph: the work grids and pictures, the decoded
// square and the file's bytes. A batch keeps one per worker.
struct PhotoWorkspace {
    RunWorkspace run;
    imaging::PictureRegion square;
    std::vector<unsigned char> fileData;
};

// How the photograph is analysed besides its parameters.
struct PhotoOptions {
    bool captureFits = true;  // keep the fits behind the dimensions
    // When not empty, the derived images (h, a, b, c, e .bmp) are written into this directory and
    // kept; each replaces no file but one this batch wrote (`written`, which must then be set).
    std::string keepDerivedIn;
    imaging::WrittenFiles* written = nullptr;
    // How the square is named in its warning and refusal: the shell's words.
    ParameterWords words;
};

// Why an analysis stopped.
struct PhotoFailure {
    std::string message;  // the error's own text
    std::optional<imaging::ErrorKind> kind;            // a run-time error's kind (none: another failure)
    std::optional<TextureParameter> parameter;         // the parameter that failed, when one did
    ParameterLimit limit;                              // the limit behind it, for the shell's hint
};

// What analysing one photograph gives.
struct PhotoAnalysis {
    bool opened = false;        // the photograph could be read (its rows, if any, follow)
    int exifOrientation = 0;    // as the JPEG's Exif block records it (0: none)
    std::optional<std::string> squareWarning;  // the square reaches past the photograph's edge
    // The result row and the sampling line (the header is the caller's); after a failure, the
    // lines written before it, as a run leaves them in its file.
    std::vector<std::string> lines;
    std::optional<TextureMeasurements> measurements;
    TextureFits fits;
    std::optional<PhotoFailure> failure;

    // The warnings to show, in the tools' order: the photograph stored turned, then the square
    // reaching past the edge.
    std::vector<std::string> warnings() const;
};

// Analyses the photograph file `path` with `parameters` and the generator of `photoSeed`
// (imaging::generatorSeed of it): the parameters are checked first (checkParameters), then only
// the square's part of the file is decoded. A square entirely outside the photograph fails
// (squareOverhang's refusal). Every error is reported in `failure`, none is thrown.
PhotoAnalysis analysePhotoFile(const std::string& path, const TextureParameters& parameters, uint64_t photoSeed,
                               PhotoWorkspace& workspace, const PhotoOptions& options = {});

// The same for a photograph already decoded (no file name, no EXIF orientation).
PhotoAnalysis analysePhoto(const imaging::Image& photo, const TextureParameters& parameters, uint64_t photoSeed,
                           PhotoWorkspace& workspace, const PhotoOptions& options = {});

}  // namespace texturemeter
