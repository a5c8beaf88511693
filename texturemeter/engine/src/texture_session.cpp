// The texture analyzer's form: file selection and derived names, the region corner, the grey
// readout and the three run buttons over off-screen pictures.

#include "texturemeter/texture_session.hpp"

#include <exception>
#include <optional>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/paths.hpp"
#include "texturemeter/square_placement.hpp"

namespace texturemeter {

const ParameterWords TextureSession::kSquareWords{"side", "tile side", " ", "x", "y"};

TextureSession::TextureSession() : TextureSession(*imaging::makeRandom().release(), true) {}

TextureSession::TextureSession(imaging::UniformRandom& random) : TextureSession(random, false) {}

TextureSession::TextureSession(imaging::UniformRandom& random, bool owned)
    : ownRandom_(owned ? &random : nullptr), random_(random) {
    photo = PictureSurface(0, 0, imaging::SizePolicy::GrowToPicture);
    // The window opens with p2Picture, runHiddenPicture and hiddenPicture hidden.
    p2Picture.setVisible(false);
    runHiddenPicture.setVisible(false);
    hiddenPicture.setVisible(false);
}

std::string TextureSession::selectedPath(const std::string& directory, const std::string& fileName) {
    // A root directory already ends with the separator.
    std::string path = directory;
    if (path.empty() || path.back() != imaging::kPathSeparator) path += imaging::kPathSeparator;
    path += fileName;
    return path;
}

imaging::Image TextureSession::decodePhoto(const std::string& hostPath) const {
    ++photoDecodes_;
    return imaging::loadImageFile(hostPath);
}

void TextureSession::selectImage(const std::string& directory, const std::string& fileName) {
    selectImage(directory, fileName, [this](const std::string& hostPath) { return decodePhoto(hostPath); });
}

void TextureSession::selectImage(const std::string& directory, const std::string& fileName,
                                 const std::function<imaging::Image(const std::string& hostPath)>& decode) {
    photoLoaded_ = false;
    imagePath.clear();
    regionX = regionY = 0;
    regionSide = 0;
    boxSizes.fill(0);
    imageFileName.clear();
    squareWarning.clear();
    photoWarning.clear();
    lastRunSquare_.reset();
    nextRunSeed_.reset();

    p2Picture.setVisible(false);
    heightTextVisible = widthTextVisible = true;
    hiddenPicture.setVisible(false);
    runHiddenPicture.setVisible(false);

    imageFileName = fileName;
    const std::string path = selectedPath(directory, fileName);
    inputPathText = path;
    imagePath = path;

    photo.setPicture(decode(imaging::hostPath(path)));
    photoLoaded_ = true;
    photoWarning = imaging::exifOrientationWarning(imaging::exifOrientation(imaging::hostPath(path)));
    heightText = imaging::numberText(photo.scaleHeight());
    widthText = imaging::numberText(photo.scaleWidth());

    derivedImageNames = derivedNames(directory, fileName);
}

void TextureSession::refuseWithoutPhoto() const {
    if (photoLoaded_) return;
    if (imagePath.empty()) throw imaging::RunError::refused("No photograph selected: choose a file first");
    throw imaging::RunError::refused("The photograph " + imagePath + " could not be loaded: choose a file again");
}

std::string TextureSession::checkCorner(double x, double y, const std::string& sideText) const {
    refuseWithoutPhoto();
    int16_t cornerX = 0, cornerY = 0, side = 0;
    try {
        cornerX = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(x)));
        cornerY = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(y)));
        side = readWhole(sideText, TextureParameter::RegionSide);
    } catch (const imaging::RunError&) {
        // The click raises these errors itself, at their own step.
        return {};
    }
    // A side below 1 is no square; the run reports it with its own error.
    if (side < 1) return {};
    return squareOverhang(cornerX, cornerY, side, photo.width(), photo.height(), kSquareWords).value_or(std::string());
}

std::string TextureSession::checkSquare(const Square& square, const std::string& squareName,
                                        const std::string& sideText, const std::string& label) const {
    if (!photoLoaded_) throw imaging::RunError::refused(label + "load the photograph first, then its square");
    checkSquarePhoto(square, squareName, imageFileName, label);
    return checkCorner(square.x, square.y, square.side ? imaging::numberText(int(*square.side)) : sideText);
}

