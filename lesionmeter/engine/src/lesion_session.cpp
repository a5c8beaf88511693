// The lesion analysis session: the window's controls and AnalysisState, and one operation per
// user action, each a short sequence of named steps.

#include "lesionmeter/lesion_session.hpp"

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
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// A seed for a run that was given none: drawn from the session's generator (clock-seeded in the
// programs, fixed in tests), below 2^53 so that every JSON reader keeps it exact.
uint64_t drawRunSeed(imaging::UniformRandom& random) {
    random.reseedFromClock();
    return static_cast<uint64_t>(random.next() * 0x1p53);
}

// The selected file's name up to its first "."; a name without "." is taken whole.
std::string baseNameOf(const std::string& fileName) {
    const auto dot = fileName.find('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

}  // namespace

// ---- The window as it opens -----------------------------------------------------------------

LesionSession::LesionSession(imaging::UniformRandom& random) : random_(random) {
    using imaging::PictureSurface;
    using imaging::SizePolicy;
    LesionPictures& p = pictures_;
    p.photo = PictureSurface(353, 305, SizePolicy::GrowToPicture);
    for (PictureSurface* view : {&p.lesionMap, &p.outline, &p.axisView}) *view = PictureSurface(313, 305);
    for (PictureSurface* count : {&p.sampleCount, &p.acceptedCount}) *count = PictureSurface(25, 17);
    for (PictureSurface* number : {&p.weightRed, &p.weightGreen, &p.weightBlue, &p.minimumMargin})
        *number = PictureSurface(57, 17);
    p.information = PictureSurface(169, 65);
    for (PictureSurface* strip : {&p.leftColumnProfile, &p.upperRowProfile}) *strip = PictureSurface(321, 65);
    for (PictureSurface* strip : {&p.lowerRowProfile, &p.rightColumnProfile}) *strip = PictureSurface(329, 65);
    // Hidden as the window opens: the outline, the information panel and the profile strips.
    p.outline.setVisible(false);
    p.information.setVisible(false);
    showProfiles(false);
}

LesionSession::~LesionSession() = default;

// ---- What the window shows ------------------------------------------------------------------

void LesionSession::showProfiles(bool shown) {
    for (imaging::PictureSurface* strip : {&pictures_.upperRowProfile, &pictures_.leftColumnProfile,
                                           &pictures_.lowerRowProfile, &pictures_.rightColumnProfile})
        strip->setVisible(shown);
}

LesionMeasurements LesionSession::measurements() const {
    LesionMeasurements m;
    if (calcDone_) {
        m.weights = chosen_;
        m.means = sampleMeans_;
    }
    if (fractalDone_) m.fractal = fractal_;
    if (axisDone_) m.axis = axis_;
    return m;
}

bool LesionSession::rgbOutputOpen() const { return rgbOutput_ && rgbOutput_->isOpen(); }

// ---- Window and file handling ---------------------------------------------------------------

void LesionSession::startUp(bool openRgbOutputFile) {
    state_.inCount = 0;
    state_.outCount = 0;
    save2Enabled_ = false;
    if (openRgbOutputFile) {
        auto file = std::make_unique<imaging::OutputFile>();
        // Its lines end in CR LF: a line appended after a last line cut short starts a new line.
        imaging::OutputOptions options;
        options.lineEnd = "\r\n";
        file->open(texts_.rgbOutputName, imaging::OutputFile::Mode::Append, "the RGB output file for appending",
                   options);
        rgbOutput_ = std::move(file);
        rgbOutputName_ = texts_.rgbOutputName;
    }
    pictures_.axisView.setVisible(false);
    texts_.outlineDimension.clear();
}

void LesionSession::openChooser() {
    state_.greyMap.fill(256.0f);
    chooserShown_ = true;
    pictures_.lesionMap.cls();
    pictures_.lesionMap.setVisible(false);
    pictures_.outline.cls();
    pictures_.outline.setVisible(false);
    selectBlackWhite();
    save2Enabled_ = false;
    texts_.outlineDimension.clear();
}

void LesionSession::loadImage(const std::string& folder, const std::string& fileName, bool fitToMap) {
    // The folder and the name joined by the separator, unless the folder (a root) ends in one.
    const bool endsInSeparator = !folder.empty() && (folder.back() == imaging::kPathSeparator || folder.back() == '\\');
    const std::string path = endsInSeparator ? folder + fileName : folder + imaging::kPathSeparator + fileName;
    // Decoded before anything changes, so that an unreadable file leaves the session as it was.
    loadPhotograph(imaging::loadImageFile(imaging::hostPath(path)), path, fileName, fitToMap);
    photoWarning_ = imaging::exifOrientationWarning(imaging::exifOrientation(imaging::hostPath(path)));
}

void LesionSession::loadPhotograph(imaging::Image photograph, const std::string& path, const std::string& fileName,
                                   bool fitToMap) {
    double scale = 1.0;
    if (fitToMap) {
        imaging::FittedImage fitted = imaging::fitWithin(photograph, kMaxMapWidth, kMaxMapHeight);
        photograph = std::move(fitted.image);
        scale = fitted.scale;
    }
    selectedFileName_ = fileName;
    photoWarning_.clear();
    photographScale_ = scale;
    lastRunSeed_.reset();
    nextRunSeed_.reset();
    calcDone_ = fractalDone_ = axisDone_ = false;
    texts_.imagePath = path;
    pictures_.photo.setPicture(std::move(photograph));
    chooserShown_ = false;
    selectIn();
    selectBlackWhite();
    clearPictures();
    pictures_.upperRowProfile.setAutoRedraw(true);
    const std::string base = baseNameOf(fileName);
    texts_.mapFileName = "c:\\" + base + ".bmp";
    texts_.profileFileName = "c:\\" + base + "P" + ".bmp";
    texts_.outlineFileName = "c:\\" + base + "U" + ".bmp";
    state_.resetForNewImage();
}

void LesionSession::clearPictures() {
    LesionPictures& p = pictures_;
    for (imaging::PictureSurface* view :
         {&p.outline, &p.lesionMap, &p.photo, &p.sampleCount, &p.acceptedCount, &p.weightRed, &p.weightGreen,
          &p.weightBlue, &p.minimumMargin, &p.axisView, &p.information, &p.leftColumnProfile, &p.upperRowProfile,
          &p.lowerRowProfile, &p.rightColumnProfile})
        view->cls();
}

bool LesionSession::photographTooLarge() const {
    return pictures_.photo.width() > kMaxMapWidth || pictures_.photo.height() > kMaxMapHeight;
}

void LesionSession::save2() {
    if (samplesChangedSinceCalc())
        throw imaging::RunError::refused("samples changed since Calc + Draw; press Calc + Draw again");
    const std::string& name = texts_.resultsFileName;
    imaging::guardOutput("Save 2 file", name, "results file", {texts_.imagePath}, &written_);
    appendResultsRow(name, resultsOf(*this, dateTime_ ? dateTime_() : localDateTime()));
}

void LesionSession::showInformation() {
    pictures_.information.setVisible(true);
    pictures_.information.print(std::string(kInformationLine));
}

void LesionSession::hideInformation() { pictures_.information.setVisible(false); }

void LesionSession::end() {
    // The file is closed and forgotten even when the close reports an error, which is then shown.
    std::unique_ptr<imaging::OutputFile> file = std::move(rgbOutput_);
    if (file) file->close();
}

// ---- Colour sampling and profiles -----------------------------------------------------------

void LesionSession::selectIn() {
    if (state_.inCount != 0) ++samplesVersion_;
    sampleClass_ = SampleClass::In;
    state_.inCount = 0;
    pictures_.sampleCount.cls();
    pictures_.sampleCount.print(0);
}

void LesionSession::selectOut() {
    if (state_.outCount != 0) ++samplesVersion_;
    sampleClass_ = SampleClass::Out;
    state_.outCount = 0;
    pictures_.sampleCount.cls();
    pictures_.sampleCount.print(0);
}

void LesionSession::pointerMove(float x, float y) {
    const imaging::Channels ch = imaging::splitColour(pictures_.photo.point(x, y));
    texts_.pixelBlue = imaging::numberText(ch.blue);
    texts_.pixelGreen = imaging::numberText(ch.green);
    texts_.pixelRed = imaging::numberText(ch.red);
    texts_.greenPlusRed = imaging::numberText(ch.green + ch.red);
    texts_.luminance = imaging::numberText(imaging::greyOf(ch));
}

void LesionSession::mouseDown(int button, float x, float y) {
    if (button == kLeftButton) {
        pointerMove(x, y);
        const imaging::Channels ch = imaging::splitColour(pictures_.photo.point(x, y));
        const std::string luminanceText = texts_.luminance;
        const bool in = sampleClass_ == SampleClass::In;
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
        // The position is stored with the colour, before the file is written, so that a failing
        // write cannot leave a sample without its position.
        (in ? state_.inX : state_.outX)[n] = x;
        (in ? state_.inY : state_.outY)[n] = y;
        pictures_.sampleCount.cls();
        pictures_.sampleCount.print(n);
        if (rgbOutputTicked_) {
            if (!rgbOutputOpen())
                throw imaging::RunError::fileError("The RGB output file is not open",
                                                   rgbOutputName_.empty() ? texts_.rgbOutputName : rgbOutputName_);
            rgbOutput_->write(rgbOutputLine(selectedFileName_, sampleClass_, ch.red, ch.green, ch.blue, luminanceText));
        }
    } else if (button == kRightButton) {
        drawClickProfiles(pictures_.photo, x, y, pictures_.upperRowProfile, pictures_.leftColumnProfile, pictures_.lowerRowProfile, pictures_.rightColumnProfile);
        state_.centreX = x;
        state_.centreY = y;
        centreClick_ = std::make_pair(x, y);
        ++samplesVersion_;
    }
}

// ---- Calc + Draw ----------------------------------------------------------------------------

void LesionSession::calcAndDraw(const CalcCallbacks& callbacks) { runCalcAndDraw(nullptr, callbacks); }

void LesionSession::calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks) {
    runCalcAndDraw(&weights, callbacks);
}

