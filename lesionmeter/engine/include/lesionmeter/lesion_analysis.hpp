#pragma once
// One lesion analysis as functions of data: a photograph, colour samples, a centre and a seed go
// in; the lesion map, the outline, the luminance profiles, the dimensions and the axis come out.
// Each step is one call, in the order an analysis runs them:
//
//   clearMaps, loadPhotograph        the photograph and a fresh AnalysisState
//   addSample / clearSamples         the IN and OUT colour samples, read from the photograph
//   setCentre                        the reference centre (and the click profiles through it)
//   calcAndDraw                      discriminant search, lesion map, trimming, luminance profiles
//   drawOutline / eraseOutline       the outline of the lesion map, cleaned by the eraser
//   saveOutline / reloadOutline      the outline written to its file and read back
//   measureFractalDimensions         the outline's and the four profiles' dimensions
//   measureAxis                      the outline's centroid and radii
//   appendResultsRow                 the results as one row of the results file
//
// Nothing here knows of buttons, pointers or shown views: the interaction model (and a window
// under it) decides when a step runs; the command-line tool, marks replay and the Python module
// call the steps directly. What a window must draw while a step runs (the weight sets accepted by
// the search, the beep) reaches it through an AnalysisObserver, in the order it happens.
//
// Errors: every step reports a failure by throwing imaging::RunError, worded by what failed
// (never by a control or an option); a step that is refused (ErrorKind::Refused) changed nothing.
// Problems with the outline file are OutlineFileError, so that each caller can word them in its
// own vocabulary.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/loglog_fit.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/measurements.hpp"

namespace lesionmeter {

// "IN" or "OUT": the class of a colour sample.
enum class SampleClass { In, Out };
// The eraser: a narrow (4 x 4) or wide (17 x 17) square, or off ("put").
enum class EraserMode { Narrow, Wide, Put };

// One weight set accepted by the discriminant search, reported as it is accepted.
struct AcceptedSet {
    int accepted;          // m, 1..7
    long long iteration;   // acceptance-phase iteration t at which it was accepted
    double weightRed, weightGreen, weightBlue;
    double squareWeightRed, squareWeightGreen, squareWeightBlue;
    float margin;          // Si - So of the last sample pair
};

// The fits behind the last fractal measurement: the box count of the outline picture and the four
// profile strips' (luminance along the row y = 140, the column x = 140, the row y = 170 and the
// column x = 170, the order of the four strip dimensions).
struct FractalFits {
    imaging::Fit outline;
    imaging::Fit row140;
    imaging::Fit column140;
    imaging::Fit row170;
    imaging::Fit column170;
};

// The pictures an analysis reads and draws: the photograph, the lesion map, the outline and its
// copy with the axis, and the four luminance profile strips.
struct AnalysisPictures {
    imaging::PictureSurface photo;              // the photograph; colour samples are read from it
    imaging::PictureSurface lesionMap;          // the lesion map of calcAndDraw
    imaging::PictureSurface outline;            // the outline: eraser, save and reload, FRD1
    imaging::PictureSurface axisView;           // the outline's copy with centroid and radii
    imaging::PictureSurface upperRowProfile;    // the four luminance profile strips (ProfileDimensions)
    imaging::PictureSurface lowerRowProfile;
    imaging::PictureSurface leftColumnProfile;
    imaging::PictureSurface rightColumnProfile;
};

// The path of a file chosen in `folder`: folder + separator + fileName, with no added separator
// when the folder (a root) already ends in one.
std::string chosenFilePath(const std::string& folder, const std::string& fileName);
// A photograph named by a path, as a chooser gives it: its folder ("." when the path has none) and
// its file name, joined again by chosenFilePath; `.second` is the file name.
std::pair<std::string, std::string> choosePhotograph(const std::string& photoPath);

// The file names derived from a photograph's file name: "c:\" + its name up to the first "."
// (the whole name without one), then ".bmp" for the lesion map, "P.bmp" for the profiles and
// "U.bmp" for the outline.
struct DerivedFileNames {
    std::string map, profile, outline;
};
DerivedFileNames derivedFileNames(const std::string& photographName);

// The sizes the pictures have as an analysis starts (the photograph grows to each photograph).
void sizeAnalysisPictures(AnalysisPictures& pictures);

// What a window draws while calcAndDraw runs, in this order: calcStarted (the refusals are past),
// sampleMeansReady (the means of the samples taking part are known), weightSetAccepted for every
// set the search accepts, searchFinished with the smallest margin (not with given weights),
// weightsChosen, and beep twice.
class AnalysisObserver {
public:
    virtual ~AnalysisObserver() = default;
    virtual void calcStarted() {}
    virtual void sampleMeansReady(int /*pairs*/) {}
    virtual void weightSetAccepted(const AcceptedSet& /*set*/) {}
    virtual void searchFinished(float /*minimumMargin*/) {}
    virtual void weightsChosen(const Discriminant& /*weights*/) {}
    virtual void beep() {}
};

// One colour sample as recorded: its number in its class (1..50) and the pixel's channels.
struct RecordedSample {
    int number = 0;
    int red = 0, green = 0, blue = 0;
};

// What went wrong with the outline file.
enum class OutlineFileProblem {
    NoName,               // no file name was given
    RefusedByGuard,       // the photograph itself, or an existing picture the analysis did not write
    ReplacesAnotherFile,  // an existing file the analysis did not write, without consent
    NotFound,             // nothing to reload under that name
};

// A refusal or failure of saveOutline / reloadOutline: the problem and the file name, with a
// message in the engine's words ("the outline file ..."), which a caller may reword.
class OutlineFileError : public imaging::RunError {
public:
    OutlineFileError(imaging::ErrorKind kind, OutlineFileProblem problem, std::string fileName,
                     const std::string& message)
        : RunError(kind, message), problem_(problem), fileName_(std::move(fileName)) {}
    OutlineFileProblem problem() const noexcept { return problem_; }
    const std::string& fileName() const noexcept { return fileName_; }

private:
    OutlineFileProblem problem_;
    std::string fileName_;
};
// How the engine's messages about the outline file start ("the outline file NAME ...").
inline constexpr const char* kOutlineFileWords = "the outline file";

class LesionAnalysis {
public:
    // An analysis drawing into pictures of its own (sized by sizeAnalysisPictures).
    explicit LesionAnalysis(imaging::UniformRandom& random);
    // An analysis drawing into the caller's pictures (a window's), which must outlive it.
    // `random` serves the discriminant search, the fringe dither and the axis radii of runs given
    // no seed; it must outlive the analysis.
    LesionAnalysis(imaging::UniformRandom& random, AnalysisPictures& pictures);
    ~LesionAnalysis();
    LesionAnalysis(const LesionAnalysis&) = delete;
    LesionAnalysis& operator=(const LesionAnalysis&) = delete;

