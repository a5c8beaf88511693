#pragma once
// The interaction model of one lesion analysis: the window's state without the window. It turns
// presses, drags and option buttons into calls of the analysis steps (LesionAnalysis) and keeps
// what only a window has: the option groups, which views are shown, whether "Save 2" is enabled,
// the mouse pointer, the texts named by what they hold (LesionTexts) and the pictures that show
// numbers (LesionPictures beside the analysis pictures). It offers one operation per user action;
// a window only translates its events into these calls and paints the pictures and texts.
//
// Errors: every operation reports a failure by throwing imaging::RunError. The message is meant
// for the user (a message box in the window); the session stays usable with the state the failing
// operation left (ErrorKind::Refused means nothing was changed unless the operation's comment says
// otherwise).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "imaging/file_output.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/measurements.hpp"

namespace lesionmeter {

// The window's caption and the information panel's line.
inline constexpr const char* kWindowCaption = "Morphex 5.9c3";
inline constexpr const char* kInformationLine = "Morphex 5 for Win2000, XP";

// Mouse button states as the picture events deliver them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;

// "B+W" or "LINE": which of the lesion map and the outline is shown.
enum class DisplayMode { BlackWhite, Line };
// The mouse pointer over the lesion map: the standard arrow or the four-headed move pointer.
enum class PointerShape { Arrow, Move };

// Hooks of "Calc + Draw": progress while the search accepts sets, and the system beep
// (sounded twice at the end of the search).
struct CalcCallbacks {
    std::function<void(const AcceptedSet&)> onAccepted;
    std::function<void()> beep;
};

// The pictures of a session: the analysis pictures and those that show numbers.
struct LesionPictures : AnalysisPictures {
    imaging::PictureSurface sampleCount;        // samples of the class sampled or selected last
    imaging::PictureSurface acceptedCount;      // weight sets accepted by the search
    imaging::PictureSurface weightRed;          // the linear red, green and blue weights as printed
    imaging::PictureSurface weightGreen;
    imaging::PictureSurface weightBlue;
    imaging::PictureSurface minimumMargin;      // the smallest margin of the accepted sets
    imaging::PictureSurface information;        // the information panel
};

// The texts a session shows. The user may edit them; the commands read the file names when they
// need them.
struct LesionTexts {
    // The pixel under the pointer: channel values, green + red, and luminance.
    std::string pixelBlue, pixelGreen, pixelRed, greenPlusRed, luminance;
    // File names.
    std::string imagePath = "c:\\oval02a.jpg";        // the loaded photograph
    std::string mapFileName = "c:\\outpic.bmp";       // derived from the photo: NAME.bmp
    std::string profileFileName;                       // derived: NAMEP.bmp
    std::string outlineFileName;                       // derived: NAMEU.bmp (saveOutline, reloadOutline)
    std::string rgbOutputName = "c:\\RGBa.txt";       // the RGB output file, opened at start-up
    std::string resultsFileName = "c:\\10esult.txt";  // the file "Save 2" appends to
    // Results.
    std::string inMeans;                               // "皮疹内-- R: ..." ("Calc + Draw")
    std::string outMeans;                              // "皮疹外--R: ..."
    std::string outlineDimension;                      // FRD1 ("Fractal calc")
    std::string upperRowProfileDimension;
    std::string leftColumnProfileDimension;
    std::string lowerRowProfileDimension;
    std::string rightColumnProfileDimension;
    std::string profileDimension;                      // FRD2
    std::string centroidX, centroidY;                  // "axis"
};

class LesionSession {
public:
    // The window as it opens: the pictures' sizes, the default texts, which views are shown.
    // `random` serves the discriminant search, the fringe dither and the axis radii; it must
    // outlive the session.
    explicit LesionSession(imaging::UniformRandom& random);
    ~LesionSession();
    LesionSession(const LesionSession&) = delete;
    LesionSession& operator=(const LesionSession&) = delete;

    // The analysis under the session: its steps, results and seeds.
    LesionAnalysis& analysis() { return analysis_; }
    const LesionAnalysis& analysis() const { return analysis_; }

    // ---- Window and file handling ------------------------------------------------------------

