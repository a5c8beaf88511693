// The run driver: the fixed sequence of a run (parameters, results file, the per-image analysis,
// the second sampling analysis, the end of the run), shared by the window and the command line.

#include "texturemeter/run_driver.hpp"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace texturemeter {

namespace status {
const char* line(Variant v) { return v == Variant::A ? "line" : "直線"; }
const char* dot(Variant v) { return v == Variant::A ? "dot" : "点"; }
const char* curve(Variant v) { return v == Variant::A ? "curve" : "曲線"; }
}  // namespace status

DerivedNames derivedNames(const std::string& directory, const std::string& fileName) {
    std::string base = directory + imaging::kPathSeparator + (fileName.empty() ? std::string() : fileName.substr(1));
    base = base.size() >= 4 ? base.substr(0, base.size() - 4) : std::string();
    return {base + "h.bmp", base + "a.bmp", base + "b.bmp", base + "c.bmp", base + "d.bmp", base + "e.bmp"};
}

void refuseExistingDerivedImage(const std::string& name, const imaging::WrittenFiles* written) {
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(imaging::hostPath(name), ec).type();
    if (type == std::filesystem::file_type::not_found || (written && written->contains(name))) return;
    throw imaging::RunError::refused("the derived image " + name + " already exists; it is not replaced");
}

namespace {

// The five derived images a run writes, with their labels.
std::vector<std::pair<const std::string*, const std::string*>> writtenDerivedImages(const DerivedNames& n,
                                                                                    const OutputLabels& l) {
    return {{&n.hessian, &l.hessian},       {&n.monochrome, &l.monochrome}, {&n.lineFigure, &l.lineFigure},
            {&n.dotFigure, &l.dotFigure}, {&n.outline, &l.outline}};
}

// A run that writes its derived images needs a name for each of the five it writes; without
// one (no photograph selected, or a derived-name box emptied) it could only fail at that save
// after replacing the results file, so it is refused before anything is written.
void refuseUnnamedDerivedImages(const RunRequest& request) {
    if (request.derived.freeze != FreezeStrategy::ThroughFiles) return;
    for (const auto& [name, label] : writtenDerivedImages(request.derived.names, request.labels)) {
        if (name->empty())
            throw imaging::RunError::refused("No derived image name in " + *label +
                                             ": select the photograph in the file list first");
    }
}

// One run: the run state of the window's handler and its steps.
class TextureRun {
public:
    TextureRun(PhotoView photo, const RunRequest& request, RunSurfaces surfaces, WorkGrids& grids,
               ResultsSink& results, imaging::UniformRandom& random, RunObserver* observer)
        : photo_(photo), request_(request), s_(surfaces), grids_(grids), results_(results), random_(random),
          observer_(observer) {}

    RunOutcome execute() {
        refuseOutputsOverInputs(request_);
        checkParameters(request_.parameters);
        startRun();
        analyseImage();
        sampleImage();
        endRun();
        return outcome_;
    }

private:
    // Steps 1 to 7: parameters, fresh pictures, "Start", the results file and its header.
    void startRun() {
        region_ = request_.parameters.region;
        outcome_.regionSide = region_.regionSide;
        grids_.startRun(outcome_.regionSide);
        // Each run draws on pictures of the square's size, white, with no earlier picture left.
        // A side beyond the work grids fails at the first grid load before anything is drawn, so
        // the pictures never need to be larger than the grids (a side of 30000 would otherwise
        // ask for gigabytes before that error).
        const int size = std::clamp(outcome_.regionSide + 1, 0, imaging::kGridMax + 1);
        for (PictureSurface* p : {&s_.monochromeImage, &s_.hessianImage, &s_.figure}) {
            p->setBackgroundColour(imaging::kWhite);
            p->reset(size, size);
        }
        printStatus(status::kStart, true);
        results_.open(request_.parameters.resultsName);
        results_.writeLine(std::string(kResultsHeader));
    }

    // Steps 8 to 31: the measurements of the image and its result row.
    void analyseImage() {
        monochromeAndHessianImages();
        greySurfaceColumns();
        lineAndDotColumns();
        outlineColumn();
        colourToneColumns();
        results_.writeLine(resultRowText(request_.imageFileName, outcome_.measurements));
    }

    // Steps 8 to 15: the grey image and the Hessian image, both frozen.
    void monochromeAndHessianImages() {
        prepareSurfaces();
        const GreyImageSums sums =
            prepareGreyImage(photo_, region_, request_.parameters.variant, grids_.gridA, grids_.gridB, s_.monochromeImage);
        showExtents(sums.extentX, sums.extentY);
        hessianImage(grids_.gridB, sums.extentX, sums.extentY, kHessianDistance, s_.hessianImage);
        freeze(s_.hessianImage, request_.derived.names.hessian);
        freeze(s_.monochromeImage, request_.derived.names.monochrome);
    }