void LesionSession::runCalcAndDraw(const Discriminant* fixed, const CalcCallbacks& callbacks) {
    // Refusals come before any change.
    const int width = pictures_.photo.width();
    const int height = pictures_.photo.height();
    if (width > kMaxMapWidth || height > kMaxMapHeight)
        throw imaging::RunError::refused("Calc + Draw: the photograph is " + imaging::numberText(width) + " x " +
                                         imaging::numberText(height) + " pixels; the lesion map holds at most " +
                                         imaging::numberText(kMaxMapWidth) + " x " + imaging::numberText(kMaxMapHeight) +
                                         " pixels");
    if (state_.inCount < 1 || state_.outCount < 1)
        throw imaging::RunError::refused(
            "Calc + Draw needs at least one \"IN\" and one \"OUT\" sample: select \"IN\" and click inside the lesion, "
            "then select \"OUT\" and click on the surrounding skin");

    save2Enabled_ = false;
    pictures_.axisView.setVisible(false);
    pictures_.lesionMap.setVisible(true);
    pictures_.outline.setAutoRedraw(true);

    // Every random draw of this run, and of the "axis" after it, comes from the run's seed.
    const uint64_t runSeed = fixedSeed_ ? *fixedSeed_ : nextRunSeed_ ? *nextRunSeed_ : drawRunSeed(random_);
    nextRunSeed_.reset();
    lastRunSeed_ = runSeed;
    runRandom_.emplace(runSeed);
    imaging::UniformRandom& random = *runRandom_;
    calcDone_ = fractalDone_ = axisDone_ = false;

    const int n = samplePairCount(state_);
    sampleMeans_ = {sampleMean(state_.inRed, n),  sampleMean(state_.inGreen, n),  sampleMean(state_.inBlue, n),
                    sampleMean(state_.outRed, n), sampleMean(state_.outGreen, n), sampleMean(state_.outBlue, n)};
    auto showSampleMeans = [&] {
        texts_.inMeans = sampleMeansText(kInsidePrefix, state_.inRed, state_.inGreen, state_.inBlue, n);
        texts_.outMeans = sampleMeansText(kOutsidePrefix, state_.outRed, state_.outGreen, state_.outBlue, n);
    };

    Discriminant chosen;
    if (fixed) {
        showSampleMeans();
        chosen = *fixed;
        acceptedCount_ = 0;
    } else {
        random.reseedFromClock();
        auto onAccepted = [&](const AcceptedSet& set) {
            pictures_.acceptedCount.cls();
            pictures_.acceptedCount.print(set.accepted);
            pictures_.weightRed.cls();
            pictures_.weightRed.print(set.weightRed);
            pictures_.weightGreen.cls();
            pictures_.weightGreen.print(set.weightGreen);
            pictures_.weightBlue.cls();
            pictures_.weightBlue.print(set.weightBlue);
            if (callbacks.onAccepted) callbacks.onAccepted(set);
        };
        const SearchResult result = searchDiscriminant(state_, random, showSampleMeans, onAccepted);
        pictures_.minimumMargin.cls();
        pictures_.minimumMargin.print(result.selection.minimum);
        chosen = result.chosen;
        acceptedCount_ = result.accepted;
    }
    state_.weightRed = chosen.weightRed;
    state_.weightGreen = chosen.weightGreen;
    state_.weightBlue = chosen.weightBlue;
    chosen_ = chosen;
    pictures_.weightRed.cls();
    pictures_.weightRed.print(state_.weightRed);
    pictures_.weightGreen.cls();
    pictures_.weightGreen.print(state_.weightGreen);
    pictures_.weightBlue.cls();
    pictures_.weightBlue.print(state_.weightBlue);
    if (callbacks.beep) {
        callbacks.beep();
        callbacks.beep();
    }

    classifyPicture(pictures_.photo, chosen, state_, pictures_.lesionMap);
    trimOutside(state_, pictures_.lesionMap, random);
    plotLuminanceProfiles(pictures_.photo, pictures_.upperRowProfile, pictures_.leftColumnProfile, pictures_.lowerRowProfile, pictures_.rightColumnProfile);
    calcSamplesVersion_ = samplesVersion_;
    calcDone_ = true;
}