    // Start-up: counts 0, "Save 2" disabled, the axis view hidden, FRD1 emptied, and (when asked)
    // the RGB output file named by its text opened for appending; it keeps that name until "END".
    void startUp(bool openRgbOutputFile = true);
    // "File": greyMap all 256, the chooser shown, lesion map and outline cleared and hidden, B+W
    // selected, "Save 2" disabled, FRD1 emptied.
    void openChooser();
    // A click on a file name in the chooser: the path is folder + separator + fileName (no added
    // separator when the folder already ends in one); loads it into the photo (which grows to the
    // image), hides the chooser, selects IN and B+W, clears the pictures, fills the image path and
    // the derived file names and resets AnalysisState (greyMap and the reference centre stay).
    // With `fitToMap`, a photograph larger than the lesion map (500 x 503) is first reduced to fit
    // by area averaging.
    void loadImage(const std::string& folder, const std::string& fileName, bool fitToMap = false);
    // The same for a photograph decoded elsewhere (pixels handed over by a caller that is not a
    // chooser): `path` stands as the image path, `fileName` names it for the derived file names.
    void loadPhotograph(imaging::Image photograph, const std::string& path, const std::string& fileName,
                        bool fitToMap = false);
    // Whether the photograph is too large for "Calc + Draw" (more than 500 x 503).
    bool photographTooLarge() const { return analysis_.photographTooLarge(); }
    // The reduction factor of the loaded photograph (1 when it was not reduced); a position in
    // the photo divided by it is the position in the photograph's file.
    double photographScale() const { return analysis_.photographScale(); }
    // "Information": shows the information panel and prints the information line into it (again
    // below on every press).
    void showInformation();
    // A click on the information panel hides it.
    void hideInformation();
    // "END": closes the RGB output file. The session can still be queried afterwards.
    void end();
    // "Save 2": appends the results of the analysis as one row to the results file named by its
    // text ("c:\10esult.txt", $HOME/10esult.txt), after a header when the file is new or empty
    // (LesionAnalysis::appendResultsRow).
    void appendResultsRow();
    // Whether the samples or the centre changed since the last "Calc + Draw" that gave results.
    bool samplesChangedSinceCalc() const { return analysis_.samplesChangedSinceCalc(); }
    // The clock that dates the rows of "Save 2" (local time "YYYY-MM-DD HH:MM:SS" by default).
    void setDateTimeSource(std::function<std::string()> source) { dateTime_ = std::move(source); }

    // ---- Seeds and marks ---------------------------------------------------------------------

    // The seeds of the analysis (LesionAnalysis::setSeed, setNextRunSeed, lastRunSeed).
    void setSeed(std::optional<uint64_t> seed) { analysis_.setSeed(seed); }
    std::optional<uint64_t> seed() const { return analysis_.seed(); }
    void setNextRunSeed(std::optional<uint64_t> seed) { analysis_.setNextRunSeed(seed); }
    std::optional<uint64_t> nextRunSeed() const { return analysis_.nextRunSeed(); }
    std::optional<uint64_t> lastRunSeed() const { return analysis_.lastRunSeed(); }
    // The reference centre of the last right click, if any (it outlives loading a photograph,
    // as the centre itself does).
    std::optional<std::pair<float, float>> centreClick() const { return analysis_.centre(); }
    // Whether the last "Calc + Draw", "Fractal calc" and "axis" since the photograph was loaded
    // (and, for the last two, since the last "Calc + Draw") gave results.
    bool calcDone() const { return analysis_.calcDone(); }
    bool fractalDone() const { return analysis_.fractalDone(); }
    bool axisDone() const { return analysis_.axisDone(); }

    // ---- Colour sampling and profiles --------------------------------------------------------

    // "IN" / "OUT" selected: that class's count becomes 0, the sample count cleared and shows 0.
    void selectIn();
    void selectOut();
    SampleClass sampleClass() const { return sampleClass_; }
    // The pointer moves over the photo (any button state): the pixel readout texts.
    void pointerMove(float x, float y);
    // A button pressed over the photo: left alone records a sample of the selected class (the
    // 51st of a class is refused with "at most 50 samples per class"; the 50 stay), right alone
    // draws the four grey profiles and sets the reference centre; other states do nothing.
    void mouseDown(int button, float x, float y);
    void leftClick(float x, float y) { mouseDown(kLeftButton, x, y); }
    void rightClick(float x, float y) { mouseDown(kRightButton, x, y); }
    // "RGB output ": when ticked every sample is appended to the RGB output file.
    bool rgbOutputTicked() const { return rgbOutputTicked_; }
    void setRgbOutputTicked(bool ticked) { rgbOutputTicked_ = ticked; }

    // ---- Calc + Draw -------------------------------------------------------------------------

    // "Calc + Draw" (LesionAnalysis::calcAndDraw): the sample means into their texts, every
    // accepted weight set into the accepted count and the weight pictures, the smallest margin,
    // the chosen weights, the beep twice, then the lesion map shown.
    void calcAndDraw(const CalcCallbacks& callbacks = {});
    // The same with a given discriminant instead of the random search: the sample means are
    // still shown, the weight views show the weights, the accepted count and the minimum margin
    // stay as they were, the beep still sounds twice.
    void calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks = {});
    const Discriminant& chosenDiscriminant() const { return analysis_.chosenDiscriminant(); }
    int acceptedSetCount() const { return analysis_.acceptedSetCount(); }
    const SampleMeans& sampleMeans() const { return analysis_.sampleMeans(); }

    // ---- Outline drawing ---------------------------------------------------------------------

    // "B+W" selected: "Save 2" disabled, outline and axis view hidden, lesion map shown.
    void selectBlackWhite();
    // "LINE" selected: the outline of greyMap drawn and shown, lesion map and axis view hidden,
    // "Save 2" enabled.
    void selectLine();
    DisplayMode displayMode() const { return displayMode_; }
    // "nar", "wide", "put".
    void selectEraser(EraserMode mode) { eraserMode_ = mode; }
    EraserMode eraserMode() const { return eraserMode_; }
    // The pointer moves over the outline with this button state: the eraser whitens a 4 x 4
    // ("nar") or 17 x 17 ("wide") square while the left button alone is held.
    void eraserMove(int button, float x, float y);
    // The pointer moves over the lesion map with this button state (no button or left alone): the
    // pointer becomes the arrow for "nar", the move pointer for "wide", unchanged for "put".
    void pointerOverLesionMap(int button);
    PointerShape lesionMapPointer() const { return lesionMapPointer_; }

