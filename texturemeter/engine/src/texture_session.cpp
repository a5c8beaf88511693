// The texture analyzer's form: file selection and derived names, the region corner, the grey
// readout and the three run buttons over off-screen pictures.

#include "texturemeter/texture_session.hpp"

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace texturemeter {

TextureSession::TextureSession() : TextureSession(*imaging::makeRandom().release(), true) {}

TextureSession::TextureSession(imaging::UniformRandom& random) : TextureSession(random, false) {}

TextureSession::TextureSession(imaging::UniformRandom& random, bool owned)
    : ownRandom_(owned ? &random : nullptr), random_(random) {
    Picture1 = PictureSurface(0, 0, imaging::SizePolicy::GrowToPicture);
    // The window opens with Picture4, Picture5 and Picture6 hidden.
    Picture4.setVisible(false);
    Picture5.setVisible(false);
    Picture6.setVisible(false);
}

void TextureSession::selectImage(const std::string& directory, const std::string& fileName) {
    photoLoaded_ = false;
    imagePath.clear();
    regionX = regionY = 0;
    regionSide = 0;
    boxSizes.fill(0);
    imageFileName.clear();

    Picture4.setVisible(false);
    text2Visible = text3Visible = true;
    Picture6.setVisible(false);
    Picture5.setVisible(false);

    imageFileName = fileName;
    // A root directory already ends with the separator.
    std::string path = directory;
    if (path.empty() || path.back() != imaging::kPathSeparator) path += imaging::kPathSeparator;
    path += fileName;
    Text1 = path;
    imagePath = path;

    Picture1.loadPicture(imaging::hostPath(path));
    photoLoaded_ = true;
    Text2 = imaging::numberText(Picture1.scaleHeight());
    Text3 = imaging::numberText(Picture1.scaleWidth());

    const DerivedNames names = derivedNames(directory, fileName);
    Text11 = names.hessian;
    Text13 = names.monochrome;
    Text14 = names.lineFigure;
    Text15 = names.dotFigure;
    Text16 = names.unused;
    Text18 = names.outline;
}

void TextureSession::refuseWithoutPhoto() const {
    if (photoLoaded_) return;
    if (imagePath.empty()) throw imaging::RunError::refused("No photograph selected: choose a file first");
    throw imaging::RunError::refused("The photograph " + imagePath + " could not be loaded: choose a file again");
}

void TextureSession::pressPicture1(double x, double y, const std::string& text12) {
    // Without a loaded photo (none selected yet, or the last selection could not be read) there
    // is nothing to reload and no square to choose: the click is refused and changes nothing.
    refuseWithoutPhoto();
    Picture3.setVisible(false);
    Label4 = "Plot";
    // Loading the photo again removes the box of an earlier click; Picture1 holds the photo of
    // imagePath unchanged, so removing the drawing is the same.
    Picture1.cls();
    regionX = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(x)));
    regionY = imaging::toInt16(static_cast<long long>(imaging::roundHalfEven(y)));
    regionSide = imaging::parseInt16(text12);
    Text20 = imaging::numberText(static_cast<int>(regionX));
    Text21 = imaging::numberText(static_cast<int>(regionY));
    if (regionSide + y <= Picture1.scaleHeight() && regionSide + x < Picture1.scaleWidth()) {
        const int16_t left = imaging::sub16(regionX, 2), top = imaging::sub16(regionY, 2);
        const int16_t right = imaging::add16(imaging::add16(regionX, regionSide), 2);
        const int16_t bottom = imaging::add16(imaging::add16(regionY, regionSide), 2);
        Picture1.line(left, top, right, bottom, imaging::rgbColour(0, 255, 255), imaging::LineKind::Box);
    }
}

void TextureSession::movePicture1(double x, double y) {
    Picture9.cls();
    Picture9.print(imaging::greyOf(Picture1.point(x, y)));
}

namespace {

// Keeps Text8/Text9 current and passes everything on to the window's observer.
class SessionObserver final : public RunObserver {
public:
    SessionObserver(TextureSession& session, RunObserver* next) : session_(session), next_(next) {}
    void statusPrinted(const std::string& word) override {
        if (next_) next_->statusPrinted(word);
    }
    void extentsChanged(int extentX, int extentY) override {
        session_.Text8 = imaging::numberText(extentX);
        session_.Text9 = imaging::numberText(extentY);
        if (next_) next_->extentsChanged(extentX, extentY);
    }
    void beep() override {
        if (next_) next_->beep();
    }

private:
    TextureSession& session_;
    RunObserver* next_;
};

}  // namespace

RunOutcome TextureSession::run(Variant variant, const RunTexts& texts, RunObserver* observer, FreezeStrategy freeze) {
    // A run needs the photograph in Picture1. Without one it would measure an empty (or an
    // earlier) picture under the selected name, so it is refused before anything changes or is
    // written; the results file of the last run stays as it was.
    refuseWithoutPhoto();
    Picture5.setVisible(false);
    RunRequest request;
    request.variant = variant;
    request.regionX = regionX;
    request.regionY = regionY;
    request.imageFileName = imageFileName;
    request.texts = texts;
    request.derived.freeze = freeze;
    request.derived.names = {Text11, Text13, Text14, Text15, Text16, Text18};
    request.derived.deleteAtEnd = freeze == FreezeStrategy::ThroughFiles;
    // regionSide is taken from Text12 by every run, also when the run stops early.
    regionSide = imaging::parseInt16(texts.text12);
    SessionObserver sessionObserver(*this, observer);
    ResultsFile results;
    const RunOutcome outcome = runAnalysis(PhotoView(Picture1), request,
                                           RunSurfaces{Picture2, Picture3, Picture7, Picture8}, results, random_,
                                           &sessionObserver);
    boxSizes = outcome.boxSizes;
    return outcome;
}

}  // namespace texturemeter
