#pragma once
// One lesion analysis session: the window's state without the window. It owns AnalysisState,
// every picture as an off-screen surface named by what it shows (LesionPictures), the texts named
// by what they hold (LesionTexts), the option groups, and which views are shown and whether
// "Save 2" is enabled. It offers one operation per user action; a window only translates its
// events into these calls and paints the pictures and texts.
//
// Errors: every operation reports a failure by throwing imaging::RunError. The message is meant
// for the user (a message box in the window, stderr in the command-line tool); the session stays
// usable with the state the failing operation left (ErrorKind::Refused means nothing was changed
// unless the operation's comment says otherwise).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "imaging/file_output.hpp"
#include "imaging/loglog_fit.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/measurements.hpp"

namespace lesionmeter {

// The window's caption and the information panel's line.
inline constexpr const char* kWindowCaption = "Morphex 5.9c3";
inline constexpr const char* kInformationLine = "Morphex 5 for Win2000, XP";

// Mouse button states as the picture events deliver them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;

// "IN" or "OUT": the class a left click samples.
enum class SampleClass { In, Out };
// "B+W" or "LINE": which of the lesion map and the outline is shown.
enum class DisplayMode { BlackWhite, Line };
// "nar", "wide" or "put" (erasing off).
enum class EraserMode { Narrow, Wide, Put };
// The mouse pointer over the lesion map: the standard arrow or the four-headed move pointer.
enum class PointerShape { Arrow, Move };

// One weight set accepted by the discriminant search, reported as it is accepted (after the
// accepted count and the three weight views have been reprinted) so that a window can repaint them.
struct AcceptedSet {
    int accepted;          // m, 1..7
    long long iteration;   // acceptance-phase iteration t at which it was accepted
    double weightRed, weightGreen, weightBlue;
    double squareWeightRed, squareWeightGreen, squareWeightBlue;
    float margin;          // Si - So of the last sample pair
};

// Hooks of "Calc + Draw": progress while the search accepts sets, and the system beep
// (sounded twice at the end of the search).
struct CalcCallbacks {
    std::function<void(const AcceptedSet&)> onAccepted;
    std::function<void()> beep;
};

// The pictures of a session: what each shows.
struct LesionPictures {
    imaging::PictureSurface photo;              // the photograph; pointer readout and colour samples
    imaging::PictureSurface lesionMap;          // B+W view: the lesion map of "Calc + Draw"
    imaging::PictureSurface outline;            // LINE view: the outline; eraser, save1, loadcal, FRD1
    imaging::PictureSurface axisView;           // the outline's copy with centroid and radii ("axis")
    imaging::PictureSurface sampleCount;        // samples of the class sampled or selected last
    imaging::PictureSurface acceptedCount;      // weight sets accepted by the search
    imaging::PictureSurface weightRed;          // the linear red, green and blue weights as printed
    imaging::PictureSurface weightGreen;
    imaging::PictureSurface weightBlue;
    imaging::PictureSurface minimumMargin;      // the smallest margin of the accepted sets
    imaging::PictureSurface information;        // the information panel
    imaging::PictureSurface upperRowProfile;    // the four luminance profile strips (ProfileDimensions)
    imaging::PictureSurface lowerRowProfile;
    imaging::PictureSurface leftColumnProfile;
    imaging::PictureSurface rightColumnProfile;
};

// The fits behind the last "Fractal calc": FRD1's box count of the outline picture and the four
// profile strips' (luminance along the row y = 140, the column x = 140, the row y = 170 and the
// column x = 170, the order of the four strip dimensions).
struct FractalFits {
    imaging::Fit outline;
    imaging::Fit row140;
    imaging::Fit column140;
    imaging::Fit row170;
    imaging::Fit column170;
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
    std::string outlineFileName;                       // derived: NAMEU.bmp ("save1", "loadcal")
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
    bool photographTooLarge() const;
    // The reduction factor of the loaded photograph (1 when it was not reduced); a position in
    // the photo divided by it is the position in the photograph's file.
    double photographScale() const { return photographScale_; }
    // "Information": shows the information panel and prints the information line into it (again
    // below on every press).
    void showInformation();
    // A click on the information panel hides it.
    void hideInformation();
    // "END": closes the RGB output file. The session can still be queried afterwards.
    void end();
    // "Save 2": appends the results of the analysis as one row to the results file named by its
    // text ("c:\10esult.txt", $HOME/10esult.txt), after a header when the file is new or empty.
    // Earlier rows are never rewritten; a failure changes nothing in the session. Refused, with
    // nothing written, when the file is the photograph or another existing picture
    // (imaging::guardOutput), and when samples (or the centre) were added or changed after the
    // last "Calc + Draw": the row would pair those positions with the means of other samples.
    void save2();
    // Whether the samples or the centre changed since the last "Calc + Draw" that gave results.
    bool samplesChangedSinceCalc() const { return calcDone_ && samplesVersion_ != calcSamplesVersion_; }
    // The clock that dates the rows of "Save 2" (local time "YYYY-MM-DD HH:MM:SS" by default).
    void setDateTimeSource(std::function<std::string()> source) { dateTime_ = std::move(source); }