    // ---- Outline save and reload -------------------------------------------------------------

    // "save1": writes the outline to the file named by the outline file name
    // (LesionAnalysis::saveOutline; the window asks the user before passing `replaceExisting`).
    void saveOutline(bool replaceExisting = false);
    // Whether saveOutline would replace an existing file this session did not write (so that the
    // window asks first). Throws the refusal of saveOutline when the name may not be written at all.
    bool outlineWouldReplaceAnotherFile() const;
    // "loadcal": rereads that file, redraws the outline and deletes the file when this session
    // wrote it; shows the outline, enables "Save 2". Without the file: nothing changed.
    void reloadOutline();
    // The files this session wrote itself ("save1", "Save 2", marks): those it may replace.
    imaging::WrittenFiles& writtenFiles() { return analysis_.writtenFiles(); }
    const imaging::WrittenFiles& writtenFiles() const { return analysis_.writtenFiles(); }

    // ---- Measurements ------------------------------------------------------------------------

    // "Fractal calc": FRD1 of the outline, the four profile dimensions and FRD2, as numbers and
    // texts; shows the outline and the profile strips.
    void measureFractalDimensions();
    const FractalResults& fractalResults() const { return analysis_.fractalResults(); }
    // The fits behind fractalResults() (empty before the first "Fractal calc").
    const FractalFits& fractalFits() const { return analysis_.fractalFits(); }
    // "axis": the outline copied to the axis view with the centroid cross and the two radii, the
    // centroid into its texts. With no dark pixel: a message after the copy, the centroid texts
    // unchanged.
    void measureAxis();
    const AxisResults& axisResults() const { return analysis_.axisResults(); }
    // Everything measured since the photograph was loaded, under its names.
    LesionMeasurements measurements() const { return analysis_.measurements(); }

    // ---- What the window shows ---------------------------------------------------------------

    LesionPictures& pictures() { return pictures_; }
    const LesionPictures& pictures() const { return pictures_; }
    // The texts; a window hands every edit of a text box to them.
    LesionTexts& texts() { return texts_; }
    const LesionTexts& texts() const { return texts_; }

    // Which views are shown, and whether "Save 2" is enabled.
    bool lesionMapShown() const { return pictures_.lesionMap.visible(); }
    bool outlineShown() const { return pictures_.outline.visible(); }
    bool axisViewShown() const { return pictures_.axisView.visible(); }
    bool profilesShown() const { return pictures_.upperRowProfile.visible(); }
    bool informationShown() const { return pictures_.information.visible(); }
    bool chooserShown() const { return chooserShown_; }
    bool save2Enabled() const { return save2Enabled_; }

    // The loaded photograph's warning for the window's status line (a JPEG loaded by loadImage
    // whose EXIF orientation is not 1: positions are stored-pixel positions); empty otherwise.
    const std::string& photoWarning() const { return analysis_.photoWarning(); }

    // The file name selected in the chooser (without folder), as written in RGB output lines.
    const std::string& selectedFileName() const { return analysis_.photographName(); }
    // Whether the RGB output file is open (between start-up and "END").
    bool rgbOutputOpen() const;

    const AnalysisState& state() const { return analysis_.state(); }
    AnalysisState& state() { return analysis_.state(); }

private:
    class CalcDisplay;
    void showProfiles(bool shown);
    void clearPictures();
    void showSampleCount(int count);
    void showPhotograph(const std::string& path, const std::string& fileName);

    LesionPictures pictures_;
    LesionAnalysis analysis_;
    LesionTexts texts_;
    bool chooserShown_ = false;
    bool save2Enabled_ = true;
    SampleClass sampleClass_ = SampleClass::In;
    DisplayMode displayMode_ = DisplayMode::BlackWhite;
    EraserMode eraserMode_ = EraserMode::Narrow;
    PointerShape lesionMapPointer_ = PointerShape::Arrow;
    bool rgbOutputTicked_ = false;
    std::string rgbOutputName_;
    std::unique_ptr<imaging::OutputFile> rgbOutput_;
    std::function<std::string()> dateTime_;
};

// The session's marks as they stand (marksOf of its analysis).
Marks marksOf(const LesionSession& session);

// Clicks the marks into the session exactly as a user would, after checkMarksPlacement: "IN"
// selected, the pointer moved to and left-clicked at each IN position; "OUT" selected, the same
// for each OUT position; the pointer moved to the centre and right-clicked there. Counts,
// readouts, RGB output lines and profiles are those of the same clicks by hand. The seed is not
// applied here (see LesionSession::setNextRunSeed).
void replayMarks(LesionSession& session, const Marks& marks);

}  // namespace lesionmeter