    // ---- Photograph --------------------------------------------------------------------------

    // The lesion map forgotten: greyMap all 256, the lesion map and the outline cleared.
    void clearMaps();
    // Decodes the file at `path` and loads it as loadPhotograph does, under `fileName` (its name
    // without folder); records the warning of a JPEG whose EXIF orientation is not 1. An
    // unreadable file changes nothing.
    void loadPhotographFile(const std::string& path, const std::string& fileName, bool fitToMap = false);
    // The photograph into the photo (which grows to it), every picture cleared, AnalysisState
    // reset (greyMap and the reference centre stay), the samples and results forgotten. With
    // `fitToMap`, a photograph larger than the lesion map (500 x 503) is first reduced to fit by
    // area averaging. `path` is what outputs must never replace.
    void loadPhotograph(imaging::Image photograph, const std::string& path, const std::string& fileName,
                        bool fitToMap = false);
    // The photograph's file name (without folder), as written in marks and results rows.
    const std::string& photographName() const { return photographName_; }
    // The path the photograph was loaded from.
    const std::string& photographPath() const { return photographPath_; }
    // The reduction factor of the loaded photograph (1 when it was not reduced).
    double photographScale() const { return photographScale_; }
    // Whether the photograph is too large for calcAndDraw (more than 500 x 503).
    bool photographTooLarge() const;
    // The warning of loadPhotographFile (EXIF orientation not 1); empty otherwise.
    const std::string& photoWarning() const { return photoWarning_; }

    // ---- Seeds -------------------------------------------------------------------------------

    // A seed for every calcAndDraw; without one, each run draws a fresh seed from the generator.
    // The discriminant search, the fringe dither and the following measureAxis depend only on
    // the seed of their calcAndDraw.
    void setSeed(std::optional<uint64_t> seed) { fixedSeed_ = seed; }
    std::optional<uint64_t> seed() const { return fixedSeed_; }
    // A seed for the next calcAndDraw only (marks carry the seed they were made with); a seed
    // given with setSeed takes precedence.
    void setNextRunSeed(std::optional<uint64_t> seed) { nextRunSeed_ = seed; }
    std::optional<uint64_t> nextRunSeed() const { return nextRunSeed_; }
    // The seed of the last calcAndDraw since the photograph was loaded.
    std::optional<uint64_t> lastRunSeed() const { return lastRunSeed_; }

    // ---- Samples and centre ------------------------------------------------------------------

    // The class starts anew: its count becomes 0.
    void clearSamples(SampleClass sampleClass);
    // Records the photo's pixel at (x, y) as the next sample of the class, with its position.
    // The 51st of a class is refused with "at most 50 samples per class"; the 50 stay.
    RecordedSample addSample(SampleClass sampleClass, float x, float y);
    // The reference centre at (x, y): the grey profiles through it drawn into the four strips
    // (rows y and y + 30, columns x and x + 30).
    void setCentre(float x, float y);
    // The centre set last, if any (it outlives loading a photograph, as the centre itself does).
    std::optional<std::pair<float, float>> centre() const { return centre_; }
    // Whether the samples or the centre changed since the last calcAndDraw that gave results.
    bool samplesChangedSinceCalc() const { return calcDone_ && samplesVersion_ != calcSamplesVersion_; }

    // ---- Calc + Draw -------------------------------------------------------------------------

