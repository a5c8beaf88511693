#pragma once
// One lesion analysis session: the window's state without the window. It owns AnalysisState,
// every picture of the window as an off-screen surface, the texts of the text boxes, the option
// groups, and the visibility and enabled state of the controls that the commands change. It offers
// one operation per user action; a window only translates its events into these calls and paints
// the surfaces (picture(n)) and texts (text(n)).
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
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/analysis_state.hpp"

namespace lesionmeter {

// The window's caption and the information panel's line.
inline constexpr const char* kWindowCaption = "Morphex 5.9c3";
inline constexpr const char* kInformationLine = "Morphex 5 for Win2000, XP";

// Mouse button states as the picture events deliver them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;

// Every control of the window whose visibility or enabled state a command can change or the
// layout gives as hidden or disabled.
enum class Control {
    Picture1, Picture2, Picture3, Picture4, Picture5, Picture6, Picture7, Picture8, Picture9,
    Picture10, Picture11, Picture12, Picture13, Picture14, Picture15, Picture16, Picture17, Picture18,
    Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13,
    Text14, Text15, Text16, Text17, Text18, Text19, Text20, Text21, Text22,
    Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9,
    Option1, Option2, Option3, Option4, Option5, Option6, Option7,
    Check1, Label1, Label2, Frame1,
};
// Picture1..Picture18, Text1..Text22 as Control values.
Control pictureControl(int n);
Control textControl(int n);

// "IN" (Option1) or "OUT" (Option2).
enum class SampleClass { In, Out };
// "B+W" (Option3) or "LINE" (Option4).
enum class DisplayMode { BlackWhite, Line };
// "nar" (Option5), "wide" (Option6) or "put" (Option7, erasing off).
enum class EraserMode { Narrow, Wide, Put };
// The mouse pointer over Picture2: the standard arrow or the four-headed move pointer.
enum class PointerShape { Arrow, Move };

// One weight set accepted by the discriminant search, reported as it is accepted (after
// Picture4 and Picture6..Picture8 have been reprinted) so that a window can repaint them.
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

// The results of the last "Fractal calc" as numbers (the texts hold their text form).
struct FractalResults {
    double frd1 = 0.0;         // Picture12 (Text7)
    double picture16 = 0.0;    // Text16
    double picture15 = 0.0;    // Text17
    double picture17 = 0.0;    // Text18
    double picture18 = 0.0;    // Text19
    double frd2 = 0.0;         // Text20
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

// The colour means of the samples that took part in the last "Calc + Draw" (Text10, Text11).
struct SampleMeans {
    float inRed = 0.0f, inGreen = 0.0f, inBlue = 0.0f;
    float outRed = 0.0f, outGreen = 0.0f, outBlue = 0.0f;
};

// The results of the last "axis".
struct AxisResults {
    long long darkPixels = 0;
    double centroidX = 0.0;    // Text14
    double centroidY = 0.0;    // Text15
    int farthestX = 0, farthestY = 0;   // end of the long radius
    int nearestX = 0, nearestY = 0;     // end of the short radius
};

class LesionSession {
public:
    // The window as it opens: the layout's sizes, default texts, visibility and enabled states.
    // `random` serves the discriminant search, the fringe dither and the axis radii; it must
    // outlive the session.
    explicit LesionSession(imaging::UniformRandom& random);
    ~LesionSession();
    LesionSession(const LesionSession&) = delete;
    LesionSession& operator=(const LesionSession&) = delete;

    // ---- Window and file handling ------------------------------------------------------------

    // Start-up: counts 0, "Save 2" disabled, Picture13 hidden, Text7 emptied, and (when asked)
    // the RGB output file named by Text13 opened for appending; it keeps that name until "END".
    void startUp(bool openRgbOutputFile = true);
    // "File": greyMap all 256, the chooser panel Picture10 shown, Picture2/Picture12 cleared,
    // B+W selected, "Save 2" disabled, Text7 emptied.
    void openChooser();
    // A click on a file name in the chooser: the path is folder + separator + fileName (no added
    // separator when the folder already ends in one); loads it into Picture1 (which grows to the
    // image), selects IN and B+W, clears the pictures, fills Text5, Text6, Text21, Text22 and
    // resets AnalysisState (greyMap and the reference centre stay). With `fitToMap`, a photograph
    // larger than the lesion map (500 x 503) is first reduced to fit by area averaging.
    void loadImage(const std::string& folder, const std::string& fileName, bool fitToMap = false);
    // Whether the photograph in Picture1 is too large for "Calc + Draw" (more than 500 x 503).
    bool photographTooLarge() const;
    // The reduction factor of the loaded photograph (1 when it was not reduced); a position in
    // Picture1 divided by it is the position in the photograph's file.
    double photographScale() const { return photographScale_; }
    // "Information": shows Picture14 and prints the information line into it (again below on
    // every press).
    void showInformation();
    // A click on Picture14 hides it.
    void hideInformation();
    // "END": closes the RGB output file. The session can still be queried afterwards.
    void end();
    // "Save 2" (Command4): appends the results of the analysis as one row to the file named by
    // Text9 ("c:\10esult.txt", $HOME/10esult.txt), after a header when the file is new or empty.
    // Earlier rows are never rewritten; a failure changes nothing in the session.
    void save2();
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