// ---- Outline drawing ------------------------------------------------------------------------

void LesionSession::selectBlackWhite() {
    displayMode_ = DisplayMode::BlackWhite;
    save2Enabled_ = false;
    pictures_.outline.setAutoRedraw(true);
    pictures_.outline.setVisible(false);
    pictures_.axisView.setVisible(false);
    pictures_.lesionMap.setVisible(true);
}

void LesionSession::selectLine() {
    displayMode_ = DisplayMode::Line;
    pictures_.axisView.setVisible(false);
    pictures_.lesionMap.setVisible(false);
    pictures_.outline.setVisible(true);
    pictures_.outline.cls();
    pictures_.outline.setAutoRedraw(true);
    save2Enabled_ = true;
    pictures_.outline.cls();
    drawOutline(state_, pictures_.outline);
}

void LesionSession::eraserMove(int button, float x, float y) { eraseAt(pictures_.outline, eraserMode_, button, x, y); }

void LesionSession::pointerOverLesionMap(int button) {
    if (button != 0 && button != kLeftButton) return;
    if (eraserMode_ == EraserMode::Narrow) lesionMapPointer_ = PointerShape::Arrow;
    if (eraserMode_ == EraserMode::Wide) lesionMapPointer_ = PointerShape::Move;
}

// ---- Outline save and reload ----------------------------------------------------------------

