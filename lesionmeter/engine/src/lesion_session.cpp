// The lesion analysis session: the window's controls and AnalysisState, and one operation per
// user action, each a short sequence of named steps.

#include "lesionmeter/lesion_session.hpp"

#include <filesystem>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"
#include "imaging/picture_fit.hpp"
#include "lesionmeter/results_row.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

int index(Control c) { return static_cast<int>(c); }

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

Control pictureControl(int n) {
    if (n < 1 || n > 18) throw imaging::RunError::subscriptOutOfRange();
    return static_cast<Control>(index(Control::Picture1) + n - 1);
}

Control textControl(int n) {
    if (n < 1 || n > 22) throw imaging::RunError::subscriptOutOfRange();
    return static_cast<Control>(index(Control::Text1) + n - 1);
}

// ---- The window as it opens -----------------------------------------------------------------

LesionSession::LesionSession(imaging::UniformRandom& random) : random_(random) {
    using imaging::PictureSurface;
    using imaging::SizePolicy;
    pictures_[1] = PictureSurface(353, 305, SizePolicy::GrowToPicture);
    for (int n : {2, 12, 13}) pictures_[n] = PictureSurface(313, 305);
    for (int n : {3, 4}) pictures_[n] = PictureSurface(25, 17);
    pictures_[5] = PictureSurface(121, 41);
    for (int n : {6, 7, 8, 9}) pictures_[n] = PictureSurface(57, 17);
    pictures_[10] = PictureSurface(273, 113);
    pictures_[11] = PictureSurface(57, 33);
    pictures_[14] = PictureSurface(169, 65);
    for (int n : {15, 16}) pictures_[n] = PictureSurface(321, 65);
    for (int n : {17, 18}) pictures_[n] = PictureSurface(329, 65);

    visible_.fill(true);
    enabled_.fill(true);
    for (Control c : {Control::Picture10, Control::Picture12, Control::Picture14, Control::Picture15,
                      Control::Picture16, Control::Picture17, Control::Picture18, Control::Text8, Control::Text10,
                      Control::Text11, Control::Text16, Control::Text17, Control::Text18, Control::Text19,
                      Control::Text20, Control::Text21, Control::Text22, Control::Command6, Control::Option7,
                      Control::Check1, Control::Label2})
        setVisible(c, false);
    for (Control c : {Control::Picture3, Control::Picture4, Control::Text1, Control::Text2, Control::Text3,
                      Control::Text4, Control::Text7, Control::Text12, Control::Text13})
        setEnabled(c, false);

    texts_[5] = "c:\\oval02a.jpg";
    texts_[6] = "c:\\outpic.bmp";
    texts_[9] = "c:\\10esult.txt";
    texts_[13] = "c:\\RGBa.txt";
}

LesionSession::~LesionSession() = default;

// ---- Controls -------------------------------------------------------------------------------

imaging::PictureSurface& LesionSession::picture(int n) {
    if (n < 1 || n > 18) throw imaging::RunError::subscriptOutOfRange();
    return pictures_[n];
}

const imaging::PictureSurface& LesionSession::picture(int n) const {
    if (n < 1 || n > 18) throw imaging::RunError::subscriptOutOfRange();
    return pictures_[n];
}

const std::string& LesionSession::text(int n) const {
    if (n < 1 || n > 22) throw imaging::RunError::subscriptOutOfRange();
    return texts_[n];
}

void LesionSession::setText(int n, const std::string& value) {
    if (n < 1 || n > 22) throw imaging::RunError::subscriptOutOfRange();
    texts_[n] = value;
}

bool LesionSession::visible(Control c) const {
    if (c >= Control::Picture1 && c <= Control::Picture18)
        return pictures_[index(c) - index(Control::Picture1) + 1].visible();
    return visible_[index(c)];
}

bool LesionSession::enabled(Control c) const { return enabled_[index(c)]; }

void LesionSession::setVisible(Control c, bool v) {
    if (c >= Control::Picture1 && c <= Control::Picture18)
        pictures_[index(c) - index(Control::Picture1) + 1].setVisible(v);
    visible_[index(c)] = v;
}

void LesionSession::setEnabled(Control c, bool v) { enabled_[index(c)] = v; }

bool LesionSession::rgbOutputOpen() const { return rgbOutput_ && rgbOutput_->isOpen(); }

// ---- Window and file handling ---------------------------------------------------------------

void LesionSession::startUp(bool openRgbOutputFile) {
    state_.inCount = 0;
    state_.outCount = 0;
    setEnabled(Control::Command4, false);
    if (openRgbOutputFile) {
        auto file = std::make_unique<imaging::OutputFile>();
        file->open(texts_[13], imaging::OutputFile::Mode::Append, "the RGB output file for appending");
        rgbOutput_ = std::move(file);
        rgbOutputName_ = texts_[13];
    }
    setVisible(Control::Picture13, false);
    texts_[7].clear();
}