    // "IN" / "OUT" selected: that class's count becomes 0, Picture3 cleared and shows 0.
    void selectIn();
    void selectOut();
    SampleClass sampleClass() const { return sampleClass_; }
    // The pointer moves over Picture1 (any button state): Text1..Text4 and Text12 readout.
    void pointerMove(float x, float y);
    // A button pressed over Picture1: left alone records a sample of the selected class (the
    // 51st of a class is refused with "at most 50 samples per class"; the 50 stay), right alone
    // draws the four grey profiles and sets the reference centre; other states do nothing.
    void mouseDown(int button, float x, float y);
    void leftClick(float x, float y) { mouseDown(kLeftButton, x, y); }
    void rightClick(float x, float y) { mouseDown(kRightButton, x, y); }
    // "RGB output " (Check1): when ticked every sample is appended to the RGB output file.
    bool check1() const { return check1_; }
    void setCheck1(bool ticked) { check1_ = ticked; }

    // ---- Calc + Draw -------------------------------------------------------------------------

    // "Calc + Draw": discriminant search (the generator reseeded from the clock), lesion map in
    // greyMap and Picture2, outside trimming, luminance profiles. Refused before any change when
    // a class has no sample or the photograph is too large for the 0..500 map.
    void calcAndDraw(const CalcCallbacks& callbacks = {});
    // The same with a given discriminant instead of the random search: the sample means are
    // still shown, Picture6..Picture8 show the weights, Picture4 and Picture9 stay as they were,
    // the beep still sounds twice.
    void calcAndDrawWithWeights(const Discriminant& weights, const CalcCallbacks& callbacks = {});
    // The six weights chosen by the last "Calc + Draw" (all 0 before the first, or when the
    // search accepted no set).
    const Discriminant& chosenDiscriminant() const { return chosen_; }
    // Weight sets accepted by the last search (0..7).
    int acceptedSetCount() const { return acceptedCount_; }
    // The sample means shown by the last "Calc + Draw".
    const SampleMeans& sampleMeans() const { return sampleMeans_; }

    // ---- Outline drawing ---------------------------------------------------------------------

    // "B+W" selected: "Save 2" disabled, Picture12/Picture13 hidden, Picture2 shown.
    void selectBlackWhite();
    // "LINE" selected: Picture12 shown with the outline of greyMap, Picture2/Picture13 hidden,
    // "Save 2" enabled.
    void selectLine();
    DisplayMode displayMode() const { return displayMode_; }
    // "nar", "wide", "put".
    void selectEraser(EraserMode mode) { eraserMode_ = mode; }
    EraserMode eraserMode() const { return eraserMode_; }
    // The pointer moves over Picture12 with this button state: the eraser whitens a 4 x 4
    // ("nar") or 17 x 17 ("wide") square while the left button alone is held.
    void eraserMove(int button, float x, float y);
    // The pointer moves over Picture2 with this button state (no button or left alone): the
    // pointer becomes the arrow for "nar", the move pointer for "wide", unchanged for "put".
    void pointerOverPicture2(int button);
    PointerShape picture2Pointer() const { return picture2Pointer_; }

    // ---- Outline save and reload -------------------------------------------------------------

    // "save1": writes Picture12 as a BMP file named by Text22.
    void save1();
    // "loadcal": rereads the file named by Text22, deletes it and redraws Picture12. Without the
    // file: a message naming it, nothing changed.
    void loadcal();

    // ---- Measurements ------------------------------------------------------------------------

    // "Fractal calc": FRD1 of Picture12 into Text7, the four strip dimensions into
    // Text16..Text19, FRD2 into Text20; shows Picture12 and the strips. The snapshot of
    // Picture12 is made in memory; no file is written.
    void fractalCalc();
    const FractalResults& fractalResults() const { return fractal_; }
    // The fits behind fractalResults() (empty before the first "Fractal calc").
    const FractalFits& fractalFits() const { return fractalFits_; }
    // "axis": centroid of the dark pixels of Picture12 into Text14/Text15, the outline copied to
    // Picture13 with the centroid cross and the two radii. The copy is made in memory.
    // With no dark pixel: a message after the copy, Text14/Text15 unchanged.
    void axis();
    const AxisResults& axisResults() const { return axis_; }

    // ---- Controls ----------------------------------------------------------------------------

    // Picture1..Picture18 (Picture5, Picture10, Picture11 are panels). Printed numbers are
    // picture(n).printedLines().
    imaging::PictureSurface& picture(int n);
    const imaging::PictureSurface& picture(int n) const;
    // Text1..Text22 (Text8 does not exist in the window and stays empty).
    const std::string& text(int n) const;
    // The user edits a text box (Text5, Text6, Text13, Text22, ...).
    void setText(int n, const std::string& value);
    bool visible(Control c) const;
    bool enabled(Control c) const;

    // The file name selected in the chooser (without folder), as written in RGB output lines.
    const std::string& selectedFileName() const { return selectedFileName_; }
    // Whether the RGB output file is open (between start-up and "END").
    bool rgbOutputOpen() const;

    const AnalysisState& state() const { return state_; }
    AnalysisState& state() { return state_; }

private:
    void setVisible(Control c, bool v);
    void setEnabled(Control c, bool v);
    void runCalcAndDraw(const Discriminant* fixed, const CalcCallbacks& callbacks);

    imaging::UniformRandom& random_;
    AnalysisState state_;
    std::array<imaging::PictureSurface, 19> pictures_;   // index 1..18
    std::array<std::string, 23> texts_;                  // index 1..22
    std::array<bool, 64> visible_{};
    std::array<bool, 64> enabled_{};
    SampleClass sampleClass_ = SampleClass::In;
    DisplayMode displayMode_ = DisplayMode::BlackWhite;
    EraserMode eraserMode_ = EraserMode::Narrow;
    PointerShape picture2Pointer_ = PointerShape::Arrow;
    bool check1_ = false;
    std::string selectedFileName_;
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
};

}  // namespace lesionmeter
