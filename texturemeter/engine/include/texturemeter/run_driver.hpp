#pragma once
// The run driver behind "Start(A)", "START(B)-Processing of reflection effect" and
// "Start (C) Normalization": reads the parameter texts, writes the results file, calls the
// stages in their fixed order, freezes the derived images and reports its status words.

#include <cstdint>
#include <string>

#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

// Status words printed into `Picture8` during a run.
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

// The parameter text boxes a run reads, each parsed at the point of the run that uses it, so
// "Type mismatch" and "Overflow" arise where the window would raise them.
struct RunTexts {
    std::string text5 = std::string(kDefaultResultsName);  // results file name
    std::string text6 = "40";                              // tile (window) side
    std::string text12 = "200";                            // regionSide
    std::string text19 = "4";                              // neighbour distance of the outline
};

// The six derived image names (`Text11`, `Text13`, `Text14`, `Text15`, `Text16`, `Text18`).
struct DerivedNames {
    std::string hessian;      // Text11, "h.bmp"
    std::string monochrome;   // Text13, "a.bmp"
    std::string lineFigure;   // Text14, "b.bmp"
    std::string dotFigure;    // Text15, "c.bmp"
    std::string unused;       // Text16, "d.bmp": neither written nor deleted
    std::string outline;      // Text18, "e.bmp"
};

// The derived-name rule: directory + separator + file name without its first character and
// without its last four characters, then "h.bmp", "a.bmp", ... ("P1234.jpg" -> "DIR/1234h.bmp").
DerivedNames derivedNames(const std::string& directory, const std::string& fileName);

// How a run freezes its derived images.
enum class FreezeStrategy {
    InMemory,      // the saved-and-reloaded pixels are the same, so no file is needed
    ThroughFiles,  // saves each derived image to its name and (for the frozen ones) loads it back
};

struct DerivedImageHandling {
    FreezeStrategy freeze = FreezeStrategy::InMemory;
    DerivedNames names;              // used with ThroughFiles
    bool deleteAtEnd = false;        // the window deletes the five written images at the end
};

// Told about what the window shows while a run goes on.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A status word has just been printed into `Picture8` (after its Cls).
    virtual void statusPrinted(const std::string& /*word*/) {}
    // `Text8`/`Text9` (last column and row index of a grid load) changed.
    virtual void extentsChanged(int /*extentX*/, int /*extentY*/) {}
    // The run's last step: the system beep.
    virtual void beep() {}
};

// The surfaces a run draws into: monochrome image, Hessian image, stage drawings and status.
struct RunSurfaces {
    PictureSurface& Picture2;
    PictureSurface& Picture3;
    PictureSurface& Picture7;
    PictureSurface& Picture8;
};

// Everything a run takes besides the surfaces.
struct RunRequest {
    Variant variant = Variant::A;
    int16_t regionX = 0;
    int16_t regionY = 0;
    std::string imageFileName;   // the NAME column
    RunTexts texts;
    DerivedImageHandling derived;
};

// What a run leaves besides the results file.
struct RunOutcome {
    int16_t regionSide = 0;
    ResultRow row;
    SamplingLine sampling;
    int extentX = 0;   // Text8
    int extentY = 0;   // Text9
    BoxSizes boxSizes{};  // the form-level box-size table as the run left it
};

// The whole run, steps 1 to 41: opens `results` with `Text5`, writes header, result row and
// sampling line, and, at the end, prints "END", closes the file, deletes the derived images (when
// asked) and beeps. Throws imaging::RunError at the first run-time error; lines and images
// written before stay. When the derived images go through files and one of the five written
// names is empty, the run is refused (ErrorKind::Refused) before anything is printed or written.
RunOutcome runAnalysis(PhotoView picture1, const RunRequest& request, RunSurfaces surfaces, ResultsSink& results,
                       imaging::UniformRandom& random, RunObserver* observer = nullptr);

// The whole analysis without texts, file or derived images (command line, benchmarks): numbers
// in, result row and sampling line out. Surfaces are private; images are frozen in memory.
struct AnalysisParameters {
    Variant variant = Variant::A;
    RegionSquare region;
    double windowSize = 40;         // Text6
    double neighbourDistance = 4;   // Text19
};
struct AnalysisResults {
    ResultRow row;
    SamplingLine sampling;
};
AnalysisResults analyseSquare(PhotoView picture1, const AnalysisParameters& parameters,
                              imaging::UniformRandom& random);

}  // namespace texturemeter
