// The interaction model of a lesion analysis: each user action becomes one or a few calls of
// the analysis steps, and the window's own state (options, shown views, texts, number pictures)
// follows.

#include "lesionmeter/lesion_session.hpp"

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

void printNumber(imaging::PictureSurface& view, auto value) {
    view.cls();
    view.print(value);
}

}  // namespace

// What "Calc + Draw" shows while the analysis runs: the sample means, every accepted set, the
// smallest margin, the chosen weights and the beep.
class LesionSession::CalcDisplay : public AnalysisObserver {
public:
    CalcDisplay(LesionSession& session, const CalcCallbacks& callbacks) : session_(session), callbacks_(callbacks) {}

    void calcStarted() override {
        session_.save2Enabled_ = false;
        session_.pictures_.axisView.setVisible(false);
        session_.pictures_.lesionMap.setVisible(true);
        session_.pictures_.outline.setAutoRedraw(true);
    }
    void sampleMeansReady(int n) override {
        const AnalysisState& s = session_.state();
        session_.texts_.inMeans = sampleMeansText(kInsidePrefix, s.inRed, s.inGreen, s.inBlue, n);
        session_.texts_.outMeans = sampleMeansText(kOutsidePrefix, s.outRed, s.outGreen, s.outBlue, n);
    }
    void weightSetAccepted(const AcceptedSet& set) override {
        LesionPictures& p = session_.pictures_;
        printNumber(p.acceptedCount, set.accepted);
        printNumber(p.weightRed, set.weightRed);
        printNumber(p.weightGreen, set.weightGreen);
        printNumber(p.weightBlue, set.weightBlue);
        if (callbacks_.onAccepted) callbacks_.onAccepted(set);
    }
    void searchFinished(float minimumMargin) override { printNumber(session_.pictures_.minimumMargin, minimumMargin); }
    void weightsChosen(const Discriminant& weights) override {
        LesionPictures& p = session_.pictures_;
        printNumber(p.weightRed, weights.weightRed);
        printNumber(p.weightGreen, weights.weightGreen);
        printNumber(p.weightBlue, weights.weightBlue);
    }
    void beep() override {
        if (callbacks_.beep) callbacks_.beep();
    }

private:
    LesionSession& session_;
    const CalcCallbacks& callbacks_;
};

// ---- The window as it opens -----------------------------------------------------------------

namespace {

LesionPictures sizedPictures() {
    using imaging::PictureSurface;
    LesionPictures p;
    sizeAnalysisPictures(p);
    for (PictureSurface* count : {&p.sampleCount, &p.acceptedCount}) *count = PictureSurface(25, 17);
    for (PictureSurface* number : {&p.weightRed, &p.weightGreen, &p.weightBlue, &p.minimumMargin})
        *number = PictureSurface(57, 17);
    p.information = PictureSurface(169, 65);
    return p;
}

}  // namespace

LesionSession::LesionSession(imaging::UniformRandom& random) : pictures_(sizedPictures()), analysis_(random, pictures_) {
    // Hidden as the window opens: the outline, the information panel and the profile strips.
    pictures_.outline.setVisible(false);
    pictures_.information.setVisible(false);
    showProfiles(false);
}

LesionSession::~LesionSession() = default;

// ---- What the window shows ------------------------------------------------------------------

void LesionSession::showProfiles(bool shown) {
    for (imaging::PictureSurface* strip : {&pictures_.upperRowProfile, &pictures_.leftColumnProfile,
                                           &pictures_.lowerRowProfile, &pictures_.rightColumnProfile})
        strip->setVisible(shown);
}

void LesionSession::showSampleCount(int count) { printNumber(pictures_.sampleCount, count); }

bool LesionSession::rgbOutputOpen() const { return rgbOutput_ && rgbOutput_->isOpen(); }

// ---- Window and file handling ---------------------------------------------------------------

void LesionSession::startUp(bool openRgbOutputFile) {
    state().inCount = 0;
    state().outCount = 0;
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
    analysis_.clearMaps();
    chooserShown_ = true;
    pictures_.lesionMap.setVisible(false);
    pictures_.outline.setVisible(false);
    selectBlackWhite();
    save2Enabled_ = false;
    texts_.outlineDimension.clear();
}

void LesionSession::loadImage(const std::string& folder, const std::string& fileName, bool fitToMap) {
    const std::string path = chosenFilePath(folder, fileName);
    analysis_.loadPhotographFile(path, fileName, fitToMap);
    showPhotograph(path, fileName);
}

void LesionSession::loadPhotograph(imaging::Image photograph, const std::string& path, const std::string& fileName,
                                   bool fitToMap) {
    analysis_.loadPhotograph(std::move(photograph), path, fileName, fitToMap);
    showPhotograph(path, fileName);
}

void LesionSession::showPhotograph(const std::string& path, const std::string& fileName) {
    texts_.imagePath = path;
    chooserShown_ = false;
    sampleClass_ = SampleClass::In;
    showSampleCount(0);
    selectBlackWhite();
    clearPictures();
    pictures_.upperRowProfile.setAutoRedraw(true);
    const DerivedFileNames derived = derivedFileNames(fileName);
    texts_.mapFileName = derived.map;
    texts_.profileFileName = derived.profile;
    texts_.outlineFileName = derived.outline;
}