bool LesionSession::save1ReplacesAnotherFile() const {
    const std::string& name = texts_.outlineFileName;
    if (name.empty())
        throw imaging::RunError::refused("save1: Text22 holds no outline file name (load an image first)");
    // The outline file must not replace the photograph it was drawn from, nor any other picture
    // this session did not write.
    imaging::guardOutput("save1: the outline file (Text22)", name, "", {texts_.imagePath}, &written_);
    return imaging::fileExists(name) && !written_.contains(name);
}

void LesionSession::save1(bool replaceExisting) {
    const std::string name = texts_.outlineFileName;
    if (save1ReplacesAnotherFile() && !replaceExisting)
        throw imaging::RunError::refused("save1: " + name + " (Text22) already exists and was not written by "
                                         "\"save1\" in this session; it is not replaced; change the name in Text22");
    pictures_.outline.setAutoRedraw(false);
    imaging::savePicture(pictures_.outline.image(), imaging::hostPath(name));
    written_.remember(name);
}

void LesionSession::loadcal() {
    const std::string name = texts_.outlineFileName;
    const std::string path = imaging::hostPath(name);
    if (name.empty() || !imaging::fileExists(name))
        throw imaging::RunError(imaging::ErrorKind::FileNotFound,
                                "loadcal: the outline file " + (name.empty() ? std::string("(no name in Text22)") : name) +
                                    " was not found (\"save1\" writes it, \"loadcal\" deletes it after reading)");
    const float height = state_.scanHeight == 0.0f ? 300.0f : state_.scanHeight;
    const float width = state_.scanWidth == 0.0f ? 300.0f : state_.scanWidth;
    if (width > kMaxMapWidth || height > kMaxMapWidth)
        throw imaging::RunError::refused("loadcal: the analysed area is larger than the 0..500 outline grid");
    // Decoded before anything changes, so that an unreadable file leaves everything as it was.
    imaging::Image outline = imaging::loadImageFile(path);

    save2Enabled_ = true;
    state_.scanHeight = height;
    state_.scanWidth = width;
    pictures_.axisView.setVisible(false);
    pictures_.outline.setVisible(true);
    pictures_.outline.setAutoRedraw(true);
    pictures_.outline.cls();
    pictures_.outline.setPicture(std::move(outline));
    pictures_.outline.setAutoRedraw(false);
    // Only a file this session wrote is consumed; the user's own files stay.
    if (written_.contains(name)) imaging::deleteFile(name);
    redrawReloadedOutline(state_, pictures_.outline);
}

