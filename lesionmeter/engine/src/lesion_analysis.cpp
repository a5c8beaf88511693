// The lesion analysis as steps on its data: each step is a short sequence of the stages.

#include "lesionmeter/lesion_analysis.hpp"

#include <filesystem>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/paths.hpp"
#include "imaging/picture_fit.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// A seed for a run that was given none: drawn from the analysis's generator (clock-seeded in the
// programs, fixed in tests), below 2^53 so that every JSON reader keeps it exact.
uint64_t drawRunSeed(imaging::UniformRandom& random) {
    random.reseedFromClock();
    return static_cast<uint64_t>(random.next() * 0x1p53);
}

std::string outlineFileText(const std::string& name) { return std::string(kOutlineFileWords) + " " + name; }

}  // namespace

std::string chosenFilePath(const std::string& folder, const std::string& fileName) {
    const bool endsInSeparator = !folder.empty() && (folder.back() == imaging::kPathSeparator || folder.back() == '\\');
    return endsInSeparator ? folder + fileName : folder + imaging::kPathSeparator + fileName;
}

std::pair<std::string, std::string> choosePhotograph(const std::string& photoPath) {
    const std::filesystem::path photo(photoPath);
    const std::string folder = photo.has_parent_path() ? photo.parent_path().string() : std::string(".");
    const std::string fileName = photo.filename().string();
    return {chosenFilePath(folder, fileName), fileName};
}

DerivedFileNames derivedFileNames(const std::string& photographName) {
    const auto dot = photographName.find('.');
    const std::string base = dot == std::string::npos ? photographName : photographName.substr(0, dot);
    return {"c:\\" + base + ".bmp", "c:\\" + base + "P" + ".bmp", "c:\\" + base + "U" + ".bmp"};
}

void sizeAnalysisPictures(AnalysisPictures& p) {
    using imaging::PictureSurface;
    p.photo = PictureSurface(353, 305, imaging::SizePolicy::GrowToPicture);
    for (PictureSurface* view : {&p.lesionMap, &p.outline, &p.axisView}) *view = PictureSurface(313, 305);
    for (PictureSurface* strip : {&p.leftColumnProfile, &p.upperRowProfile}) *strip = PictureSurface(321, 65);
    for (PictureSurface* strip : {&p.lowerRowProfile, &p.rightColumnProfile}) *strip = PictureSurface(329, 65);
}

LesionAnalysis::LesionAnalysis(imaging::UniformRandom& random)
    : random_(random), ownPictures_(std::make_unique<AnalysisPictures>()), pictures_(ownPictures_.get()) {
    sizeAnalysisPictures(*pictures_);
}

LesionAnalysis::LesionAnalysis(imaging::UniformRandom& random, AnalysisPictures& pictures)
    : random_(random), pictures_(&pictures) {}

LesionAnalysis::~LesionAnalysis() = default;

// ---- Photograph -----------------------------------------------------------------------------

void LesionAnalysis::clearMaps() {
    state_.greyMap.fill(256.0f);
    pictures_->lesionMap.cls();
    pictures_->outline.cls();
}

void LesionAnalysis::loadPhotographFile(const std::string& path, const std::string& fileName, bool fitToMap) {
    // Decoded before anything changes, so that an unreadable file leaves the analysis as it was.
    loadPhotograph(imaging::loadImageFile(imaging::hostPath(path)), path, fileName, fitToMap);
    photoWarning_ = imaging::exifOrientationWarning(imaging::exifOrientation(imaging::hostPath(path)));
}