void LesionSession::openChooser() {
    state_.greyMap.fill(256.0f);
    setVisible(Control::Picture10, true);
    pictures_[2].cls();
    pictures_[2].setVisible(false);
    pictures_[12].cls();
    pictures_[12].setVisible(false);
    selectBlackWhite();
    setEnabled(Control::Command4, false);
    texts_[7].clear();
}

void LesionSession::loadImage(const std::string& folder, const std::string& fileName, bool fitToMap) {
    // The folder and the name joined by the separator, unless the folder (a root) ends in one.
    const bool endsInSeparator = !folder.empty() && (folder.back() == imaging::kPathSeparator || folder.back() == '\\');
    const std::string path = endsInSeparator ? folder + fileName : folder + imaging::kPathSeparator + fileName;
    // Decoded before anything changes, so that an unreadable file leaves the session as it was.
    imaging::Image photograph = imaging::loadImageFile(imaging::hostPath(path));
    double scale = 1.0;
    if (fitToMap) {
        imaging::FittedImage fitted = imaging::fitWithin(photograph, kMaxMapWidth, kMaxMapHeight);
        photograph = std::move(fitted.image);
        scale = fitted.scale;
    }
    selectedFileName_ = fileName;
    photographScale_ = scale;
    lastRunSeed_.reset();
    nextRunSeed_.reset();
    calcDone_ = fractalDone_ = axisDone_ = false;
    texts_[5] = path;
    pictures_[1].setPicture(std::move(photograph));
    setVisible(Control::Picture10, false);
    selectIn();
    selectBlackWhite();
    for (int n : {12, 2, 12, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18}) pictures_[n].cls();
    pictures_[16].setAutoRedraw(true);
    const std::string base = baseNameOf(fileName);
    texts_[6] = "c:\\" + base + ".bmp";
    texts_[21] = "c:\\" + base + "P" + ".bmp";
    texts_[22] = "c:\\" + base + "U" + ".bmp";
    state_.resetForNewImage();
}

bool LesionSession::photographTooLarge() const {
    return pictures_[1].width() > kMaxMapWidth || pictures_[1].height() > kMaxMapHeight;
}

void LesionSession::save2() {
    appendResultsRow(texts_[9], resultsOf(*this, dateTime_ ? dateTime_() : localDateTime()));
}

void LesionSession::showInformation() {
    setVisible(Control::Picture14, true);
    pictures_[14].print(std::string(kInformationLine));
}

void LesionSession::hideInformation() { setVisible(Control::Picture14, false); }

void LesionSession::end() {
    // The file is closed and forgotten even when the close reports an error, which is then shown.
    std::unique_ptr<imaging::OutputFile> file = std::move(rgbOutput_);
    if (file) file->close();
}

// ---- Colour sampling and profiles -----------------------------------------------------------

void LesionSession::selectIn() {
    sampleClass_ = SampleClass::In;
    state_.inCount = 0;
    pictures_[3].cls();
    pictures_[3].print(0);
}

void LesionSession::selectOut() {
    sampleClass_ = SampleClass::Out;
    state_.outCount = 0;
    pictures_[3].cls();
    pictures_[3].print(0);
}

void LesionSession::pointerMove(float x, float y) {
    const imaging::Channels ch = imaging::splitColour(pictures_[1].point(x, y));
    texts_[1] = imaging::numberText(ch.blue);
    texts_[2] = imaging::numberText(ch.green);
    texts_[3] = imaging::numberText(ch.red);
    texts_[4] = imaging::numberText(ch.green + ch.red);
    texts_[12] = imaging::numberText(imaging::greyOf(ch));
}