void LesionSession::clearPictures() {
    LesionPictures& p = pictures_;
    for (imaging::PictureSurface* view : {&p.sampleCount, &p.acceptedCount, &p.weightRed, &p.weightGreen,
                                          &p.weightBlue, &p.minimumMargin, &p.information})
        view->cls();
}

void LesionSession::appendResultsRow() {
    analysis_.appendResultsRow(texts_.resultsFileName, dateTime_ ? dateTime_() : localDateTime(), "Save 2 file");
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
    sampleClass_ = SampleClass::In;
    analysis_.clearSamples(SampleClass::In);
    showSampleCount(0);
}

void LesionSession::selectOut() {
    sampleClass_ = SampleClass::Out;
    analysis_.clearSamples(SampleClass::Out);
    showSampleCount(0);
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
        const std::string luminanceText = texts_.luminance;
        const RecordedSample sample = analysis_.addSample(sampleClass_, x, y);
        showSampleCount(sample.number);
        if (rgbOutputTicked_) {
            if (!rgbOutputOpen())
                throw imaging::RunError::fileError("The RGB output file is not open",
                                                   rgbOutputName_.empty() ? texts_.rgbOutputName : rgbOutputName_);
            rgbOutput_->write(rgbOutputLine(selectedFileName(), sampleClass_, sample.red, sample.green, sample.blue,
                                            luminanceText));
        }
    } else if (button == kRightButton) {
        analysis_.setCentre(x, y);
    }
}

// ---- Calc + Draw ----------------------------------------------------------------------------

void LesionSession::calcAndDraw(const CalcCallbacks& callbacks) {
    CalcDisplay display(*this, callbacks);
    analysis_.calcAndDraw(display);
}

void LesionSession::calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks) {
    CalcDisplay display(*this, callbacks);
    analysis_.calcAndDrawWithWeights(weights, display);
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
    analysis_.drawOutline();
}

void LesionSession::eraserMove(int button, float x, float y) {
    if (button == kLeftButton) analysis_.eraseOutline(eraserMode_, x, y);
}

void LesionSession::pointerOverLesionMap(int button) {
    if (button != 0 && button != kLeftButton) return;
    if (eraserMode_ == EraserMode::Narrow) lesionMapPointer_ = PointerShape::Arrow;
    if (eraserMode_ == EraserMode::Wide) lesionMapPointer_ = PointerShape::Move;
}

// ---- Outline save and reload ----------------------------------------------------------------

bool LesionSession::outlineWouldReplaceAnotherFile() const {
    return analysis_.outlineWouldReplaceAnotherFile(texts_.outlineFileName);
}

void LesionSession::saveOutline(bool replaceExisting) {
    // Checked first so that nothing changes when the file may not be written.
    if (!analysis_.outlineWouldReplaceAnotherFile(texts_.outlineFileName) || replaceExisting)
        pictures_.outline.setAutoRedraw(false);
    analysis_.saveOutline(texts_.outlineFileName, replaceExisting);
}

void LesionSession::reloadOutline() {
    analysis_.reloadOutline(texts_.outlineFileName);
    save2Enabled_ = true;
    pictures_.axisView.setVisible(false);
    pictures_.outline.setVisible(true);
    pictures_.outline.setAutoRedraw(false);
}

// ---- Measurements ---------------------------------------------------------------------------

void LesionSession::measureFractalDimensions() {
    pictures_.axisView.setVisible(false);
    pictures_.outline.setVisible(true);
    const FractalResults& fractal = analysis_.measureFractalDimensions();
    pictures_.outline.setAutoRedraw(true);
    texts_.outlineDimension = imaging::numberText(fractal.outlineDimension);
    showProfiles(true);
    texts_.upperRowProfileDimension = imaging::numberText(fractal.profiles.upperRow);
    texts_.leftColumnProfileDimension = imaging::numberText(fractal.profiles.leftColumn);
    texts_.lowerRowProfileDimension = imaging::numberText(fractal.profiles.lowerRow);
    texts_.rightColumnProfileDimension = imaging::numberText(fractal.profiles.rightColumn);
    texts_.profileDimension = imaging::numberText(fractal.profileDimension);
}

void LesionSession::measureAxis() {
    pictures_.outline.setAutoRedraw(true);
    pictures_.outline.setVisible(false);
    pictures_.axisView.setVisible(true);
    const AxisResults& result = analysis_.measureAxis();
    texts_.centroidX = imaging::numberText(result.centroidX);
    texts_.centroidY = imaging::numberText(result.centroidY);
    pictures_.axisView.setVisible(true);
}

// ---- Marks ----------------------------------------------------------------------------------

Marks marksOf(const LesionSession& session) { return marksOf(session.analysis()); }

void replayMarks(LesionSession& session, const Marks& marks) {
    checkMarksPlacement(session.analysis(), marks);
    session.selectIn();
    for (const MarkPosition& p : marks.in) {
        session.pointerMove(p.x, p.y);
        session.leftClick(p.x, p.y);
    }
    session.selectOut();
    for (const MarkPosition& p : marks.out) {
        session.pointerMove(p.x, p.y);
        session.leftClick(p.x, p.y);
    }
    if (marks.centre) {
        session.pointerMove(marks.centre->x, marks.centre->y);
        session.rightClick(marks.centre->x, marks.centre->y);
    }
}

}  // namespace lesionmeter