void LesionAnalysis::loadPhotograph(imaging::Image photograph, const std::string& path, const std::string& fileName,
                                    bool fitToMap) {
    double scale = 1.0;
    if (fitToMap) {
        imaging::FittedImage fitted = imaging::fitWithin(photograph, kMaxMapWidth, kMaxMapHeight);
        photograph = std::move(fitted.image);
        scale = fitted.scale;
    }
    photographName_ = fileName;
    photographPath_ = path;
    photoWarning_.clear();
    photographScale_ = scale;
    lastRunSeed_.reset();
    nextRunSeed_.reset();
    calcDone_ = fractalDone_ = axisDone_ = false;
    AnalysisPictures& p = *pictures_;
    p.photo.setPicture(std::move(photograph));
    clearSamples(SampleClass::In);
    for (imaging::PictureSurface* view : {&p.outline, &p.lesionMap, &p.photo, &p.axisView, &p.leftColumnProfile,
                                          &p.upperRowProfile, &p.lowerRowProfile, &p.rightColumnProfile})
        view->cls();
    state_.resetForNewImage();
}

bool LesionAnalysis::photographTooLarge() const {
    return pictures_->photo.width() > kMaxMapWidth || pictures_->photo.height() > kMaxMapHeight;
}

// ---- Samples and centre ---------------------------------------------------------------------

void LesionAnalysis::clearSamples(SampleClass sampleClass) {
    int16_t& count = sampleClass == SampleClass::In ? state_.inCount : state_.outCount;
    if (count != 0) ++samplesVersion_;
    count = 0;
}

RecordedSample LesionAnalysis::addSample(SampleClass sampleClass, float x, float y) {
    const imaging::Channels ch = imaging::splitColour(pictures_->photo.point(x, y));
    const bool in = sampleClass == SampleClass::In;
    int16_t& count = in ? state_.inCount : state_.outCount;
    if (count >= kMaxSamplesPerClass)
        throw imaging::RunError::refused(
            "Sample refused: at most 50 samples per class (select \"IN\" or \"OUT\" again to start the class anew)");
    const int n = imaging::add16(count, 1);
    ++samplesVersion_;
    count = static_cast<int16_t>(n);
    (in ? state_.inRed : state_.outRed)[n] = static_cast<float>(ch.red);
    (in ? state_.inGreen : state_.outGreen)[n] = static_cast<float>(ch.green);
    (in ? state_.inBlue : state_.outBlue)[n] = static_cast<float>(ch.blue);
    // The position is stored with the colour, so that no sample is ever without its position.
    (in ? state_.inX : state_.outX)[n] = x;
    (in ? state_.inY : state_.outY)[n] = y;
    return {n, ch.red, ch.green, ch.blue};
}

void LesionAnalysis::setCentre(float x, float y) {
    AnalysisPictures& p = *pictures_;
    drawClickProfiles(p.photo, x, y, p.upperRowProfile, p.leftColumnProfile, p.lowerRowProfile, p.rightColumnProfile);
    state_.centreX = x;
    state_.centreY = y;
    centre_ = std::make_pair(x, y);
    ++samplesVersion_;
}

// ---- Calc + Draw ----------------------------------------------------------------------------

void LesionAnalysis::calcAndDraw(AnalysisObserver& observer) { runCalcAndDraw(nullptr, observer); }

void LesionAnalysis::calcAndDraw() {
    AnalysisObserver quiet;
    runCalcAndDraw(nullptr, quiet);
}

void LesionAnalysis::calcAndDrawWithWeights(const Discriminant& weights, AnalysisObserver& observer) {
    runCalcAndDraw(&weights, observer);
}

void LesionAnalysis::calcAndDrawWithWeights(const Discriminant& weights) {
    AnalysisObserver quiet;
    runCalcAndDraw(&weights, quiet);
}