    // ---- Seeds and marks ---------------------------------------------------------------------

    // A seed for every "Calc + Draw" (the tools' and the window's --seed); without one, each run
    // draws a fresh seed from the session's generator. The discriminant search, the fringe
    // dither and the following "axis" depend only on the seed of their "Calc + Draw".
    void setSeed(std::optional<uint64_t> seed) { fixedSeed_ = seed; }
    std::optional<uint64_t> seed() const { return fixedSeed_; }
    // A seed for the next "Calc + Draw" only (loaded marks carry the seed they were made with);
    // a seed given with setSeed takes precedence.
    void setNextRunSeed(std::optional<uint64_t> seed) { nextRunSeed_ = seed; }
    std::optional<uint64_t> nextRunSeed() const { return nextRunSeed_; }
    // The seed of the last "Calc + Draw" since the photograph was loaded.
    std::optional<uint64_t> lastRunSeed() const { return lastRunSeed_; }
    // The reference centre of the last right click, if any (it outlives loading a photograph,
    // as the centre itself does).
    std::optional<std::pair<float, float>> centreClick() const { return centreClick_; }
    // Whether the last "Calc + Draw", "Fractal calc" and "axis" since the photograph was loaded
    // (and, for the last two, since the last "Calc + Draw") gave results.
    bool calcDone() const { return calcDone_; }
    bool fractalDone() const { return fractalDone_; }
    bool axisDone() const { return axisDone_; }

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

    // "Calc + Draw": discriminant search (the generator reseeded from the run's seed), lesion map
    // in greyMap and the lesion map view, outside trimming, luminance profiles. Refused before any
    // change when a class has no sample or the photograph is too large for the 0..500 map.
    void calcAndDraw(const CalcCallbacks& callbacks = {});
    // The same with a given discriminant instead of the random search: the sample means are
    // still shown, the weight views show the weights, the accepted count and the minimum margin
    // stay as they were, the beep still sounds twice.
    void calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks = {});
    // The six weights chosen by the last "Calc + Draw" (all 0 before the first, or when the
    // search accepted no set).
    const Discriminant& chosenDiscriminant() const { return chosen_; }
    // Weight sets accepted by the last search (0..7).
    int acceptedSetCount() const { return acceptedCount_; }
    // The sample means shown by the last "Calc + Draw".
    const SampleMeans& sampleMeans() const { return sampleMeans_; }

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