// ---- Measurements ---------------------------------------------------------------------------

void LesionSession::fractalCalc() {
    pictures_.axisView.setVisible(false);
    pictures_.outline.setVisible(true);

    // Snapshot: what is drawn on the outline becomes its background picture. A BMP file written
    // and read back holds exactly these pixels, so the round trip happens in memory and no file
    // of the working folder (a user's own "testt.bmp" included) is touched.
    imaging::PictureSurface& view = pictures_.outline;
    view.setAutoRedraw(false);
    imaging::Image snapshot = view.image();
    view.setAutoRedraw(true);
    view.cls();
    view.setPicture(std::move(snapshot));

    fractal_ = measureFractalDimensions(view, pictures_.upperRowProfile, pictures_.leftColumnProfile,
                                        pictures_.lowerRowProfile, pictures_.rightColumnProfile, &fractalFits_);
    texts_.outlineDimension = imaging::numberText(fractal_.outlineDimension);
    showProfiles(true);
    texts_.upperRowProfileDimension = imaging::numberText(fractal_.profiles.upperRow);
    texts_.leftColumnProfileDimension = imaging::numberText(fractal_.profiles.leftColumn);
    texts_.lowerRowProfileDimension = imaging::numberText(fractal_.profiles.lowerRow);
    texts_.rightColumnProfileDimension = imaging::numberText(fractal_.profiles.rightColumn);
    texts_.profileDimension = imaging::numberText(fractal_.profileDimension);
    fractalDone_ = true;
}

void LesionSession::axis() {
    // The outline is copied into the axis view, in memory (the pixels a transfer file would carry).
    imaging::PictureSurface& view = pictures_.outline;
    view.setAutoRedraw(false);
    imaging::Image copy = view.image();
    view.setAutoRedraw(true);
    pictures_.outline.setVisible(false);

    pictures_.axisView.setVisible(true);
    pictures_.axisView.cls();
    pictures_.axisView.setPicture(std::move(copy));

    const AxisResults result = measureAxis(view, pictures_.axisView, runRandom_ ? static_cast<imaging::UniformRandom&>(*runRandom_) : random_);
    if (result.darkPixels == 0)
        throw imaging::RunError::refused(
            "axis: the outline has no dark pixel (mean grey below 30) in x, y = 1..300; draw it with LINE or "
            "reload it with loadcal first");
    axis_ = result;
    axisDone_ = true;
    texts_.centroidX = imaging::numberText(result.centroidX);
    texts_.centroidY = imaging::numberText(result.centroidY);
    pictures_.axisView.setVisible(true);
}

}  // namespace lesionmeter
