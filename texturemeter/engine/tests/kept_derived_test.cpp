// Kept derived images (texturemeter-cli --keep-derived): written only where no file is, or over
// one the same run wrote itself.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/scratch_folder.hpp"
#include "texturemeter/run_driver.hpp"

namespace {

using namespace texturemeter;
namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One Start(A) run of the reference photograph keeping its derived images in `folder`.
void runKeeping(const std::string& folder, imaging::WrittenFiles& written) {
    const imaging::Image photo = imaging::loadImageFile(morph::testdata::path("reference/skin_texture.jpg"));
    imaging::FastRandom random(1);
    PictureSurface p2, p3, p7, p8;
    RunRequest request;
    request.imageFileName = "P1234.jpg";
    request.derived.freeze = FreezeStrategy::ThroughFiles;
    request.derived.names = derivedNames(folder, "P1234.jpg");
    request.derived.written = &written;
    CollectedLines lines;
    runAnalysis(PhotoView(photo), request, RunSurfaces{p2, p3, p7, p8}, lines, random);
}

TEST(KeptDerivedImages, ARunRewritesItsOwnButNoOtherFile) {
    morph::testdata::ScratchFolder folder("kept-derived");
    const std::string dir = folder.path().string();
    imaging::WrittenFiles written;
    runKeeping(dir, written);
    const DerivedNames n = derivedNames(dir, "P1234.jpg");
    for (const std::string* name : {&n.hessian, &n.monochrome, &n.lineFigure, &n.dotFigure, &n.outline}) {
        EXPECT_TRUE(fs::exists(*name)) << *name;
        EXPECT_TRUE(written.contains(*name)) << *name;
    }
    EXPECT_FALSE(fs::exists(n.unused));
    // The same run may write them again (they are its own) ...
    const std::string hessian = readAll(n.hessian);
    EXPECT_NO_THROW(runKeeping(dir, written));
    EXPECT_EQ(readAll(n.hessian), hessian);
    // ... another run may not: the first one it would replace is refused, and stays.
    imaging::WrittenFiles other;
    try {
        runKeeping(dir, other);
        FAIL() << "another run replaced kept derived images";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()), "the derived image " + n.hessian + " already exists; it is not replaced");
    }
    EXPECT_EQ(readAll(n.hessian), hessian);
}

TEST(KeptDerivedImages, AnyExistingFileIsRefusedUnlessTheRunWroteIt) {
    morph::testdata::ScratchFolder folder("kept-derived-names");
    const std::string notes = folder.file("notes.txt");
    std::ofstream(notes) << "not a picture\n";
    EXPECT_THROW(refuseExistingDerivedImage(notes, nullptr), imaging::RunError);
    imaging::WrittenFiles written;
    EXPECT_THROW(refuseExistingDerivedImage(notes, &written), imaging::RunError);
    written.remember(notes);
    EXPECT_NO_THROW(refuseExistingDerivedImage(notes, &written));
    EXPECT_NO_THROW(refuseExistingDerivedImage(folder.file("missing.bmp"), nullptr));
    // A dangling symbolic link is a name that exists too.
    fs::create_symlink(folder.file("nowhere.bmp"), folder.file("link.bmp"));
    EXPECT_THROW(refuseExistingDerivedImage(folder.file("link.bmp"), nullptr), imaging::RunError);
}

}  // namespace