void LesionSession::mouseDown(int button, float x, float y) {
    if (button == kLeftButton) {
        pointerMove(x, y);
        const imaging::Channels ch = imaging::splitColour(pictures_[1].point(x, y));
        const std::string luminanceText = texts_[12];
        const bool in = sampleClass_ == SampleClass::In;
        int16_t& count = in ? state_.inCount : state_.outCount;
        if (count >= kMaxSamplesPerClass)
            throw imaging::RunError::refused(
                "Sample refused: at most 50 samples per class (select \"IN\" or \"OUT\" again to start the class anew)");
        const int n = imaging::add16(count, 1);
        count = static_cast<int16_t>(n);
        (in ? state_.inRed : state_.outRed)[n] = static_cast<float>(ch.red);
        (in ? state_.inGreen : state_.outGreen)[n] = static_cast<float>(ch.green);
        (in ? state_.inBlue : state_.outBlue)[n] = static_cast<float>(ch.blue);
        // The position is stored with the colour, before the file is written, so that a failing
        // write cannot leave a sample without its position.
        (in ? state_.inX : state_.outX)[n] = x;
        (in ? state_.inY : state_.outY)[n] = y;
        pictures_[3].cls();
        pictures_[3].print(n);
        if (check1_) {
            if (!rgbOutputOpen())
                throw imaging::RunError::fileError("The RGB output file is not open",
                                                   rgbOutputName_.empty() ? texts_[13] : rgbOutputName_);
            rgbOutput_->write(rgbOutputLine(selectedFileName_, sampleClass_, ch.red, ch.green, ch.blue, luminanceText));
        }
    } else if (button == kRightButton) {
        drawClickProfiles(pictures_[1], x, y, pictures_[16], pictures_[15], pictures_[17], pictures_[18]);
        state_.centreX = x;
        state_.centreY = y;
        centreClick_ = std::make_pair(x, y);
    }
}

// ---- Calc + Draw ----------------------------------------------------------------------------

void LesionSession::calcAndDraw(const CalcCallbacks& callbacks) { runCalcAndDraw(nullptr, callbacks); }

void LesionSession::calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks) {
    runCalcAndDraw(&weights, callbacks);
}

void LesionSession::runCalcAndDraw(const Discriminant* fixed, const CalcCallbacks& callbacks) {
    // Refusals come before any change.
    const int width = pictures_[1].width();
    const int height = pictures_[1].height();
    if (width > kMaxMapWidth || height > kMaxMapHeight)
        throw imaging::RunError::refused("Calc + Draw: the photograph is " + imaging::numberText(width) + " x " +
                                         imaging::numberText(height) + " pixels; the lesion map holds at most " +
                                         imaging::numberText(kMaxMapWidth) + " x " + imaging::numberText(kMaxMapHeight) +
                                         " pixels");
    if (state_.inCount < 1 || state_.outCount < 1)
        throw imaging::RunError::refused(
            "Calc + Draw needs at least one \"IN\" and one \"OUT\" sample: select \"IN\" and click inside the lesion, "
            "then select \"OUT\" and click on the surrounding skin");

    setEnabled(Control::Command4, false);
    setVisible(Control::Picture13, false);
    setVisible(Control::Picture2, true);
    pictures_[12].setAutoRedraw(true);

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
        texts_[10] = sampleMeansText(kInsidePrefix, state_.inRed, state_.inGreen, state_.inBlue, n);
        texts_[11] = sampleMeansText(kOutsidePrefix, state_.outRed, state_.outGreen, state_.outBlue, n);
    };

    Discriminant chosen;
    if (fixed) {
        showSampleMeans();
        chosen = *fixed;
        acceptedCount_ = 0;
    } else {
        random.reseedFromClock();
        auto onAccepted = [&](const AcceptedSet& set) {
            pictures_[4].cls();
            pictures_[4].print(set.accepted);
            pictures_[6].cls();
            pictures_[6].print(set.weightRed);
            pictures_[7].cls();
            pictures_[7].print(set.weightGreen);
            pictures_[8].cls();
            pictures_[8].print(set.weightBlue);
            if (callbacks.onAccepted) callbacks.onAccepted(set);
        };
        const SearchResult result = searchDiscriminant(state_, random, showSampleMeans, onAccepted);
        pictures_[9].cls();
        pictures_[9].print(result.selection.minimum);
        chosen = result.chosen;
        acceptedCount_ = result.accepted;
    }
    state_.weightRed = chosen.weightRed;
    state_.weightGreen = chosen.weightGreen;
    state_.weightBlue = chosen.weightBlue;
    chosen_ = chosen;
    pictures_[6].cls();
    pictures_[6].print(state_.weightRed);
    pictures_[7].cls();
    pictures_[7].print(state_.weightGreen);
    pictures_[8].cls();
    pictures_[8].print(state_.weightBlue);
    if (callbacks.beep) {
        callbacks.beep();
        callbacks.beep();
    }

    classifyPicture(pictures_[1], chosen, state_, pictures_[2]);
    trimOutside(state_, pictures_[2], random);
    plotLuminanceProfiles(pictures_[1], pictures_[16], pictures_[15], pictures_[17], pictures_[18]);
    calcDone_ = true;
}

// ---- Outline drawing ------------------------------------------------------------------------

void LesionSession::selectBlackWhite() {
    displayMode_ = DisplayMode::BlackWhite;
    setEnabled(Control::Command4, false);
    pictures_[12].setAutoRedraw(true);
    setVisible(Control::Picture12, false);
    setVisible(Control::Picture13, false);
    setVisible(Control::Picture2, true);
}

