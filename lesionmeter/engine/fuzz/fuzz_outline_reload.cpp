// libFuzzer target for "loadcal": the outline file it reads back may be any file a user leaves
// under the outline file name. Any content must either be redrawn as an outline or be refused with
// imaging::RunError; a crash, a sanitizer report, a hang or a huge allocation is a fault.
//
// Input: two bytes choosing the analysed extent (scanWidth, scanHeight as "Calc + Draw" leaves
// them: 0 = not set yet, else 2 x the byte), then the file's content.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

// One file per fuzzing process, in the system's temporary folder.
const std::string& outlineFile() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_outline_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const float scanWidth = 2.0f * data[0];
    const float scanHeight = 2.0f * data[1];
    writeFile(outlineFile(), data + 2, size - 2);

    // One session for all inputs: "loadcal" rewrites every cell and pixel it later reads.
    static imaging::FastRandom random(uint64_t{1});
    static lesionmeter::LesionSession session(random);
    session.state().scanWidth = scanWidth;
    session.state().scanHeight = scanHeight;
    session.texts().outlineFileName = outlineFile();
    try {
        session.reloadOutline();
    } catch (const imaging::RunError&) {
        // Refused: not a picture, or an extent beyond the outline grid.
        return 0;
    }
    // A redrawn outline is the fixed-size outline picture, and the file stays: "loadcal" consumes only
    // a file this session's "save1" wrote, never one the user left under the name.
    const imaging::PictureSurface& outline = session.pictures().outline;
    if (outline.width() != 313 || outline.height() != 305) std::abort();
    if (access(outlineFile().c_str(), F_OK) != 0) std::abort();
    return 0;
}
