// The results row shared by "Save 2" and lesionmeter-cli --csv.

#include "lesionmeter/results_row.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace lesionmeter {

namespace {

// RFC 4180: quoted only when the text holds a comma, a quote or a line break.
std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string positionsText(const std::vector<MarkPosition>& positions) {
    std::string text;
    for (const MarkPosition& p : positions) {
        if (!text.empty()) text += ';';
        text += imaging::exactText(p.x) + " " + imaging::exactText(p.y);
    }
    return text;
}

// Writes all of `text` to the open descriptor, retrying short writes.
bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

}  // namespace

ResultsRecord resultsOf(const LesionSession& session, const std::string& dateTime) {
    ResultsRecord r;
    r.photo = session.selectedFileName();
    r.dateTime = dateTime;
    r.marks = marksOf(session);
    if (session.calcDone()) {
        r.weights = session.chosenDiscriminant();
        r.means = session.sampleMeans();
    }
    if (session.fractalDone()) r.fractal = session.fractalResults();
    if (session.axisDone()) r.centroid = std::make_pair(session.axisResults().centroidX, session.axisResults().centroidY);
    return r;
}

std::string localDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string resultsHeader() {
    return "photo,dateTime,scale,seed,inCount,inPositions,outCount,outPositions,centreX,centreY,"
           "weightRed,weightGreen,weightBlue,squareWeightRed,squareWeightGreen,squareWeightBlue,"
           "inMeanRed,inMeanGreen,inMeanBlue,outMeanRed,outMeanGreen,outMeanBlue,"
           "FRD1,profileRow140,profileRow170,profileColumn140,profileColumn170,FRD2,centroidX,centroidY";
}

std::string resultsRow(const ResultsRecord& r) {
    std::string row = csvField(r.photo) + "," + csvField(r.dateTime) + "," + imaging::exactText(r.marks.scale) + ",";
    if (r.marks.seed) row += std::to_string(*r.marks.seed);
    row += "," + std::to_string(r.marks.in.size()) + "," + positionsText(r.marks.in);
    row += "," + std::to_string(r.marks.out.size()) + "," + positionsText(r.marks.out);
    row += "," + (r.marks.centre ? imaging::exactText(r.marks.centre->x) : std::string());
    row += "," + (r.marks.centre ? imaging::exactText(r.marks.centre->y) : std::string());
    auto cells = [&row](bool present, std::initializer_list<float> values) {
        for (float v : values) row += "," + (present ? imaging::exactText(v) : std::string());
    };
    const Discriminant w = r.weights.value_or(Discriminant{});
    cells(r.weights.has_value(), {w.weightRed, w.weightGreen, w.weightBlue, w.squareWeightRed, w.squareWeightGreen,
                                  w.squareWeightBlue});
    const SampleMeans m = r.means.value_or(SampleMeans{});
    cells(r.means.has_value(), {m.inRed, m.inGreen, m.inBlue, m.outRed, m.outGreen, m.outBlue});
    const FractalResults f = r.fractal.value_or(FractalResults{});
    for (double v : {f.outlineDimension, f.profiles.upperRow, f.profiles.lowerRow, f.profiles.leftColumn,
                     f.profiles.rightColumn, f.profileDimension})
        row += "," + (r.fractal ? imaging::exactText(v) : std::string());
    row += "," + (r.centroid ? imaging::exactText(r.centroid->first) : std::string());
    row += "," + (r.centroid ? imaging::exactText(r.centroid->second) : std::string());
    return row;
}

void appendResultsRow(const std::string& name, const ResultsRecord& record) {
    const std::string path = imaging::hostPath(name);
    if (name.empty()) throw imaging::RunError::refused("Save 2: the results file box holds no file name");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        throw imaging::RunError::fileError(std::string("Cannot open the results file (") + std::strerror(errno) + ")",
                                           name);
    struct stat info {};
    const bool isNew = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
    const std::string text = (isNew ? resultsHeader() + "\n" : std::string()) + resultsRow(record) + "\n";
    const bool written = writeAll(fd, text);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed)
        throw imaging::RunError::fileError(
            std::string("Cannot write the results file (") + std::strerror(written ? errno : writeError) + ")", name);
}

}  // namespace lesionmeter