    // Step 16: columns 2 to 8 from the surface dimensions of both images.
    void greySurfaceColumns() {
        GridLoad load;
        const GreySurfaceResults grey = greySurfaceStage(
            s_.monochromeImage, s_.hessianImage, region_.regionSide, request_.parameters.tileSide, grids_, outcome_.boxSizes,
            areaTable_, [this](const std::string& w) { printStatus(w, true); }, &load,
            request_.captureFits ? &outcome_.fits.surface : nullptr);
        showExtents(load.extentX, load.extentY);
        TextureMeasurements& m = outcome_.measurements;
        m.monochrome = grey.monochrome;
        m.hessian = grey.hessian;
        m.totalDimension = grey.totalDimension;
    }

    // Steps 17 to 27: the line and dot figures of the Hessian heights, columns 9 and 10.
    void lineAndDotColumns() {
        const Variant variant = request_.parameters.variant;
        s_.figure.cls();
        s_.statusView.cls();
        const GridLoad load = loadGreyGrid(s_.hessianImage, region_.regionSide, grids_.gridA, grids_.gridB);
        showExtents(load.extentX, load.extentY);
        printStatus(status::line(variant), false);
        s_.monochromeImage.setAutoRedraw(true);
        const double lineShare = lineFigure(grids_.gridB, load.extentX, load.extentY, s_.figure);
        printStatus(status::dot(variant), true);
        saveDerived(s_.figure, request_.derived.names.lineFigure);
        clearFigure();
        outcome_.measurements.lineShare = lineShare;

        const double dotShare = dotFigure(grids_.gridB, load.extentX, load.extentY, s_.figure);
        printStatus(status::curve(variant), true);
        saveDerived(s_.figure, request_.derived.names.dotFigure);
        clearFigure();
        outcome_.measurements.dotShare = dotShare;
    }

    // Steps 28 and 29: the bright-region outline from fresh grids and its dimension, column 12.
    void outlineColumn() {
        grids_.clearWritten();
        outlineStage(s_.monochromeImage, request_.parameters.neighbourDistance, grids_.gridA, s_.figure, random_);
        outcome_.measurements.outlineDimension =
            lineDimension(s_.figure, request_.captureFits ? &outcome_.fits.outline : nullptr);
        saveDerived(s_.figure, request_.derived.names.outline);
        clearFigure();
    }

    // Step 30: columns 13 and 14 from the grey tones of the monochrome image.
    void colourToneColumns() {
        const ColourToneResult tone =
            colourToneStatistics(s_.monochromeImage, region_.regionSide, grids_.gridA, grids_.gridB);
        showExtents(tone.load.extentX, tone.load.extentY);
        outcome_.measurements.tone = tone.tone;
    }

    // Steps 32 to 37: the grey image again and the random probes, written as the sampling line.
    void sampleImage() {
        prepareSurfaces();
        const GreyImageSums sums =
            prepareGreyImage(photo_, region_, request_.parameters.variant, grids_.gridA, grids_.gridB, s_.monochromeImage);
        showExtents(sums.extentX, sums.extentY);
        TextureSampling& sampling = outcome_.measurements.sampling;
        sampling = randomTextureSampling(grids_.gridA, sums.heightSum, sums.heightCount, region_.regionSide, random_);
        results_.writeLine(samplingLineText(sampling));
    }

    // Steps 38 to 41: "END", close the file, remove the derived images, beep.
    void endRun() {
        printStatus(status::kEnd, true);
        results_.close();
        if (request_.derived.freeze == FreezeStrategy::ThroughFiles && request_.derived.deleteAtEnd) {
            const DerivedNames& n = request_.derived.names;
            for (const std::string* name : {&n.hessian, &n.monochrome, &n.lineFigure, &n.dotFigure, &n.outline})
                imaging::deleteFile(*name);
        }
        if (observer_) observer_->beep();
    }

    // Persistent drawing on for the Hessian and the monochrome image; Cls on the monochrome image, then on the Hessian image.
    void prepareSurfaces() {
        s_.hessianImage.setAutoRedraw(true);
        s_.monochromeImage.setAutoRedraw(true);
        s_.monochromeImage.cls();
        s_.hessianImage.cls();
    }

    void clearFigure() {
        s_.figure.cls();
        s_.figure.setAutoRedraw(true);
    }

    void printStatus(const std::string& word, bool clearFirst) {
        if (clearFirst) s_.statusView.cls();
        s_.statusView.print(word);
        if (observer_) observer_->statusPrinted(word);
    }