void LesionAnalysis::runCalcAndDraw(const Discriminant* fixed, AnalysisObserver& observer) {
    AnalysisPictures& p = *pictures_;
    // Refusals come before any change.
    const int width = p.photo.width();
    const int height = p.photo.height();
    if (width > kMaxMapWidth || height > kMaxMapHeight)
        throw imaging::RunError::refused("Calc + Draw: the photograph is " + imaging::numberText(width) + " x " +
                                         imaging::numberText(height) + " pixels; the lesion map holds at most " +
                                         imaging::numberText(kMaxMapWidth) + " x " + imaging::numberText(kMaxMapHeight) +
                                         " pixels");
    if (state_.inCount < 1 || state_.outCount < 1)
        throw imaging::RunError::refused(
            "Calc + Draw needs at least one \"IN\" and one \"OUT\" sample: select \"IN\" and click inside the lesion, "
            "then select \"OUT\" and click on the surrounding skin");
    observer.calcStarted();

    // Every random draw of this run, and of the axis after it, comes from the run's seed.
    const uint64_t runSeed = fixedSeed_ ? *fixedSeed_ : nextRunSeed_ ? *nextRunSeed_ : drawRunSeed(random_);
    nextRunSeed_.reset();
    lastRunSeed_ = runSeed;
    runRandom_.emplace(runSeed);
    imaging::UniformRandom& random = *runRandom_;
    calcDone_ = fractalDone_ = axisDone_ = false;

    const int n = samplePairCount(state_);
    samplePairs_ = n;
    sampleMeans_ = {sampleMean(state_.inRed, n),  sampleMean(state_.inGreen, n),  sampleMean(state_.inBlue, n),
                    sampleMean(state_.outRed, n), sampleMean(state_.outGreen, n), sampleMean(state_.outBlue, n)};

    Discriminant chosen;
    if (fixed) {
        observer.sampleMeansReady(n);
        chosen = *fixed;
        acceptedCount_ = 0;
    } else {
        random.reseedFromClock();
        const SearchResult result = searchDiscriminant(
            state_, random, [&] { observer.sampleMeansReady(n); },
            [&](const AcceptedSet& set) { observer.weightSetAccepted(set); });
        observer.searchFinished(result.selection.minimum);
        chosen = result.chosen;
        acceptedCount_ = result.accepted;
    }
    state_.weightRed = chosen.weightRed;
    state_.weightGreen = chosen.weightGreen;
    state_.weightBlue = chosen.weightBlue;
    chosen_ = chosen;
    observer.weightsChosen(chosen);
    observer.beep();
    observer.beep();

    classifyPicture(p.photo, chosen, state_, p.lesionMap);
    trimOutside(state_, p.lesionMap, random);
    plotLuminanceProfiles(p.photo, p.upperRowProfile, p.leftColumnProfile, p.lowerRowProfile, p.rightColumnProfile);
    calcSamplesVersion_ = samplesVersion_;
    calcDone_ = true;
}

// ---- Outline --------------------------------------------------------------------------------

void LesionAnalysis::drawOutline() {
    pictures_->outline.cls();
    lesionmeter::drawOutline(state_, pictures_->outline);
}

void LesionAnalysis::eraseOutline(EraserMode mode, float x, float y) { eraseAt(pictures_->outline, mode, x, y); }

std::vector<imaging::InputFile> LesionAnalysis::readFiles() const {
    if (photographPath_.empty()) return {photographPath_};
    return {photographPath_, {marksFileFor(photographPath_), "marks file"}};
}

bool LesionAnalysis::outlineWouldReplaceAnotherFile(const std::string& name) const {
    if (name.empty())
        throw OutlineFileError(imaging::ErrorKind::Refused, OutlineFileProblem::NoName, name,
                               std::string(kOutlineFileWords) + " has no name (load a photograph first)");
    // The outline file must not replace the photograph it was drawn from, nor any other picture
    // this analysis did not write.
    try {
        imaging::guardOutput(kOutlineFileWords, name, "", readFiles(), &written_);
    } catch (const imaging::RunError& e) {
        throw OutlineFileError(e.kind(), OutlineFileProblem::RefusedByGuard, name, e.what());
    }
    return imaging::fileExists(name) && !written_.contains(name);
}