    // "save1": writes the outline as a BMP file named by the outline file name. Refused, with
    // nothing written, when the name is the photograph or another existing picture this session
    // did not write (imaging::guardOutput), and when it names any other existing file this
    // session did not write, unless `replaceExisting` (the window asks the user first; the
    // routes without a user never pass it).
    void save1(bool replaceExisting = false);
    // Whether "save1" would replace an existing file this session did not write (so that the
    // window asks first). Throws the refusal of save1 when the name may not be written at all.
    bool save1ReplacesAnotherFile() const;
    // "loadcal": rereads that file, redraws the outline and deletes the file when this session
    // wrote it ("save1"); a file the session did not write stays. Without the file: a message
    // naming it, nothing changed.
    void loadcal();
    // The files this session wrote itself ("save1", "Save 2", marks): those it may replace.
    imaging::WrittenFiles& writtenFiles() { return written_; }
    const imaging::WrittenFiles& writtenFiles() const { return written_; }

    // ---- Measurements ------------------------------------------------------------------------

    // "Fractal calc": FRD1 of the outline, the four profile dimensions and FRD2, as numbers and
    // texts; shows the outline and the profile strips. The snapshot of the outline is made in
    // memory; no file is written.
    void fractalCalc();
    const FractalResults& fractalResults() const { return fractal_; }
    // The fits behind fractalResults() (empty before the first "Fractal calc").
    const FractalFits& fractalFits() const { return fractalFits_; }
    // "axis": the centroid of the outline's dark pixels into its texts, the outline copied to the
    // axis view with the centroid cross and the two radii. The copy is made in memory. With no
    // dark pixel: a message after the copy, the centroid texts unchanged.
    void axis();
    const AxisResults& axisResults() const { return axis_; }
    // Everything measured since the photograph was loaded, under its names: the weights and
    // sample means of the last "Calc + Draw", the dimensions of the "Fractal calc" and the
    // centroid and radii of the "axis" after it.
    LesionMeasurements measurements() const;

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
    const std::string& photoWarning() const { return photoWarning_; }

    // The file name selected in the chooser (without folder), as written in RGB output lines.
    const std::string& selectedFileName() const { return selectedFileName_; }
    // Whether the RGB output file is open (between start-up and "END").
    bool rgbOutputOpen() const;

    const AnalysisState& state() const { return state_; }
    AnalysisState& state() { return state_; }

private:
    void runCalcAndDraw(const Discriminant* fixed, const CalcCallbacks& callbacks);
    void showProfiles(bool shown);
    void clearPictures();

    imaging::UniformRandom& random_;
    AnalysisState state_;
    LesionPictures pictures_;
    LesionTexts texts_;
    bool chooserShown_ = false;
    bool save2Enabled_ = true;
    SampleClass sampleClass_ = SampleClass::In;
    DisplayMode displayMode_ = DisplayMode::BlackWhite;
    EraserMode eraserMode_ = EraserMode::Narrow;
    PointerShape lesionMapPointer_ = PointerShape::Arrow;
    bool rgbOutputTicked_ = false;
    std::string selectedFileName_;
    std::string photoWarning_;
    std::string rgbOutputName_;
    std::unique_ptr<imaging::OutputFile> rgbOutput_;
    Discriminant chosen_;
    int acceptedCount_ = 0;
    SampleMeans sampleMeans_;
    FractalResults fractal_;
    FractalFits fractalFits_;
    AxisResults axis_;
    double photographScale_ = 1.0;
    std::optional<uint64_t> fixedSeed_;
    std::optional<uint64_t> nextRunSeed_;
    std::optional<uint64_t> lastRunSeed_;
    // The generator of the last "Calc + Draw", started from its seed (also draws the axis radii).
    std::optional<imaging::FastRandom> runRandom_;
    std::optional<std::pair<float, float>> centreClick_;
    bool calcDone_ = false;
    bool fractalDone_ = false;
    bool axisDone_ = false;
    std::function<std::string()> dateTime_;
    // Counts every change of the samples and the centre; the last "Calc + Draw" that gave
    // results measured the samples of calcSamplesVersion_.
    unsigned long long samplesVersion_ = 0;
    unsigned long long calcSamplesVersion_ = 0;
    imaging::WrittenFiles written_;
};

}  // namespace lesionmeter