void TextureSession::pressPhoto(double x, double y, const std::string& sideText) {
    // Without a loaded photo (none selected yet, or the last selection could not be read) there
    // is nothing to reload and no square to choose: the click is refused and changes nothing.
    // A square entirely outside the photograph is refused the same way, the corner kept.
    const std::string warning = checkCorner(x, y, sideText);
    hessianImage.setVisible(false);
    plotLabel = "Plot";
    // Loading the photo again removes the box of an earlier click; photo holds the photo of
    // imagePath unchanged, so removing the drawing is the same.
    photo.cls();
    regionX = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(x)));
    regionY = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(y)));
    regionSide = readWhole(sideText, TextureParameter::RegionSide);
    regionXText = imaging::numberText(static_cast<int>(regionX));
    regionYText = imaging::numberText(static_cast<int>(regionY));
    squareWarning = warning;
    if (regionSide + y <= photo.scaleHeight() && regionSide + x < photo.scaleWidth()) {
        const int16_t left = imaging::sub16(regionX, 2), top = imaging::sub16(regionY, 2);
        const int16_t right = imaging::add16(imaging::add16(regionX, regionSide), 2);
        const int16_t bottom = imaging::add16(imaging::add16(regionY, regionSide), 2);
        photo.line(left, top, right, bottom, imaging::rgbColour(0, 255, 255), imaging::LineKind::Box);
    }
}

void TextureSession::movePointerOverPhoto(double x, double y) {
    greyReadout.cls();
    greyReadout.print(imaging::greyOf(photo.point(x, y)));
}

namespace {

// Keeps lastColumnText/lastRowText current and passes everything on to the window's observer.
class SessionObserver final : public RunObserver {
public:
    SessionObserver(TextureSession& session, RunObserver* next) : session_(session), next_(next) {}
    void statusPrinted(const std::string& word) override {
        if (next_) next_->statusPrinted(word);
    }
    void extentsChanged(int extentX, int extentY) override {
        session_.lastColumnText = imaging::numberText(extentX);
        session_.lastRowText = imaging::numberText(extentY);
        if (next_) next_->extentsChanged(extentX, extentY);
    }
    void beep() override {
        if (next_) next_->beep();
    }

private:
    TextureSession& session_;
    RunObserver* next_;
};

}  // namespace

RunOutcome TextureSession::run(Variant variant, const RunTexts& texts, RunObserver* observer, FreezeStrategy freeze) {
    // A run needs the photograph in photo. Without one it would measure an empty (or an
    // earlier) picture under the selected name, so it is refused before anything changes or is
    // written; the results file of the last run stays as it was.
    refuseWithoutPhoto();
    // Outputs and the square are checked before anything changes or is written.
    // The results file never replaces the photograph or its square file beside it (the square
    // "Save square" writes and "Load square" reads).
    imaging::guardOutput(outputLabels.resultsFile, texts.resultsName, "results file",
                         {imagePath, {squareFileFor(imagePath), "square file"}});
    // "Sampling width" is read first: the square's warning depends on it, and regionSide is taken
    // from it by every run, also when the run stops early. A side that is not a 16-bit number
    // fails after the warning is cleared.
    std::optional<int16_t> side;
    std::exception_ptr sideError;
    try {
        side = readWhole(texts.regionSide, TextureParameter::RegionSide);
    } catch (const ParameterError&) {
        sideError = std::current_exception();
    }
    std::string warning;
    if (side && *side >= 1)
        warning = squareOverhang(regionX, regionY, *side, photo.width(), photo.height(), kSquareWords)
                      .value_or(std::string());
    squareWarning = warning;
    runHiddenPicture.setVisible(false);
    if (sideError) std::rethrow_exception(sideError);
    regionSide = *side;
    RunRequest request;
    request.parameters.resultsName = texts.resultsName;
    request.imageFileName = imageFileName;
    request.photographPath = imagePath;
    request.derived.freeze = freeze;
    request.derived.names = derivedImageNames;
    request.derived.deleteAtEnd = freeze == FreezeStrategy::ThroughFiles;
    // The run's seed: a loaded square's (once), the session's, or the clock's; without any, in a
    // session over the caller's generator, that generator.
    lastRunSquare_.reset();
    std::optional<uint64_t> runSeed = nextRunSeed_ ? nextRunSeed_ : fixedSeed_;
    nextRunSeed_.reset();
    if (!runSeed && ownRandom_) runSeed = imaging::clockSeed();
    std::optional<imaging::FastRandom> seeded;
    if (runSeed) seeded.emplace(imaging::generatorSeed(*runSeed));
    request.labels = outputLabels;
    // The outputs are refused before the other parameters are read, as the run meets them.
    refuseOutputsOverInputs(request);
    request.parameters = readParameters(texts, regionX, regionY, variant);
    SessionObserver sessionObserver(*this, observer);
    ResultsFile results;
    results.label = outputLabels.resultsFile;
    const RunOutcome outcome = runAnalysis(PhotoView(photo), request,
                                           RunSurfaces{monochromeImage, hessianImage, figure, statusView}, results,
                                           seeded ? static_cast<imaging::UniformRandom&>(*seeded) : random_,
                                           &sessionObserver);
    boxSizes = outcome.boxSizes;
    Square square;
    square.photo = imageFileName;
    square.x = regionX;
    square.y = regionY;
    square.side = outcome.regionSide;
    square.window = request.parameters.tileSide;
    square.neighbour = request.parameters.neighbourDistance;
    square.variant = variant;
    square.seed = runSeed;
    lastRunSquare_ = square;
    return outcome;
}

}  // namespace texturemeter
