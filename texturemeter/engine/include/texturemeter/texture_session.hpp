#pragma once
// The texture analyzer's form-level state and its off-screen pictures, with one operation per
// user action. The window only translates its events into these calls and paints the surfaces
// and texts; every rule of the program lives here.
//
// Errors: each operation throws imaging::RunError at a run-time error (the window shows
// e.what() in a message box and keeps its state as the operation left it).

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/square_file.hpp"

namespace texturemeter {

class TextureSession {
public:
    // Uses a clock-seeded generator of its own.
    TextureSession();
    // Uses `random` for the outline and sampling stages (kept by reference).
    explicit TextureSession(imaging::UniformRandom& random);
    TextureSession(const TextureSession&) = delete;
    TextureSession& operator=(const TextureSession&) = delete;

    // A click in the file list: selects `fileName` in `directory` (selection steps 1 to 10): resets
    // the region, loads the photo, fills the input path, the photo's size and the six derived names
    // (beside the input, with the platform's separator; shown, not written). Throws when the photo cannot be loaded
    // (the reset of steps 1 to 5 has then already happened, as in the window).
    void selectImage(const std::string& directory, const std::string& fileName);
    // The same with the decoding done by `decode` (given the host path of the selected file), e.g.
    // one that waits for a decode on another thread: its picture, or its error, takes the place
    // of the decode at the same step of the selection.
    void selectImage(const std::string& directory, const std::string& fileName,
                     const std::function<imaging::Image(const std::string& hostPath)>& decode);

    // The path of `fileName` in `directory` as a selection shows it in "Input File".
    static std::string selectedPath(const std::string& directory, const std::string& fileName);
    // Decodes the photograph a selection shows. Touches no state of the session but a counter,
    // so it may run on any thread while the session is used elsewhere.
    imaging::Image decodePhoto(const std::string& hostPath) const;
    // How many photographs decodePhoto has decoded (or tried to) since the session began.
    unsigned long photoDecodes() const { return photoDecodes_.load(); }

    // Mouse button pressed on the photo at (x, y), any button: the region corner. `sideText` is the
    // current "Sampling width" ("Type mismatch"/"Overflow" from here). Refused (nothing changed,
    // the previous corner kept) while no photograph is loaded, and when the square would lie
    // entirely outside the photograph (squareOverhang's message); a square that only reaches
    // past an edge is taken, with squareOverhang's warning in `squareWarning`.
    void pressPhoto(double x, double y, const std::string& sideText);
    // The corner check of a click at (x, y) with that "Sampling width", changing nothing: throws
    // the refusal of a square entirely outside the loaded photograph, returns the warning of one
    // that reaches past an edge (empty: inside, or texts the click itself refuses).
    std::string checkCorner(double x, double y, const std::string& sideText) const;

    // Mouse moved over the photo: prints the grey level under the pointer into `greyReadout`.
    void movePointerOverPhoto(double x, double y);

    // "P-1" and "P-3" show the Hessian image; "P-2" shows `p2Picture`.
    void pressP1() { hessianImage.setVisible(true); }
    void pressP2() { p2Picture.setVisible(true); }
    void pressP3() { hessianImage.setVisible(true); }

    // "Start(A)", "START(B)-Processing of reflection effect", "Start (C) Normalization": the whole
    // run with `texts` as typed. Before anything is printed or written it is refused when the
    // results file is the photograph or an existing picture (imaging::guardOutput), or when the
    // square of the corner and "Sampling width" lies entirely outside the photograph; a square
    // reaching past an edge runs with squareOverhang's warning in `squareWarning`. The derived images are frozen in memory (the pixels a BMP round
    // trip gives, as texturemeter-cli freezes them), so no picture beside the photograph is
    // written or deleted; `derivedImageNames` only name them. With `freeze` = ThroughFiles they
    // are written under those names, frozen through the files and deleted at the end. The
    // observer sees every status word and the beep. Refused (ErrorKind::Refused, nothing
    // changed, no file touched) while no photograph is loaded: none selected yet, or the last
    // selected file could not be read.
    RunOutcome run(Variant variant, const RunTexts& texts, RunObserver* observer = nullptr,
                   FreezeStrategy freeze = FreezeStrategy::InMemory);