void LesionAnalysis::saveOutline(const std::string& name, bool replaceExisting) {
    if (outlineWouldReplaceAnotherFile(name) && !replaceExisting)
        throw OutlineFileError(imaging::ErrorKind::Refused, OutlineFileProblem::ReplacesAnotherFile, name,
                               outlineFileText(name) +
                                   " already exists and was not written by this analysis; it is not replaced");
    imaging::savePicture(pictures_->outline.image(), imaging::hostPath(name));
    written_.remember(name);
}

void LesionAnalysis::reloadOutline(const std::string& name) {
    const std::string path = imaging::hostPath(name);
    if (name.empty() || !imaging::fileExists(name))
        throw OutlineFileError(imaging::ErrorKind::FileNotFound, OutlineFileProblem::NotFound, name,
                               (name.empty() ? std::string(kOutlineFileWords) + " has no name" : outlineFileText(name)) +
                                   " was not found (saving the outline writes it, reloading it consumes it)");
    const float height = state_.scanHeight == 0.0f ? 300.0f : state_.scanHeight;
    const float width = state_.scanWidth == 0.0f ? 300.0f : state_.scanWidth;
    if (width > kMaxMapWidth || height > kMaxMapWidth)
        throw imaging::RunError::refused("loadcal: the analysed area is larger than the 0..500 outline grid");
    // Decoded before anything changes, so that an unreadable file leaves everything as it was.
    imaging::Image outline = imaging::loadImageFile(path);

    state_.scanHeight = height;
    state_.scanWidth = width;
    imaging::PictureSurface& view = pictures_->outline;
    view.cls();
    view.setPicture(std::move(outline));
    // Only a file this analysis wrote is consumed; the user's own files stay.
    if (written_.contains(name)) imaging::deleteFile(name);
    redrawReloadedOutline(state_, view);
}

// ---- Measurements ---------------------------------------------------------------------------

const FractalResults& LesionAnalysis::measureFractalDimensions() {
    // Snapshot: what is drawn on the outline becomes its background picture. A BMP file written
    // and read back holds exactly these pixels, so the round trip happens in memory and no file
    // of the working folder (a user's own "testt.bmp" included) is touched.
    AnalysisPictures& p = *pictures_;
    imaging::PictureSurface& view = p.outline;
    imaging::Image snapshot = view.image();
    view.cls();
    view.setPicture(std::move(snapshot));
    fractal_ = lesionmeter::measureFractalDimensions(view, p.upperRowProfile, p.leftColumnProfile, p.lowerRowProfile,
                                                     p.rightColumnProfile, &fractalFits_);
    fractalDone_ = true;
    return fractal_;
}

const AxisResults& LesionAnalysis::measureAxis() {
    // The outline is copied into the axis view, in memory (the pixels a transfer file would carry).
    AnalysisPictures& p = *pictures_;
    p.axisView.cls();
    p.axisView.setPicture(p.outline.image());
    const AxisResults result = lesionmeter::measureAxis(
        p.outline, p.axisView, runRandom_ ? static_cast<imaging::UniformRandom&>(*runRandom_) : random_);
    if (result.darkPixels == 0)
        throw imaging::RunError::refused(
            "axis: the outline has no dark pixel (mean grey below 30) in x, y = 1..300; draw it with LINE or "
            "reload it with loadcal first");
    axis_ = result;
    axisDone_ = true;
    return axis_;
}

LesionMeasurements LesionAnalysis::measurements() const {
    LesionMeasurements m;
    if (calcDone_) {
        m.weights = chosen_;
        m.means = sampleMeans_;
    }
    if (fractalDone_) m.fractal = fractal_;
    if (axisDone_) m.axis = axis_;
    return m;
}

void LesionAnalysis::appendResultsRow(const std::string& name, const std::string& dateTime,
                                      const std::string& label) {
    if (samplesChangedSinceCalc())
        throw imaging::RunError::refused("samples changed since Calc + Draw; press Calc + Draw again");
    imaging::guardOutput(label, name, "results file", readFiles(), &written_);
    lesionmeter::appendResultsRow(name, resultsOf(*this, dateTime));
}

}  // namespace lesionmeter