    // The discriminant search (the generator reseeded from the run's seed), the lesion map in
    // greyMap and the lesion map picture, outside trimming, luminance profiles. Refused before any
    // change when a class has no sample or the photograph is too large for the 0..500 map.
    void calcAndDraw(AnalysisObserver& observer);
    void calcAndDraw();
    // The same with given weights instead of the random search (searchFinished is not reported,
    // the accepted count becomes 0).
    void calcAndDrawWithWeights(const Discriminant& weights, AnalysisObserver& observer);
    void calcAndDrawWithWeights(const Discriminant& weights);
    const Discriminant& chosenDiscriminant() const { return chosen_; }
    int acceptedSetCount() const { return acceptedCount_; }
    const SampleMeans& sampleMeans() const { return sampleMeans_; }
    // The number of sample pairs the last calcAndDraw used.
    int samplePairs() const { return samplePairs_; }

    // ---- Outline -----------------------------------------------------------------------------

    // The outline of greyMap drawn into the cleared outline picture.
    void drawOutline();
    // One eraser step at (x, y) of the outline.
    void eraseOutline(EraserMode mode, float x, float y);
    // Whether saveOutline(name) would replace an existing file this analysis did not write.
    // Throws the refusal of saveOutline when the name may not be written at all.
    bool outlineWouldReplaceAnotherFile(const std::string& name) const;
    // Writes the outline as a BMP file. Refused, with nothing written, when the name is empty,
    // the photograph or another existing picture this analysis did not write, and when it names
    // any other existing file this analysis did not write, unless `replaceExisting`.
    void saveOutline(const std::string& name, bool replaceExisting = false);
    // Rereads that file into the outline and redraws it; deletes the file when this analysis
    // wrote it. Without the file (NotFound) or with an area larger than the grid (refused),
    // nothing changes.
    void reloadOutline(const std::string& name);
    // The files this analysis wrote itself (outlines, results rows, marks): those it may replace.
    imaging::WrittenFiles& writtenFiles() { return written_; }
    const imaging::WrittenFiles& writtenFiles() const { return written_; }

    // ---- Measurements ------------------------------------------------------------------------

    // FRD1 of the outline as it is drawn (made its background picture, in memory), the four
    // profile dimensions and FRD2.
    const FractalResults& measureFractalDimensions();
    const FractalResults& fractalResults() const { return fractal_; }
    const FractalFits& fractalFits() const { return fractalFits_; }
    // The outline copied into the axis view, then the centroid and radii of its dark pixels drawn
    // there. With no dark pixel: refused after the copy, the earlier results unchanged.
    const AxisResults& measureAxis();
    const AxisResults& axisResults() const { return axis_; }
    // Whether the last calcAndDraw, fractal measurement and axis since the photograph was loaded
    // (and, for the last two, since the last calcAndDraw) gave results.
    bool calcDone() const { return calcDone_; }
    bool fractalDone() const { return fractalDone_; }
    bool axisDone() const { return axisDone_; }
    // Everything measured since the photograph was loaded, under its names.
    LesionMeasurements measurements() const;

    // Appends the results as one row to the results file `name`, dated `dateTime`, after a header
    // when the file is new or empty. Refused, with nothing written, when the file is the
    // photograph or another existing picture (the message names it by `label`), and when the
    // samples or the centre changed after the last calcAndDraw.
    void appendResultsRow(const std::string& name, const std::string& dateTime,
                          const std::string& label = "results file");

    // ---- State -------------------------------------------------------------------------------

    AnalysisPictures& pictures() { return *pictures_; }
    const AnalysisPictures& pictures() const { return *pictures_; }
    const AnalysisState& state() const { return state_; }
    AnalysisState& state() { return state_; }

private:
    void runCalcAndDraw(const Discriminant* fixed, AnalysisObserver& observer);
    // The files an analysis reads, which its outputs never replace: the photograph and its marks
    // file beside it.
    std::vector<imaging::InputFile> readFiles() const;

    imaging::UniformRandom& random_;
    std::unique_ptr<AnalysisPictures> ownPictures_;
    AnalysisPictures* pictures_;
    AnalysisState state_;
    std::string photographName_;
    std::string photographPath_;
    std::string photoWarning_;
    double photographScale_ = 1.0;
    Discriminant chosen_;
    int acceptedCount_ = 0;
    int samplePairs_ = 0;
    SampleMeans sampleMeans_;
    FractalResults fractal_;
    FractalFits fractalFits_;
    AxisResults axis_;
    std::optional<uint64_t> fixedSeed_;
    std::optional<uint64_t> nextRunSeed_;
    std::optional<uint64_t> lastRunSeed_;
    // The generator of the last calcAndDraw, started from its seed (also draws the axis radii).
    std::optional<imaging::FastRandom> runRandom_;
    std::optional<std::pair<float, float>> centre_;
    bool calcDone_ = false;
    bool fractalDone_ = false;
    bool axisDone_ = false;
    // Counts every change of the samples and the centre; the last calcAndDraw that gave results
    // measured the samples of calcSamplesVersion_.
    unsigned long long samplesVersion_ = 0;
    unsigned long long calcSamplesVersion_ = 0;
    imaging::WrittenFiles written_;
};

}  // namespace lesionmeter
