// Whole-process benchmark of texturemeter-cli beside the bare decoding of the same photographs:
//  - a batch of copies of a 640 x 480 photograph with one job and with two: photographs per
//    second and CPU time per photograph, against libjpeg-turbo's in-process decode of the same
//    file (same settings: default decoding to RGB) measured in the same run;
//  - one 12-megapixel photograph with a 200-pixel square in its middle: time, CPU time and peak
//    memory, against the bare full decode of that photograph.
// Usage: texturemeter_cli_bench CLI MAKE_PHOTO SAMPLE.jpg [COPIES]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "testdata/tool_run.hpp"

namespace {

namespace fs = std::filesystem;

struct ProcessUsage {
    double wallSeconds = 0;
    double cpuSeconds = 0;  // user + system
    double peakMegabytes = 0;
    int status = -1;
};

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// Runs a program with its output sent to /dev/null and reports its own resource use.
ProcessUsage runProcess(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const morph::testdata::ProcessEnd end = morph::testdata::waitProcess(morph::testdata::startProcess(args));
    ProcessUsage u;
    u.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    u.cpuSeconds = seconds(end.usage.ru_utime) + seconds(end.usage.ru_stime);
    u.peakMegabytes = double(end.usage.ru_maxrss) / 1024;
    u.status = end.status;
    return u;
}

double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Rows and columns of a photograph that a decode stops at (a part decode) or none (a full one).
struct Part {
    int left = 0, top = 0, side = -1;
};

// One default-settings libjpeg-turbo decode to RGB of a file in memory. A part decode reads only
// the rows of the square with a margin of 16 rows and columns, skipping the rows above
// (entropy-decoded all the same) and cropping the columns: the least any reader of that
// square must do with libjpeg-turbo.
void bareDecode(const std::vector<unsigned char>& file, std::vector<unsigned char>& rgb, Part part = {}) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    JDIMENSION lastRow = cinfo.output_height;
    if (part.side >= 0) {
        JDIMENSION x = JDIMENSION(std::max(part.left - 16, 0)), width = JDIMENSION(part.side + 33);
        jpeg_crop_scanline(&cinfo, &x, &width);
        jpeg_skip_scanlines(&cinfo, JDIMENSION(std::max(part.top - 16, 0)));
        lastRow = std::min(lastRow, JDIMENSION(part.top + part.side + 17));
    }
    const std::size_t stride = std::size_t(cinfo.output_width) * 3;
    rgb.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < lastRow) {
        JSAMPROW row = &rgb[std::size_t(cinfo.output_scanline) * stride];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (part.side >= 0) jpeg_abort_decompress(&cinfo);
    else jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

struct DecodeTime {
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

// Mean decode time of a file over `repeats` decodes (the best of three rounds, since other
// processes share the machine).
DecodeTime bareDecodeTime(const std::string& path, int repeats, Part part = {}) {
    const std::vector<unsigned char> file = readFile(path);
    std::vector<unsigned char> rgb;
    bareDecode(file, rgb, part);  // warm up
    DecodeTime best{1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        const double cpu0 = cpuNow();
        const auto wall0 = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i) bareDecode(file, rgb, part);
        const double cpu = (cpuNow() - cpu0) / repeats;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count() / repeats;
        best.cpuSeconds = std::min(best.cpuSeconds, cpu);
        best.wallSeconds = std::min(best.wallSeconds, wall);
    }
    return best;
}

// The best of `rounds` runs by CPU time (wall time of the same run).
ProcessUsage bestOf(const std::vector<std::string>& args, int rounds) {
    ProcessUsage best;
    best.cpuSeconds = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const ProcessUsage u = runProcess(args);
        if (u.status != 0) {
            std::fprintf(stderr, "%s exited with %d\n", args[0].c_str(), u.status);
            std::exit(1);
        }
        if (u.cpuSeconds < best.cpuSeconds) best = u;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s CLI MAKE_PHOTO SAMPLE.jpg [COPIES]\n", argv[0]);
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string(), makePhoto = fs::absolute(argv[2]).string();
    const std::string sample = argv[3];
    const int copies = argc > 4 ? std::max(1, std::atoi(argv[4])) : 200;
    const fs::path work = fs::temp_directory_path() / ("texturemeter_cli_bench." + std::to_string(getpid()));
    fs::create_directories(work);

    std::vector<std::string> photos;
    for (int i = 0; i < copies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "P%04d.jpg", i);
        fs::copy_file(sample, work / name, fs::copy_options::overwrite_existing);
        photos.push_back((work / name).string());
    }

    const DecodeTime decode = bareDecodeTime(sample, 50);
    std::printf("texturemeter-cli, %d copies of %s, side 200, Start(A), --seed 1 (best of 3 runs):\n", copies,
                fs::path(sample).filename().c_str());
    std::printf("  bare libjpeg-turbo decode of the photograph, in-process: %.3f ms CPU (%.3f ms wall)\n",
                decode.cpuSeconds * 1e3, decode.wallSeconds * 1e3);
    for (const int jobs : {1, 2}) {
        std::vector<std::string> args = {cli, "--seed", "1", "--jobs", std::to_string(jobs), "--output",
                                         (work / "batch.csv").string()};
        args.insert(args.end(), photos.begin(), photos.end());
        const ProcessUsage u = bestOf(args, 3);
        const double cpuPerPhoto = u.cpuSeconds / copies;
        std::printf("  --jobs %d: %.1f photos/s (wall %.2f s), CPU %.3f ms per photo = %.2f x the bare decode, "
                    "peak %.1f MB\n",
                    jobs, copies / u.wallSeconds, u.wallSeconds, cpuPerPhoto * 1e3, cpuPerPhoto / decode.cpuSeconds,
                    u.peakMegabytes);
    }

    const std::string big = (work / "big.jpg").string();
    if (runProcess({makePhoto, sample, "4000", "3000", big}).status != 0) {
        std::fprintf(stderr, "could not write the 12-megapixel photograph\n");
        return 1;
    }
    const DecodeTime bigDecode = bareDecodeTime(big, 3);
    const DecodeTime squareDecode = bareDecodeTime(big, 3, Part{1900, 1400, 200});
    const ProcessUsage startUp = bestOf({cli, "--help"}, 5);
    const ProcessUsage u =
        bestOf({cli, "--seed", "1", "--x", "1900", "--y", "1400", "--output", (work / "big.csv").string(), big}, 3);
    std::printf("one 4000 x 3000 (12-megapixel) baseline photograph, 200-pixel square in the middle:\n");
    std::printf("  bare full decode, in-process: %.1f ms CPU (%.1f ms wall), %.1f MB of pixels\n",
                bigDecode.cpuSeconds * 1e3, bigDecode.wallSeconds * 1e3, 4000.0 * 3000 * 3 / (1024 * 1024));
    std::printf("  whole process: %.1f ms CPU = %.2f x the bare decode (wall %.1f ms), peak %.1f MB\n",
                u.cpuSeconds * 1e3, u.cpuSeconds / bigDecode.cpuSeconds, u.wallSeconds * 1e3, u.peakMegabytes);
    std::printf("  of which at least: libjpeg-turbo on the square's rows alone (rows above skipped, columns\n"
                "  cropped), in-process, %.1f ms CPU = %.2f x; the tool's start-up alone (--help) %.1f ms CPU = %.2f x\n",
                squareDecode.cpuSeconds * 1e3, squareDecode.cpuSeconds / bigDecode.cpuSeconds, startUp.cpuSeconds * 1e3,
                startUp.cpuSeconds / bigDecode.cpuSeconds);
    fs::remove_all(work);
    return 0;
}