    void showExtents(int extentX, int extentY) {
        outcome_.extentX = extentX;
        outcome_.extentY = extentY;
        if (observer_) observer_->extentsChanged(extentX, extentY);
    }

    // The freeze idiom: the picture's image becomes its background picture, through its derived
    // file (window) or directly (the same pixels, since the file is an exact round trip).
    void freeze(PictureSurface& picture, const std::string& name) {
        if (request_.derived.freeze == FreezeStrategy::ThroughFiles) {
            guardDerived(name);
            imaging::freezeInto(picture, imaging::hostPath(name));
            rememberDerived(name);
        } else {
            picture.setAutoRedraw(false);
            picture.keepImageAsPicture();
        }
    }

    void saveDerived(const PictureSurface& picture, const std::string& name) {
        if (request_.derived.freeze != FreezeStrategy::ThroughFiles) return;
        guardDerived(name);
        imaging::savePicture(picture.image(), imaging::hostPath(name));
        rememberDerived(name);
    }

    // Kept derived images replace no file but their own (see DerivedImageHandling::written).
    void guardDerived(const std::string& name) const {
        if (request_.derived.written) refuseExistingDerivedImage(name, request_.derived.written);
    }
    void rememberDerived(const std::string& name) const {
        if (request_.derived.written) request_.derived.written->remember(name);
    }

    static constexpr int kHessianDistance = 3;

    PhotoView photo_;
    const RunRequest& request_;
    RunSurfaces s_;
    WorkGrids& grids_;
    ResultsSink& results_;
    imaging::UniformRandom& random_;
    RunObserver* observer_;

    RegionSquare region_;
    std::array<float, 201> areaTable_{};
    RunOutcome outcome_;
};

}  // namespace

void refuseOutputsOverInputs(const RunRequest& request) {
    refuseUnnamedDerivedImages(request);
    const std::string& results = request.parameters.resultsName;
    const std::string& photo = request.photographPath;
    if (!photo.empty() && !results.empty() && imaging::sameFile(results, photo))
        throw imaging::RunError::refused("The " + request.labels.resultsFile + " " + results + " is the photograph " +
                                         photo + " itself: the run would overwrite it; choose another results file");
    if (request.derived.freeze != FreezeStrategy::ThroughFiles) return;
    for (const auto& [name, label] : writtenDerivedImages(request.derived.names, request.labels)) {
        if (name->empty()) continue;
        if (!photo.empty() && imaging::sameFile(*name, photo))
            throw imaging::RunError::refused("The derived image name in " + *label + ", " + *name +
                                             ", is the photograph itself: the run would overwrite it and then "
                                             "delete it; rename the photograph or change the name");
        if (request.derived.deleteAtEnd && !results.empty() && imaging::sameDestination(*name, results))
            throw imaging::RunError::refused("The " + request.labels.resultsFile + " " + results +
                                             " is also the derived image name in " + *label +
                                             ": the run would delete it at its end; choose another results file");
    }
}

RunOutcome runAnalysis(PhotoView photo, const RunRequest& request, RunSurfaces surfaces, ResultsSink& results,
                       imaging::UniformRandom& random, RunObserver* observer) {
    WorkGrids grids;
    TextureRun run(photo, request, surfaces, grids, results, random, observer);
    return run.execute();
}

RunOutcome runAnalysis(PhotoView photo, const RunRequest& request, RunWorkspace& workspace, ResultsSink& results,
                       imaging::UniformRandom& random, RunObserver* observer) {
    TextureRun run(photo, request, workspace.surfaces(), workspace.grids, results, random, observer);
    return run.execute();
}

TextureMeasurements analyseSquare(PhotoView photo, const TextureParameters& parameters,
                                  imaging::UniformRandom& random, TextureFits* fits) {
    RunWorkspace workspace;
    return analyseSquare(photo, parameters, random, workspace, fits);
}

TextureMeasurements analyseSquare(PhotoView photo, const TextureParameters& parameters,
                                  imaging::UniformRandom& random, RunWorkspace& workspace, TextureFits* fits) {
    RunRequest request;
    request.parameters = parameters;
    request.captureFits = fits != nullptr;
    CollectedLines lines;
    RunOutcome outcome = runAnalysis(photo, request, workspace, lines, random);
    if (fits) *fits = std::move(outcome.fits);
    return outcome.measurements;
}

void loadRunSquare(const std::string& path, RegionSquare region, imaging::PictureRegion& square,
                   std::vector<unsigned char>& fileData) {
    const int extent = std::max<int>(region.regionSide, 0) + 1;
    imaging::loadPictureRegion(path, region.regionX, region.regionY, extent, extent, square, fileData);
}

}  // namespace texturemeter
