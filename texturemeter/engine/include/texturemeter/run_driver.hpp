#pragma once
// The run driver behind "Start(A)", "START(B)-Processing of reflection effect" and
// "Start (C) Normalization": takes the run's parameters as read (texture_parameters.hpp), writes
// the results file, calls the stages in their fixed order, freezes the derived images and reports
// its status words.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image_file.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/stages.hpp"
#include "texturemeter/texture_parameters.hpp"

namespace texturemeter {

// Status words printed into the status picture during a run.
namespace status {
inline constexpr const char* kStart = "Start";
inline constexpr const char* kMonochromeVariation = "白黒変化";
inline constexpr const char* kHessian = "ヘシアン";
inline constexpr const char* kMonochromeWhole = "白黒全体";
inline constexpr const char* kEnd = "END";
// "line"/"dot"/"curve" in Start(A); "直線"/"点"/"曲線" in START(B) and Start (C).
const char* line(Variant v);
const char* dot(Variant v);
const char* curve(Variant v);
}  // namespace status

// The six derived image names.
struct DerivedNames {
    std::string hessian;      // "h.bmp"
    std::string monochrome;   // "a.bmp"
    std::string lineFigure;   // "b.bmp"
    std::string dotFigure;    // "c.bmp"
    std::string unused;       // "d.bmp": neither written nor deleted
    std::string outline;      // "e.bmp"
};

// Refuses (RunError, Refused) a derived image name under which a file exists that `written` does
// not hold (none when null): "the derived image NAME already exists; it is not replaced".
void refuseExistingDerivedImage(const std::string& name, const imaging::WrittenFiles* written);

// The derived-name rule: directory + separator + file name without its first character and
// without its last four characters, then "h.bmp", "a.bmp", ... ("P1234.jpg" -> "DIR/1234h.bmp").
DerivedNames derivedNames(const std::string& directory, const std::string& fileName);

// How a run's refusals name its outputs: by what they are, or, in the window, by the boxes that
// hold their names.
struct OutputLabels {
    std::string resultsFile = "results file";
    // The five derived images a run writes: h, a, b, c and e .bmp.
    std::string hessian = "Hessian image";
    std::string monochrome = "monochrome image";
    std::string lineFigure = "line figure";
    std::string dotFigure = "dot figure";
    std::string outline = "outline figure";
};

// How a run freezes its derived images.
enum class FreezeStrategy {
    InMemory,      // the saved-and-reloaded pixels are the same, so no file is needed
    ThroughFiles,  // saves each derived image to its name and (for the frozen ones) loads it back
};

struct DerivedImageHandling {
    FreezeStrategy freeze = FreezeStrategy::InMemory;
    DerivedNames names;              // used with ThroughFiles
    bool deleteAtEnd = false;        // the window deletes the five written images at the end
    // When set (kept derived images), a derived image is written only where no file is, or over
    // one this run wrote itself; each one written is remembered here.
    imaging::WrittenFiles* written = nullptr;
};

// Told about what the window shows while a run goes on.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A status word has just been printed into the status picture (after its Cls).
    virtual void statusPrinted(const std::string& /*word*/) {}
    // The last column and row index of a grid load ("LAST_EWW", "LAST_HWW") changed.
    virtual void extentsChanged(int /*extentX*/, int /*extentY*/) {}
    // The run's last step: the system beep.
    virtual void beep() {}
};

// The surfaces a run draws into: monochrome image, Hessian image, stage drawings and status.
struct RunSurfaces {
    PictureSurface& monochromeImage;
    PictureSurface& hessianImage;
    PictureSurface& figure;       // line, dot and outline figures
    PictureSurface& statusView;   // the status word
};

// The fits behind the run's dimensions: "line fr dim" and the grey-surface stage's.
struct TextureFits {
    imaging::Fit outline;
    GreySurfaceFits surface;
};

// What a worker reuses from run to run: the work grids and the pictures a run draws into. A batch
// keeps one per worker, so its memory does not grow with the number of images; each run starts
// on grids and pictures that read exactly as fresh ones.
struct RunWorkspace {
    WorkGrids grids;
    PictureSurface monochromeImage, hessianImage, figure, statusView;
    RunSurfaces surfaces() { return {monochromeImage, hessianImage, figure, statusView}; }
};

// Everything a run takes besides the surfaces.
struct RunRequest {
    TextureParameters parameters;  // variant, square, tile side, neighbour distance, results name
    std::string imageFileName;   // the NAME column
    // The photograph's file: neither the results file nor a derived image may be it (compared
    // as files, not as texts). Empty: not checked.
    std::string photographPath;
    DerivedImageHandling derived;
    OutputLabels labels;
    bool captureFits = true;  // keep the fits behind the dimensions (RunOutcome::fits)
};

// Refuses (ErrorKind::Refused) a run whose results file or one of whose written derived images
// is the photograph itself, or whose results file is also a derived image name (the run would
// delete it at its end); and a run that writes its derived images without a name for each of
// the five it writes.
void refuseOutputsOverInputs(const RunRequest& request);

// What a run leaves besides the results file.
struct RunOutcome {
    int16_t regionSide = 0;
    TextureMeasurements measurements;
    int extentX = 0;   // last column index of the latest grid load
    int extentY = 0;   // last row index
    BoxSizes boxSizes{};  // the form-level box-size table as the run left it
    TextureFits fits;     // with RunRequest::captureFits
};

// The whole run, steps 1 to 41: opens `results` with the results name, writes header, result row and
// sampling line, and, at the end, prints "END", closes the file, deletes the derived images (when
// asked) and beeps. Throws imaging::RunError at the first run-time error; lines and images
// written before stay. Before anything is printed or written, the run is refused
// (ErrorKind::Refused) when the derived images go through files and one of the five written
// names is empty, or when an output is the photograph (refuseOutputsOverInputs), and fails on its
// own parameters (checkParameters, a ParameterError), so a run that would fail on a parameter
// leaves the previous results file untouched.
RunOutcome runAnalysis(PhotoView photo, const RunRequest& request, RunSurfaces surfaces, ResultsSink& results,
                       imaging::UniformRandom& random, RunObserver* observer = nullptr);
// The same on a worker's reused grids and pictures.
RunOutcome runAnalysis(PhotoView photo, const RunRequest& request, RunWorkspace& workspace, ResultsSink& results,
                       imaging::UniformRandom& random, RunObserver* observer = nullptr);

// Decodes the part of a photograph file that a run on this square reads: the square's
// (side + 1) x (side + 1) pixels from its corner (see imaging::loadPictureRegion). `square` and
// `fileData` keep their storage for the next call.
void loadRunSquare(const std::string& path, RegionSquare region, imaging::PictureRegion& square,
                   std::vector<unsigned char>& fileData);

// The whole analysis without file or derived images (benchmarks, tests): numbers in,
// measurements out. Surfaces are private; images are frozen in memory. With `fits`, also the
// fits behind the dimensions (no number changes).
TextureMeasurements analyseSquare(PhotoView photo, const TextureParameters& parameters,
                                  imaging::UniformRandom& random, TextureFits* fits = nullptr);
// The same on a worker's reused grids and pictures.
TextureMeasurements analyseSquare(PhotoView photo, const TextureParameters& parameters,
                                  imaging::UniformRandom& random, RunWorkspace& workspace,
                                  TextureFits* fits = nullptr);

}  // namespace texturemeter