void LesionSession::selectLine() {
    displayMode_ = DisplayMode::Line;
    setVisible(Control::Picture13, false);
    setVisible(Control::Picture2, false);
    setVisible(Control::Picture12, true);
    pictures_[12].cls();
    pictures_[12].setAutoRedraw(true);
    setEnabled(Control::Command4, true);
    pictures_[12].cls();
    drawOutline(state_, pictures_[12]);
}

void LesionSession::eraserMove(int button, float x, float y) { eraseAt(pictures_[12], eraserMode_, button, x, y); }

void LesionSession::pointerOverPicture2(int button) {
    if (button != 0 && button != kLeftButton) return;
    if (eraserMode_ == EraserMode::Narrow) picture2Pointer_ = PointerShape::Arrow;
    if (eraserMode_ == EraserMode::Wide) picture2Pointer_ = PointerShape::Move;
}

// ---- Outline save and reload ----------------------------------------------------------------

void LesionSession::save1() {
    const std::string name = texts_[22];
    if (name.empty())
        throw imaging::RunError::refused("save1: Text22 holds no outline file name (load an image first)");
    // The outline file must not replace the photograph it was drawn from.
    if (!texts_[5].empty() && imaging::sameFile(name, texts_[5]))
        throw imaging::RunError::refused("save1: the outline file " + name + " (Text22) is the photograph " +
                                         texts_[5] + " itself; change the name in Text22");
    pictures_[12].setAutoRedraw(false);
    imaging::savePicture(pictures_[12].image(), imaging::hostPath(name));
}

void LesionSession::loadcal() {
    const std::string name = texts_[22];
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

    setEnabled(Control::Command4, true);
    state_.scanHeight = height;
    state_.scanWidth = width;
    setVisible(Control::Picture13, false);
    setVisible(Control::Picture12, true);
    pictures_[12].setAutoRedraw(true);
    pictures_[12].cls();
    pictures_[12].setPicture(std::move(outline));
    pictures_[12].setAutoRedraw(false);
    imaging::deleteFile(name);
    redrawReloadedOutline(state_, pictures_[12]);
}

// ---- Measurements ---------------------------------------------------------------------------

void LesionSession::fractalCalc() {
    setVisible(Control::Picture13, false);
    setVisible(Control::Picture12, true);

    // Snapshot: what is drawn on Picture12 becomes its background picture. A BMP file written
    // and read back holds exactly these pixels, so the round trip happens in memory and no file
    // of the working folder (a user's own "testt.bmp" included) is touched.
    imaging::PictureSurface& view = pictures_[12];
    view.setAutoRedraw(false);
    imaging::Image snapshot = view.image();
    view.setAutoRedraw(true);
    view.cls();
    view.setPicture(std::move(snapshot));

    fractal_ =
        measureFractalDimensions(view, pictures_[16], pictures_[15], pictures_[17], pictures_[18], &fractalFits_);
    setEnabled(Control::Text7, true);
    texts_[7] = imaging::numberText(fractal_.frd1);
    setEnabled(Control::Text7, false);
    for (int n : {15, 16, 17, 18}) pictures_[n].setVisible(true);
    texts_[16] = imaging::numberText(fractal_.picture16);
    texts_[17] = imaging::numberText(fractal_.picture15);
    texts_[18] = imaging::numberText(fractal_.picture17);
    texts_[19] = imaging::numberText(fractal_.picture18);
    texts_[20] = imaging::numberText(fractal_.frd2);
    fractalDone_ = true;
}

void LesionSession::axis() {
    // The outline is copied into Picture13, in memory (the pixels a transfer file would carry).
    imaging::PictureSurface& view = pictures_[12];
    view.setAutoRedraw(false);
    imaging::Image copy = view.image();
    view.setAutoRedraw(true);
    setVisible(Control::Picture12, false);

    setVisible(Control::Picture13, true);
    pictures_[13].cls();
    pictures_[13].setPicture(std::move(copy));

    const AxisResults result = measureAxis(view, pictures_[13], runRandom_ ? static_cast<imaging::UniformRandom&>(*runRandom_) : random_);
    if (result.darkPixels == 0)
        throw imaging::RunError::refused(
            "axis: the outline has no dark pixel (mean grey below 30) in x, y = 1..300; draw it with LINE or "
            "reload it with loadcal first");
    axis_ = result;
    axisDone_ = true;
    texts_[14] = imaging::numberText(result.centroidX);
    texts_[15] = imaging::numberText(result.centroidY);
    setVisible(Control::Picture13, true);
}

}  // namespace lesionmeter
