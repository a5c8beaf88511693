#pragma once
// The texture analyzer's form-level state and its off-screen pictures, with one operation per
// user action. The window only translates its events into these calls and paints the surfaces
// and texts; every rule of the program lives here.
//
// Errors: each operation throws imaging::RunError at a run-time error (the window shows
// e.what() in a message box and keeps its state as the operation left it).

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "texturemeter/run_driver.hpp"

namespace texturemeter {

class TextureSession {
public:
    // Uses a clock-seeded generator of its own.
    TextureSession();
    // Uses `random` for the outline and sampling stages (kept by reference).
    explicit TextureSession(imaging::UniformRandom& random);
    TextureSession(const TextureSession&) = delete;
    TextureSession& operator=(const TextureSession&) = delete;

    // A click on `File1`: selects `fileName` in `directory` (selection steps 1 to 10): resets the
    // region, loads the photo into `Picture1`, fills Text1, Text2, Text3 and the six derived names
    // (beside the input, with the platform's separator). Throws when the photo cannot be loaded
    // (the reset of steps 1 to 5 has then already happened, as in the window).
    void selectImage(const std::string& directory, const std::string& fileName);

    // Mouse button pressed on `Picture1` at (x, y), any button: the region corner. `text12` is the
    // current content of `Text12` ("Type mismatch"/"Overflow" from here). Refused (nothing
    // changed) while no photograph is loaded.
    void pressPicture1(double x, double y, const std::string& text12);

    // Mouse moved over `Picture1`: prints the grey level under the pointer into `Picture9`.
    void movePicture1(double x, double y);

    // "P-1" and "P-3" show `Picture3`; "P-2" shows `Picture4`.
    void pressP1() { Picture3.setVisible(true); }
    void pressP2() { Picture4.setVisible(true); }
    void pressP3() { Picture3.setVisible(true); }

    // "Start(A)", "START(B)-Processing of reflection effect", "Start (C) Normalization": the whole
    // run with `texts` (Text5, Text6, Text12, Text19 as typed). The derived images are written
    // beside the input under Text11/13/14/15/18, frozen through those files and deleted at the
    // end (`freeze` = InMemory skips the files). The observer sees every status word and the beep.
    // Refused (ErrorKind::Refused, nothing changed, no file touched) while no photograph is loaded:
    // none selected yet, or the last selected file could not be read.
    RunOutcome run(Variant variant, const RunTexts& texts, RunObserver* observer = nullptr,
                   FreezeStrategy freeze = FreezeStrategy::ThroughFiles);

    // Whether `Picture1` holds the photograph named by `imagePath` (false before the first
    // selection and after a selection whose file could not be read).
    bool photoLoaded() const { return photoLoaded_; }

    // Form-level variables.
    std::string imagePath;
    std::string imageFileName;
    int16_t regionX = 0;
    int16_t regionY = 0;
    int16_t regionSide = 0;
    std::array<int16_t, 31> boxSizes{};

    // Pictures. `Picture1` grows to the loaded photo; `Picture2`, `Picture3`, `Picture7` are
    // re-created white at (regionSide + 1)^2 by every run; `Picture8` holds the status word and
    // `Picture9` the grey readout as printed lines. `Picture4`..`Picture6` carry only visibility.
    PictureSurface Picture1;
    PictureSurface Picture2;
    PictureSurface Picture3;
    PictureSurface Picture4;
    PictureSurface Picture5;
    PictureSurface Picture6;
    PictureSurface Picture7;
    PictureSurface Picture8;
    PictureSurface Picture9;

    // Texts the program writes (Text11..Text18 are also editable by the user).
    std::string Text1;    // input path
    std::string Text2;    // ScaleHeight of Picture1
    std::string Text3;    // ScaleWidth of Picture1
    std::string Text8;    // LAST_EWW
    std::string Text9;    // LAST_HWW
    std::string Text11;   // ...h.bmp
    std::string Text13;   // ...a.bmp
    std::string Text14;   // ...b.bmp
    std::string Text15;   // ...c.bmp
    std::string Text16;   // ...d.bmp
    std::string Text18;   // ...e.bmp
    std::string Text20;   // regionX
    std::string Text21;   // regionY
    std::string Label4;   // "Plot" after a click on Picture1
    bool text2Visible = true;
    bool text3Visible = true;

private:
    TextureSession(imaging::UniformRandom& random, bool owned);
    // Throws the refusal that names why no photograph is loaded.
    void refuseWithoutPhoto() const;

    bool photoLoaded_ = false;

    std::unique_ptr<imaging::UniformRandom> ownRandom_;
    imaging::UniformRandom& random_;
};

}  // namespace texturemeter