    // ---- Seeds and squares -------------------------------------------------------------------
    // Every run with a seed starts its own generator from it by the one seed rule
    // (imaging::generatorSeed): a run with photo seed N gives the numbers texturemeter-cli gives
    // for the photograph alone with --seed N. The seed of a run is the next-run seed when one is
    // set, else the session's seed, else one read from the clock (imaging::clockSeed), except in
    // a session made over a generator of its caller's, whose runs without a seed draw from that
    // generator and have none.
    // The seed of every run (the window's --seed).
    void setSeed(std::optional<uint64_t> seed) { fixedSeed_ = seed; }
    std::optional<uint64_t> seed() const { return fixedSeed_; }
    // A seed for the next run only: a loaded square's, so that the run repeats the one it was
    // saved after. It takes precedence over setSeed's, as a square's seed does on every route.
    void setNextRunSeed(std::optional<uint64_t> seed) { nextRunSeed_ = seed; }
    std::optional<uint64_t> nextRunSeed() const { return nextRunSeed_; }
    // The square of the last run that ended without error: the photograph's name, the corner,
    // the side, tile side and neighbour distance the run read, its variant and its seed. Nothing
    // before the first run, after a failed run and after a new selection.
    const std::optional<Square>& lastRunSquare() const { return lastRunSquare_; }
    // Refuses (Refused, nothing changed) a square that cannot be loaded into this session: no
    // photograph loaded ("LABEL load the photograph first"), a square of another photograph
    // (checkSquarePhoto), a corner whose square lies entirely outside the photograph with the
    // side it brings (or `sideText` when it brings none). Returns the warning of a square that
    // reaches past an edge.
    std::string checkSquare(const Square& square, const std::string& squareName, const std::string& sideText,
                            const std::string& label) const;

    // Whether `photo` holds the photograph named by `imagePath` (false before the first
    // selection and after a selection whose file could not be read).
    bool photoLoaded() const { return photoLoaded_; }

    // How the session's messages name the square ("the square x 10 y 20 side 200").
    static const ParameterWords kSquareWords;
    // How a run's refusals name the results file and the derived images (the window names them
    // by its boxes).
    OutputLabels outputLabels;

    // Form-level variables.
    std::string imagePath;
    std::string imageFileName;
    int16_t regionX = 0;
    int16_t regionY = 0;
    int16_t regionSide = 0;
    std::array<int16_t, 31> boxSizes{};

    // Pictures. `photo` grows to the loaded photo; `monochromeImage`, `hessianImage` and `figure`
    // are re-created white at (regionSide + 1)^2 by every run; `statusView` holds the status word
    // and `greyReadout` the grey level under the pointer as printed lines. The three pictures
    // after them carry only visibility.
    PictureSurface photo;
    PictureSurface monochromeImage;
    PictureSurface hessianImage;
    PictureSurface figure;            // line, dot and outline figures
    PictureSurface statusView;
    PictureSurface greyReadout;
    PictureSurface p2Picture;         // shown by "P-2", hidden by a selection
    PictureSurface runHiddenPicture;  // hidden by a selection and at the start of every run
    PictureSurface hiddenPicture;     // hidden by a selection

    // Texts the program writes (the derived names are also editable by the user).
    std::string inputPathText;        // "Input File": the selected path
    std::string heightText;           // the photo's height ("X * Y")
    std::string widthText;            // the photo's width
    std::string lastColumnText;       // "LAST_EWW": last column index of the latest grid load
    std::string lastRowText;          // "LAST_HWW": last row index
    DerivedNames derivedImageNames;   // ...h.bmp, ...a.bmp, ...b.bmp, ...c.bmp, ...d.bmp, ...e.bmp
    std::string regionXText;          // regionX after a click on the photo
    std::string regionYText;          // regionY
    std::string plotLabel;            // "Plot" after a click on the photo
    bool heightTextVisible = true;
    bool widthTextVisible = true;
    // What the window's status line shows besides the status words: the warning of a square that
    // reaches past the photograph's edge (after a click or a run), and the photograph's own
    // warning (a JPEG whose EXIF orientation is not 1). Empty when there is nothing to say.
    std::string squareWarning;
    std::string photoWarning;

private:
    TextureSession(imaging::UniformRandom& random, bool owned);
    // Throws the refusal that names why no photograph is loaded.
    void refuseWithoutPhoto() const;

    bool photoLoaded_ = false;
    std::optional<uint64_t> fixedSeed_;
    std::optional<uint64_t> nextRunSeed_;
    std::optional<Square> lastRunSquare_;
    mutable std::atomic<unsigned long> photoDecodes_{0};

    std::unique_ptr<imaging::UniformRandom> ownRandom_;
    imaging::UniformRandom& random_;
};

}  // namespace texturemeter
