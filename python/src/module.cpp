// _skinmeters: the compiled half of the skinmeters package. It runs one analysis of one photograph
// with the engines the command-line tools use, without the interpreter lock, and hands back the
// named measurements as a dict. Batches, threads and Dask live in the Python half.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "imaging/batch.hpp"
#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/marks_analysis.hpp"
#include "lesionmeter/measurement_names.hpp"
#include "lesionmeter/measurements_json.hpp"
#include "texturemeter/analyse_photo.hpp"
#include "texturemeter/measurement_names.hpp"
#include "texturemeter/measurements_json.hpp"
#include "texturemeter/square_file.hpp"
#include "texturemeter/square_source.hpp"
#include "texturemeter/square_table.hpp"
#include "texturemeter/texture_parameters.hpp"

namespace py = pybind11;

namespace {

// A failed analysis, raised in Python as skinmeters.AnalysisError with the tool's message. `seed`:
// the seed the analysis used or would have used, when it was known before the failure (the
// error's `seed` attribute; None otherwise).
struct AnalysisFailed : std::runtime_error {
    explicit AnalysisFailed(const std::string& message, std::optional<uint64_t> seedKnown = std::nullopt)
        : std::runtime_error(message), seed(seedKnown) {}
    std::optional<uint64_t> seed;
};

// How a marks dict is named in messages, where a marks file would be named.
constexpr const char* kMarksDictName = "(marks dict)";

// A message as Python text. It may hold a file name in bytes that are not UTF-8: those are
// surrogate-escaped, as os.fsdecode gives the name, so os.fsencode turns the text back into the
// bytes the tool prints.
py::str pythonText(const std::string& text) {
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeFSDefaultAndSize(text.data(), py::ssize_t(text.size())));
}

// The photograph to analyse: a file, or the pixels of a numpy array.
struct PhotoSource {
    bool isArray = false;
    std::string path;            // a file
    std::optional<py::array> array;  // uint8 (height, width, 3), RGB (none for a file: a batch makes
                                     // its sources without the interpreter lock)
};

// A file name as the bytes the file system holds: str (undecodable bytes surrogate-escaped, as
// os.listdir gives them), bytes or any os.PathLike, through os.fsencode. A name holding a NUL byte
// would open another file than it names, so it is refused as Python's own open() refuses it.
std::string fileName(const py::object& name) {
    const std::string bytes = py::module_::import("os").attr("fsencode")(name).cast<py::bytes>();
    if (bytes.find('\0') != std::string::npos)
        throw py::value_error("file name holds a NUL byte: " + std::string(py::repr(name)));
    return bytes;
}

PhotoSource photoSource(const py::object& image) {
    PhotoSource source;
    if (py::isinstance<py::array>(image)) {
        py::array array = py::reinterpret_borrow<py::array>(image);
        if (!array.dtype().is(py::dtype::of<uint8_t>()))
            throw py::type_error("image array must have dtype uint8, not " + std::string(py::str(array.dtype())));
        if (array.ndim() != 3 || array.shape(2) != 3)
            throw py::value_error("image array must have shape (height, width, 3) with RGB channels");
        if (array.shape(0) == 0 || array.shape(1) == 0) throw py::value_error("image array has no pixels");
        if (array.shape(0) * array.shape(1) > imaging::kMaxPicturePixels)
            throw py::value_error("image array has more than " + std::to_string(imaging::kMaxPicturePixels) +
                                  " pixels");
        source.isArray = true;
        source.array = std::move(array);
        return source;
    }
    source.path = fileName(image);
    return source;
}

// The array's pixels as colour values: the one copy an array input costs. Any strides (a view,
// a crop, a channel-reversed view) are read as they are. Called without the interpreter lock;
// the caller keeps the array alive.
imaging::Image photoFromArray(const py::array& array) {
    const auto height = static_cast<int>(array.shape(0));
    const auto width = static_cast<int>(array.shape(1));
    const auto* base = static_cast<const uint8_t*>(array.data());
    const py::ssize_t rowStride = array.strides(0), columnStride = array.strides(1), channelStride = array.strides(2);
    imaging::Image photo(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = base + y * rowStride;
        imaging::Colour* out = &photo.pixels[std::size_t(y) * std::size_t(width)];
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + x * columnStride;
            out[x] = imaging::rgbColour(p[0], p[channelStride], p[2 * channelStride]);
        }
    }
    return photo;
}

// What a result reports beside the measurements: the photograph's EXIF orientation (0 when it
// records none, as for an array), and the warnings the tool prints for it, one line each, in the
// tool's order (None when there is none).
void addNotes(py::dict& result, int exifOrientation, const std::vector<std::string>& warnings) {
    result["exifOrientation"] = exifOrientation;
    std::string text;
    for (const std::string& w : warnings)
        if (!w.empty()) text += (text.empty() ? "" : "\n") + w;
    result["warning"] = text.empty() ? py::object(py::none()) : py::object(pythonText(text));
}

texturemeter::Variant parseVariant(const std::string& v) {
    if (v == "A" || v == "a") return texturemeter::Variant::A;
    if (v == "B" || v == "b") return texturemeter::Variant::B;
    if (v == "C" || v == "c") return texturemeter::Variant::C;
    throw py::value_error("variant must be \"A\", \"B\" or \"C\", not \"" + v + "\"");
}

// A JSON value of the engine's report as the Python value json.loads would give, its names in the
// report's order. Strings are taken as the file system's text (a file name in bytes that are not
// UTF-8 surrogate-escaped, as pythonText does).
py::object toPython(const imaging::Json& j) {
    switch (j.type()) {
        case imaging::Json::value_t::object: {
            py::dict d;
            for (const auto& [name, value] : j.items()) d[pythonText(name)] = toPython(value);
            return d;
        }
        case imaging::Json::value_t::array: {
            py::list l;
            for (const auto& value : j) l.append(toPython(value));
            return l;
        }
        case imaging::Json::value_t::number_float: return py::float_(j.get<double>());
        case imaging::Json::value_t::number_integer: return py::int_(j.get<int64_t>());
        case imaging::Json::value_t::number_unsigned: return py::int_(j.get<uint64_t>());
        case imaging::Json::value_t::boolean: return py::bool_(j.get<bool>());
        case imaging::Json::value_t::string: return pythonText(j.get_ref<const std::string&>());
        default: return py::none();
    }
}

// Marks given to an array without a photo name are clicked into it under this name.
constexpr const char* kArrayName = "(array)";

// The marks of a lesion analysis: a marks file, or the text of a marks document and its photo
// name (the bytes the file system holds; a document then leaves it out).
struct MarksSource {
    std::optional<std::string> path;
    std::optional<std::string> text;
    std::optional<std::string> photo;
};

// What one lesion analysis gives: the measurements (with the fits once "Fractal calc" has run, as
// lesionmeter-cli --json reports them), the message of an "axis" that found no dark pixel, or the
// error that stopped it; the seed used, or known before the failure; the EXIF orientation.
struct LesionRun {
    imaging::Json measurements;
    std::string axisError;
    std::optional<std::string> error;
    std::optional<uint64_t> seed;
    int orientation = 0;
};

// One lesion analysis from marks, as lesionmeter-cli IMAGE --marks FILE [--seed S] [--fit] runs it,
// as photograph number `position` of a batch whose clock seed is `clockBase` (a single photograph:
// place 0 and a seed drawn from the clock now). The seed is imaging::markedSeed's: `seed`, else
// the marks' seed, else the photo seed of the place. Marks of another photograph than the file
// are refused as lesionmeter-cli refuses them. Runs without the interpreter lock; throws nothing.
LesionRun runLesion(const PhotoSource& source, const MarksSource& marksSource, std::optional<uint64_t> seed, bool fit,
                    std::optional<uint64_t> clockBase, uint64_t position) {
    LesionRun run;
    run.seed = seed;  // the given seed, known before the marks are read
    try {
        const std::string marksName = marksSource.path ? *marksSource.path : std::string(kMarksDictName);
        lesionmeter::Marks marks = marksSource.path ? lesionmeter::readMarks(marksName)
                                                    : lesionmeter::parseMarks(*marksSource.text, marksName);
        if (marksSource.photo) marks.photo = *marksSource.photo;
        // An array has no name to compare: the marks' photo name is the one it is loaded under.
        if (source.isArray && marks.photo.empty()) marks.photo = kArrayName;
        imaging::FastRandom random;
        lesionmeter::LesionAnalysis analysis(random);
        run.seed = imaging::markedSeed(seed, marks.seed, clockBase ? *clockBase : imaging::clockSeed(), position).seed;
        analysis.setSeed(*run.seed);
        run.axisError = source.isArray
                            ? lesionmeter::analyseWithMarks(analysis, photoFromArray(*source.array), marks, fit)
                            : lesionmeter::analyseWithMarks(analysis, source.path, marks, fit, {marksName, ""});
        run.measurements = analysis.fractalDone() ? lesionmeter::toJson(analysis.measurements(), analysis.fractalFits())
                                                  : lesionmeter::toJson(analysis.measurements());
        run.seed = analysis.lastRunSeed().value_or(0);
        if (!source.isArray) run.orientation = imaging::exifOrientation(source.path);
    } catch (const std::exception& e) {
        run.error = e.what();
    }
    return run;
}

// One lesion analysis (runLesion). Returns the measurements with the seed used, and the message of
// an "axis" that found no dark pixel (None when it did); a failure is raised with the seed known.
py::tuple lesion(const py::object& image, const std::optional<py::object>& marksPath,
                 const std::optional<std::string>& marksText, std::optional<uint64_t> seed, bool fit,
                 std::optional<uint64_t> clockBase, uint64_t position, const std::optional<py::bytes>& photoName) {
    if (marksPath.has_value() == marksText.has_value())
        throw py::value_error("give the marks as a file name or as a document, one of the two");
    const PhotoSource source = photoSource(image);
    MarksSource marks;
    if (marksPath) marks.path = fileName(*marksPath);
    marks.text = marksText;
    if (photoName) marks.photo = std::string(*photoName);
    LesionRun run;
    {
        py::gil_scoped_release unlocked;
        run = runLesion(source, marks, seed, fit, clockBase, position);
    }
    if (run.error) throw AnalysisFailed(*run.error, run.seed);
    py::dict result = toPython(run.measurements);
    result["seed"] = *run.seed;
    addNotes(result, run.orientation, {imaging::exifOrientationWarning(run.orientation)});
    return py::make_tuple(result, run.axisError.empty() ? py::object(py::none()) : py::object(pythonText(run.axisError)));
}

using texturemeter::TextureParameter;

// How the package names the parameters in the hint after a parameter's error: by the arguments
// of texture() and batch() ("Subscript out of range (side must be at most 499)").
const texturemeter::ParameterWords kArgumentWords{"side", "window", "=", "x", "y"};

AnalysisFailed parameterFailure(const texturemeter::ParameterError& e) {
    return AnalysisFailed(e.what() + texturemeter::describeLimit(e.limit(), kArgumentWords));
}

// A whole-number parameter as Python gives it, read once: an int or a float as the number it is
// (a float rounded half to even), a str as texturemeter-cli reads its option.
int16_t wholeParameter(const py::object& value, TextureParameter parameter) {
    if (py::isinstance<py::str>(value)) return texturemeter::readWhole(value.cast<std::string>(), parameter);
    if (PyLong_Check(value.ptr())) {
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
        if (overflow != 0 || n < INT16_MIN || n > INT16_MAX)
            throw texturemeter::ParameterError(imaging::RunError::overflow(), parameter);
        return static_cast<int16_t>(n);
    }
    return texturemeter::wholeFrom(value.cast<double>(), parameter);
}

// A number parameter as Python gives it, read once: an int or a float as the number it is, a str
// as texturemeter-cli reads its option.
double numberParameter(const py::object& value, TextureParameter parameter) {
    if (py::isinstance<py::str>(value)) return texturemeter::readNumber(value.cast<std::string>(), parameter);
    if (PyLong_Check(value.ptr())) {
        const double v = PyLong_AsDouble(value.ptr());
        if (v == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();  // beyond the range of a double, as its digits read
            throw texturemeter::ParameterError(imaging::RunError::overflow(), parameter);
        }
        return v;
    }
    return value.cast<double>();
}

// The texture parameters as Python gives them, read once (a ParameterError names the one that
// failed).
texturemeter::TextureParameters textureParameters(const py::object& x, const py::object& y, const py::object& side,
                                                  const py::object& window, const py::object& neighbour,
                                                  const std::string& variant) {
    texturemeter::TextureParameters parameters;
    parameters.variant = parseVariant(variant);
    parameters.region.regionX = wholeParameter(x, TextureParameter::CornerX);
    parameters.region.regionY = wholeParameter(y, TextureParameter::CornerY);
    parameters.region.regionSide = wholeParameter(side, TextureParameter::RegionSide);
    parameters.tileSide = numberParameter(window, TextureParameter::TileSide);
    parameters.neighbourDistance = numberParameter(neighbour, TextureParameter::NeighbourDistance);
    return parameters;
}

// A texture analysis's failure in the package's words: the error, and for a run-time error the
// limit behind it named by the arguments.
std::string failureMessage(const texturemeter::PhotoFailure& failure) {
    return failure.kind ? failure.message + texturemeter::describeLimit(failure.limit, kArgumentWords)
                        : failure.message;
}

// One texture analysis, as texturemeter-cli analyses photograph number `position` of its list
// with `--seed seed`: the result reports that place's photo seed. Without `fits` the fits are left
// out. A square entirely outside the photograph is refused and one reaching past an edge gets the
// warning, as texturemeter-cli refuses and warns.
py::dict texture(const py::object& image, const py::object& x, const py::object& y, const py::object& side,
                 const py::object& window, const py::object& neighbour, const std::string& variant,
                 std::optional<uint64_t> seed, uint64_t position, bool fits) {
    const PhotoSource source = photoSource(image);
    texturemeter::TextureParameters parameters;
    try {
        parameters = textureParameters(x, y, side, window, neighbour, variant);
    } catch (const texturemeter::ParameterError& e) {
        throw parameterFailure(e);
    }
    const uint64_t photoSeed = imaging::placeSeed(seed, imaging::clockSeed(), position).seed;
    texturemeter::PhotoAnalysis analysis;
    {
        py::gil_scoped_release unlocked;
        // What a thread keeps from analysis to analysis, as a texturemeter-cli worker does.
        thread_local texturemeter::PhotoWorkspace workspace;
        texturemeter::PhotoOptions options;
        options.captureFits = fits;
        options.words = kArgumentWords;
        if (source.isArray) {
            try {
                const imaging::Image array = photoFromArray(*source.array);
                analysis = texturemeter::analysePhoto(array, parameters, photoSeed, workspace, options);
            } catch (const std::exception& e) {
                analysis.failure = texturemeter::PhotoFailure{e.what(), std::nullopt, std::nullopt, {}};
            }
        } else {
            analysis = texturemeter::analysePhotoFile(source.path, parameters, photoSeed, workspace, options);
        }
    }
    if (const auto& failure = analysis.failure) throw AnalysisFailed(failureMessage(*failure), photoSeed);
    py::dict result = toPython(fits ? texturemeter::toJson(*analysis.measurements, analysis.fits)
                                    : texturemeter::toJson(*analysis.measurements));
    result["seed"] = photoSeed;
    addNotes(result, analysis.exifOrientation, analysis.warnings());
    return result;
}

// A square file, or the text of a square document, read with the checks every route applies: a
// dict of its fields, None where it gives none. `photoName`, when given, is the square's photo name
// (the bytes the file system holds; a dict leaves it out of its text). `image`, when it is a file
// name, is the photograph the square is for: a square of another photograph is refused, as a
// marks file is.
py::dict square(const std::optional<py::object>& path, const std::optional<std::string>& text,
                const std::optional<py::bytes>& photoName, const py::object& image) {
    if (path.has_value() == text.has_value())
        throw py::value_error("give the square as a file name or as a document, one of the two");
    const std::string name = path ? fileName(*path) : std::string("(square dict)");
    const std::string imageName =
        py::isinstance<py::array>(image) ? std::string() : std::filesystem::path(fileName(image)).filename().string();
    texturemeter::Square s;
    try {
        s = path ? texturemeter::readSquare(name) : texturemeter::parseSquare(*text, name);
        if (photoName) s.photo = *photoName;
        texturemeter::checkSquarePhoto(s, name, imageName);
    } catch (const imaging::RunError& e) {
        throw AnalysisFailed(e.what());
    }
    const auto optional = [](const auto& value) { return value ? py::cast(*value) : py::object(py::none()); };
    py::dict d;
    d["photo"] = pythonText(s.photo);
    d["x"] = s.x;
    d["y"] = s.y;
    d["side"] = optional(s.side);
    d["window"] = optional(s.window);
    d["neighbour"] = optional(s.neighbour);
    d["variant"] = s.variant ? py::object(py::str(texturemeter::variantLetter(*s.variant))) : py::object(py::none());
    d["seed"] = optional(s.seed);
    return d;
}

// Which file a row was measured from, as the tools' --json reports name it: its size in bytes and
// the SHA-256 of its content (lower-case hex); None for a file that cannot be read (the analysis
// then reports why).
py::object fileIdentity(const py::object& name) {
    const std::string path = fileName(name);
    std::optional<imaging::FileIdentity> identity;
    {
        py::gil_scoped_release unlocked;
        try {
            identity = imaging::identifyFile(path);
        } catch (const imaging::RunError&) {
        }
    }
    if (!identity) return py::none();
    return py::make_tuple(py::int_(static_cast<unsigned long long>(identity->sizeBytes)), identity->sha256);
}

// A marks file's document as its text, read and checked as the tools read marks files.
std::string readMarksText(const py::object& name) {
    const std::string path = fileName(name);
    std::string text, error;
    {
        py::gil_scoped_release unlocked;
        try {
            text = lesionmeter::marksText(lesionmeter::readMarks(path));
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    if (!error.empty()) throw AnalysisFailed(error);
    return text;
}

// Writes a marks document (its text) as the tools write marks files: checked as a marks file is
// read, and refused, before anything is written, where the tools' output guard refuses a file
// (an existing picture). `label` names the output in messages.
void writeMarksText(const py::object& name, const std::string& text, const std::string& label) {
    const std::string path = fileName(name);
    std::string error;
    {
        py::gil_scoped_release unlocked;
        try {
            const lesionmeter::Marks marks = lesionmeter::parseMarks(text, kMarksDictName);
            imaging::guardOutput(label, path, "marks file");
            lesionmeter::writeMarks(path, marks);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    if (!error.empty()) throw AnalysisFailed(error);
}

// A parameter as Python gives it, as the text texturemeter-cli's option would hold: a str as it
// is, an int as its digits, a float as the shortest text that reads back exactly.
std::string parameterText(const py::object& value) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (PyLong_Check(value.ptr())) return py::str(value).cast<std::string>();
    return imaging::exactText(value.cast<double>());
}

// The square of each photograph of a texture batch, as texturemeter-cli --squares finds and reads
// it (chosenSquare, squareRun): `squares` is None (the arguments' square for every photograph),
// "beside" (each photograph's square file) or "table" (the square table in `table_path`, or the
// text `table_text` named `table_name`). The arguments fill in what a square leaves out. A
// photograph's entry is a dict of its square (x, y, side, window, neighbour, variant), its photo
// seed with "seedSource" ("square" or "batch"), "squareSource" and "squareFile", or "error" (with
// the seed of its place) for a photograph without a square or whose square cannot be run; None for an entry of
// `paths` that is None (no file name: its row reports that). A table that cannot be read raises
// AnalysisError before any photograph.
py::list squareRuns(const std::vector<std::optional<py::object>>& paths, const std::optional<std::string>& squares,
                    const std::optional<py::object>& tablePath, const std::optional<std::string>& tableText,
                    const std::string& tableName, const py::dict& arguments, bool cornerGiven,
                    std::optional<uint64_t> seed, uint64_t clockBase) {
    texturemeter::SquareFill fill;
    fill.x = parameterText(arguments["x"]);
    fill.y = parameterText(arguments["y"]);
    fill.texts.regionSide = parameterText(arguments["side"]);
    fill.texts.tileSide = parameterText(arguments["window"]);
    fill.texts.neighbourDistance = parameterText(arguments["neighbour"]);
    fill.variant = parseVariant(py::str(arguments["variant"]).cast<std::string>());
    texturemeter::SquareTable table;
    texturemeter::SquareChoice choice;
    choice.perPhoto = squares.has_value();
    choice.cornerGiven = cornerGiven;
    choice.noSquareHint = "squares= without x= or y= gives no corner to fall back on";
    if (squares == "table") {
        try {
            table = tablePath ? texturemeter::readSquareTable(fileName(*tablePath))
                              : texturemeter::parseSquareTable(tableText.value_or(""), tableName);
        } catch (const imaging::RunError& e) {
            throw AnalysisFailed(e.what());
        }
        choice.table = &table;
    } else if (squares && *squares != "beside") {
        throw py::value_error("squares must be None, \"beside\" or \"table\", not \"" + *squares + "\"");
    }
    py::list runs;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!paths[i]) {
            runs.append(py::none());
            continue;
        }
        const std::string photo = fileName(*paths[i]);
        py::dict entry;
        // A photograph that fails before its analysis keeps the seed of its place, as the tool reports it.
        entry["seed"] = imaging::placeSeed(seed, clockBase, i).seed;
        entry["seedSource"] = "batch";
        std::optional<texturemeter::FoundSquare> found;
        try {
            found = texturemeter::chosenSquare(photo, choice);
            const texturemeter::PhotoSquare run = texturemeter::squareRun(found ? &*found : nullptr, i, fill, seed,
                                                                          clockBase);
            const texturemeter::TextureParameters& p = run.parameters;
            entry["x"] = p.region.regionX;
            entry["y"] = p.region.regionY;
            entry["side"] = p.region.regionSide;
            entry["window"] = p.tileSide;
            entry["neighbour"] = p.neighbourDistance;
            entry["variant"] = texturemeter::variantLetter(p.variant);
            entry["seed"] = run.seed.seed;
            entry["seedSource"] = texturemeter::photoSeedSource(run);
            entry["squareSource"] = texturemeter::squareSourceName(run.source);
            entry["squareFile"] = run.file.empty() ? py::object(py::none()) : py::object(pythonText(run.file));
        } catch (const texturemeter::ParameterError& e) {
            entry["error"] = pythonText(texturemeter::squareRunFailure(e, kArgumentWords, found ? &*found : nullptr));
        } catch (const imaging::RunError& e) {
            entry["error"] = pythonText(e.what());
        }
        runs.append(entry);
    }
    return runs;
}

// ---- Batches: skinmeters.batch's rows, on threads or in one Dask task.

// A column of a batch row: its name and where its value is in the measurements as the tools'
// --json reports them (with the fits).
struct Column {
    std::string name;
    imaging::Json::json_pointer where;
    std::optional<imaging::Json::json_pointer> fit;  // a fit's column: present only when the fit is
};

// Each fitted dimension that is the slope of one log-log line, and where its fit is.
struct DimensionFit {
    const char* dimension;
    std::vector<std::string> fit;  // the path under "fits"
};

const std::vector<DimensionFit>& dimensionFits(const std::string& kind) {
    static const std::vector<DimensionFit> texture{{"outlineDimension", {"outline"}},
                                                   {"totalDimension", {"monochrome", "wholeWindow"}}};
    static const std::vector<DimensionFit> lesion{{"outlineDimension", {"outline"}},
                                                  {"profileRow140", {"profileRow140"}},
                                                  {"profileRow170", {"profileRow170"}},
                                                  {"profileColumn140", {"profileColumn140"}},
                                                  {"profileColumn170", {"profileColumn170"}}};
    if (kind == "texture") return texture;
    if (kind == "lesion") return lesion;
    throw py::value_error("kind must be \"texture\" or \"lesion\", not \"" + kind + "\"");
}

std::string pointerPart(const std::string& name) { return "/" + name; }

// The measurement names of the tools' tables as columns, in the tools' order: nested names joined
// by "." ("hessian.meanDimension"), an interval as NAME.1 and NAME.2, and each fitted dimension
// followed by its fit's R² and 95 % interval (NAME.rSquared, NAME.dimensionCi95.1 and .2).
const std::vector<Column>& batchColumns(const std::string& kind) {
    static const auto build = [](const std::string& k) {
        std::vector<Column> columns;
        const auto add = [&](const std::string& name, const std::string& where) {
            columns.push_back({name, imaging::Json::json_pointer(where), std::nullopt});
            for (const DimensionFit& d : dimensionFits(k)) {
                if (name != d.dimension) continue;
                std::string fit = "/fits";
                for (const std::string& part : d.fit) fit += pointerPart(part);
                const imaging::Json::json_pointer at(fit);
                columns.push_back({name + ".rSquared", imaging::Json::json_pointer(fit + "/rSquared"), at});
                columns.push_back({name + ".dimensionCi95.1", imaging::Json::json_pointer(fit + "/dimensionCi95/0"), at});
                columns.push_back({name + ".dimensionCi95.2", imaging::Json::json_pointer(fit + "/dimensionCi95/1"), at});
            }
        };
        if (k == "texture") {
            const auto value = [&](const std::string& prefix) {
                return [&, prefix](const char* name, const auto& member) {
                    const std::string column = prefix.empty() ? name : prefix + "." + name;
                    const std::string where = (prefix.empty() ? "" : pointerPart(prefix)) + pointerPart(name);
                    if constexpr (std::is_same_v<std::decay_t<decltype(member)>, std::optional<std::array<double, 2>>>) {
                        add(column + ".1", where + "/0");
                        add(column + ".2", where + "/1");
                    } else {
                        add(column, where);
                    }
                };
            };
            const texturemeter::TextureMeasurements m{};
            texturemeter::visitMeasurements(
                m, [&](const char* name, const auto& group) { texturemeter::visitFields(group, value(name)); },
                value(""));
        } else {
            for (const std::string& name : lesionmeter::lesionMeasurementNames()) add(name, pointerPart(name));
        }
        return columns;
    };
    static const std::vector<Column> texture = build("texture");
    static const std::vector<Column> lesion = build("lesion");
    dimensionFits(kind);  // refuses another kind
    return kind == "texture" ? texture : lesion;
}

// The measurement columns of a row, from the measurements as the --json reports hold them: every
// column of the table, a fit's only when the fit is there.
void addMeasurementColumns(imaging::Json& row, const std::string& kind, const imaging::Json& measurements) {
    for (const Column& column : batchColumns(kind)) {
        if (column.fit && !(measurements.contains(*column.fit) && measurements.at(*column.fit).is_object())) continue;
        row[column.name] = measurements.contains(column.where) ? measurements.at(column.where) : imaging::Json();
    }
}

// The warnings of a row in one text, one line each (null when there is none).
imaging::Json warningText(const std::vector<std::string>& warnings) {
    std::string text;
    for (const std::string& w : warnings)
        if (!w.empty()) text += (text.empty() ? "" : "\n") + w;
    return text.empty() ? imaging::Json() : imaging::Json(text);
}

// The texture work grids and pictures kept from batch to batch: a thread of a batch takes one
// and gives it back when the batch ends, so that the next batch (the next chunk of a Dask task)
// finds it allocated, as a texturemeter-cli worker keeps its own for the whole list.
class KeptWorkspace {
public:
    KeptWorkspace() {
        std::lock_guard lock(mutex());
        if (!kept().empty()) {
            workspace_ = std::move(kept().back());
            kept().pop_back();
        } else {
            workspace_ = std::make_unique<texturemeter::PhotoWorkspace>();
        }
    }
    ~KeptWorkspace() {
        std::lock_guard lock(mutex());
        kept().push_back(std::move(workspace_));
    }
    KeptWorkspace(const KeptWorkspace&) = delete;
    KeptWorkspace& operator=(const KeptWorkspace&) = delete;
    texturemeter::PhotoWorkspace& get() { return *workspace_; }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::unique_ptr<texturemeter::PhotoWorkspace>>& kept() {
        static auto* k = new std::vector<std::unique_ptr<texturemeter::PhotoWorkspace>>();  // kept until exit
        return *k;
    }
    std::unique_ptr<texturemeter::PhotoWorkspace> workspace_;
};

// The lesion analysis keeps nothing from photograph to photograph.
struct NoWorkspace {};

// What batch() gives for each photograph: the file (path, bytes, sha256), its measurement columns
// (fits=True: the whole fits in "fits"), "exifOrientation", "warning", "seed" and "error".
// A batch runs on imaging::runBatch, as both tools' batches do: `jobs` threads (0: one per core,
// at most the photographs and the cores), rows in input order. `places` are the photographs'
// places in the whole batch (their seeds depend on them), `progress` (when not None) is called with
// 1 after each row. A Ctrl-C starts no new photograph and is raised when the ones under way are done.
py::list runBatchRows(const std::string& kind, const py::list& paths, const std::vector<uint64_t>& places,
                      const py::dict& parameters, const std::optional<py::list>& marks, std::optional<uint64_t> seed,
                      uint64_t clockBase, bool fits, unsigned jobs, const py::object& progress,
                      const std::optional<py::list>& squares) {
    const std::size_t count = py::len(paths);
    if (places.size() != count) throw py::value_error("give one place per photograph");
    if (kind == "lesion" && (!marks || py::len(*marks) != count))
        throw py::value_error("give one marks source per photograph");
    if (squares && py::len(*squares) != count) throw py::value_error("give one square per photograph");
    dimensionFits(kind);

    // With the interpreter lock: each name as the file system's bytes (what is no file name is
    // its row's error), the parameters and the marks read once.
    std::vector<std::string> names(count);
    std::vector<std::optional<std::string>> nameErrors(count);
    for (std::size_t i = 0; i < count; ++i) {
        try {
            names[i] = fileName(paths[i]);
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_TypeError) && !e.matches(PyExc_ValueError)) throw;
            nameErrors[i] = std::string(py::str(e.value()));
        } catch (const py::value_error& e) {
            nameErrors[i] = e.what();
        }
    }
    texturemeter::TextureParameters textureParams;
    std::optional<std::string> parameterError;  // every row's error
    bool fit = false;
    std::vector<MarksSource> marksSources;
    if (kind == "texture") {
        try {
            textureParams = textureParameters(parameters["x"], parameters["y"], parameters["side"],
                                              parameters["window"], parameters["neighbour"],
                                              parameters["variant"].cast<std::string>());
        } catch (const texturemeter::ParameterError& e) {
            parameterError = parameterFailure(e).what();
        }
    } else {
        fit = parameters["fit"].cast<bool>();
        marksSources.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const py::tuple source = (*marks)[i].cast<py::tuple>();  // (path, text, photo)
            if (!source[0].is_none()) marksSources[i].path = fileName(source[0]);
            if (!source[1].is_none()) marksSources[i].text = source[1].cast<std::string>();
            if (!source[2].is_none()) marksSources[i].photo = source[2].cast<std::string>();
        }
    }

    // squares=: a photograph's own square (its parameters and photo seed, read before the batch),
    // or why it has none.
    struct OwnSquare {
        uint64_t seed = 0;
        std::optional<std::string> error;
        texturemeter::TextureParameters parameters;
    };
    std::vector<std::optional<OwnSquare>> ownSquares(count);
    if (squares) {
        const py::object fsencode = py::module_::import("os").attr("fsencode");
        for (std::size_t i = 0; i < count; ++i) {
            const py::object entry = (*squares)[i];
            if (entry.is_none()) continue;
            const py::dict d = entry.cast<py::dict>();
            OwnSquare own;
            own.seed = d["seed"].cast<uint64_t>();
            if (d.contains("error") && !d["error"].is_none()) {
                own.error = fsencode(d["error"]).cast<std::string>();
            } else {
                try {
                    own.parameters = textureParameters(d["x"], d["y"], d["side"], d["window"], d["neighbour"],
                                                       d["variant"].cast<std::string>());
                } catch (const texturemeter::ParameterError& e) {
                    own.error = parameterFailure(e).what();
                }
            }
            ownSquares[i] = std::move(own);
        }
    }

    const auto analyseTexture = [&](std::size_t i, texturemeter::PhotoWorkspace& workspace) {
        imaging::Json row = imaging::Json::object();
        const std::optional<OwnSquare>& own = ownSquares[i];
        // A photograph's own square is analysed as that photograph alone with the square's seed.
        const uint64_t photoSeed = own ? imaging::placeSeed(own->seed, clockBase, 0).seed
                                       : imaging::placeSeed(seed, clockBase, places[i]).seed;
        row["seed"] = own ? own->seed : photoSeed;
        if (const std::optional<std::string>& error = own ? own->error : parameterError) {
            row["error"] = *error;
            return row;
        }
        texturemeter::PhotoOptions options;
        options.captureFits = true;  // the fit columns
        options.words = kArgumentWords;
        const texturemeter::PhotoAnalysis analysis = texturemeter::analysePhotoFile(
            names[i], own ? own->parameters : textureParams, photoSeed, workspace, options);
        if (analysis.failure) {
            row["error"] = failureMessage(*analysis.failure);
            return row;
        }
        const imaging::Json measurements = texturemeter::toJson(*analysis.measurements, analysis.fits);
        addMeasurementColumns(row, kind, measurements);
        row["exifOrientation"] = analysis.exifOrientation;
        row["warning"] = warningText(analysis.warnings());
        if (fits) row["fits"] = measurements.at("fits");
        row["error"] = nullptr;
        return row;
    };
    const auto analyseLesion = [&](std::size_t i) {
        imaging::Json row = imaging::Json::object();
        PhotoSource source;
        source.path = names[i];
        MarksSource marksSource = marksSources[i];
        if (!marksSource.path && !marksSource.text) marksSource.path = lesionmeter::marksFileFor(names[i]);
        LesionRun run = runLesion(source, marksSource, seed, fit, clockBase, places[i]);
        row["seed"] = run.seed ? imaging::Json(*run.seed) : imaging::Json();
        if (run.error) {
            row["error"] = *run.error;
            return row;
        }
        addMeasurementColumns(row, kind, run.measurements);
        row["exifOrientation"] = run.orientation;
        row["warning"] = warningText({imaging::exifOrientationWarning(run.orientation)});
        if (fits) row["fits"] = run.measurements.contains("fits") ? run.measurements.at("fits") : imaging::Json::object();
        row["error"] = run.axisError.empty() ? imaging::Json() : imaging::Json(run.axisError);
        return row;
    };
    // Which file a row was measured from, as the tools' --json reports name it.
    const auto identified = [&](std::size_t i, imaging::Json row) {
        row["path"] = names[i];
        std::optional<imaging::FileIdentity> identity;
        try {
            identity = imaging::identifyFile(names[i]);
        } catch (const imaging::RunError&) {
        }
        row["bytes"] = identity ? imaging::Json(identity->sizeBytes) : imaging::Json();
        row["sha256"] = identity ? imaging::Json(identity->sha256) : imaging::Json();
        return row;
    };

    std::vector<imaging::Json> rows(count);
    std::atomic<bool> stop{false};
    std::optional<py::error_already_set> interruption;
    {
        py::gil_scoped_release unlocked;
        imaging::BatchPlan plan;
        plan.count = count;
        std::string note;
        plan.jobs = imaging::parallelJobs(jobs, count, std::max(1u, std::thread::hardware_concurrency()), note);
        plan.stopRequested = [&] { return stop.load(); };
        const auto deliver = [&](std::size_t i, imaging::Json row) {
            rows[i] = std::move(row);
            py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) {
                stop = true;
                if (!interruption) interruption.emplace();
            }
            if (!progress.is_none() && !interruption) progress(1);
        };
        const auto nameFailed = [&](std::size_t i) {
            imaging::Json row = imaging::Json::object();
            row["seed"] = kind == "texture" ? imaging::Json(imaging::placeSeed(seed, clockBase, places[i]).seed)
                          : seed          ? imaging::Json(*seed)
                                          : imaging::Json();
            row["error"] = *nameErrors[i];
            return row;
        };
        if (kind == "texture") {
            imaging::runBatch<KeptWorkspace>(
                plan,
                [&](std::size_t i, KeptWorkspace& kept) {
                    return nameErrors[i] ? nameFailed(i) : identified(i, analyseTexture(i, kept.get()));
                },
                deliver);
        } else {
            imaging::runBatch<NoWorkspace>(
                plan,
                [&](std::size_t i, NoWorkspace&) {
                    return nameErrors[i] ? nameFailed(i) : identified(i, analyseLesion(i));
                },
                deliver);
        }
    }
    if (interruption) throw std::move(*interruption);
    py::list result;
    for (const imaging::Json& row : rows) result.append(toPython(row));
    return result;
}

// The column names of a batch of `kind` in the tools' order (batchColumns).
std::vector<std::string> measurementNames(const std::string& kind) {
    std::vector<std::string> names;
    for (const Column& column : batchColumns(kind)) names.push_back(column.name);
    return names;
}

// Each fitted dimension's fit, as the path under the measurements' "fits".
py::dict dimensionFitPaths(const std::string& kind) {
    py::dict d;
    for (const DimensionFit& f : dimensionFits(kind)) d[py::str(f.dimension)] = py::tuple(py::cast(f.fit));
    return d;
}

}  // namespace

PYBIND11_MODULE(_skinmeters, m) {
    m.doc() = "The compiled analyses behind the skinmeters package.";
    // The programs' version (the file VERSION), shown as skinmeters.__version__.
    m.attr("__version__") = std::string(imaging::programVersion());
    static py::exception<AnalysisFailed> analysisError(m, "AnalysisError", PyExc_RuntimeError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const AnalysisFailed& e) {
            py::object error = py::reinterpret_borrow<py::object>(analysisError.ptr())(pythonText(e.what()));
            error.attr("seed") = e.seed ? py::object(py::int_(*e.seed)) : py::object(py::none());
            PyErr_SetObject(analysisError.ptr(), error.ptr());
        }
    });
    m.def("texture", &texture, py::arg("image"), py::arg("x"), py::arg("y"), py::arg("side"), py::arg("window"),
          py::arg("neighbour"), py::arg("variant"), py::arg("seed"), py::arg("position"), py::arg("fits") = true);
    m.def("run_batch", &runBatchRows, py::arg("kind"), py::arg("paths"), py::arg("places"), py::arg("parameters"),
          py::arg("marks"), py::arg("seed"), py::arg("clock_base"), py::arg("fits"), py::arg("jobs"),
          py::arg("progress") = py::none(), py::arg("squares") = py::none(),
          "The rows of a batch (dicts, in input order) analysed on JOBS threads without the interpreter lock.");
    m.def("measurement_names", &measurementNames, py::arg("kind"),
          "The measurement columns of a batch of KIND (\"texture\" or \"lesion\") in the tools' order, each "
          "fitted dimension followed by its fit's R² and interval.");
    m.def("dimension_fits", &dimensionFitPaths, py::arg("kind"),
          "Each fitted dimension of KIND and the path of its fit under the measurements' \"fits\".");
    m.def("lesion", &lesion, py::arg("image"), py::arg("marks_path"), py::arg("marks_text"), py::arg("seed"),
          py::arg("fit"), py::arg("clock_base"), py::arg("position"), py::arg("photo_name") = py::none());
    m.def("square", &square, py::arg("path"), py::arg("text"), py::arg("photo_name"), py::arg("image"),
          "A square file's (or document's) fields as a dict, read and checked as the tools read them.");
    m.def("square_runs", &squareRuns, py::arg("paths"), py::arg("squares"), py::arg("table_path"),
          py::arg("table_text"), py::arg("table_name"), py::arg("arguments"), py::arg("corner_given"), py::arg("seed"),
          py::arg("clock_base"),
          "Each photograph's square, parameters and photo seed in a texture batch, as texturemeter-cli --squares "
          "reads them.");
    m.def(
        "file_name", [](const py::object& name) { return py::bytes(fileName(name)); }, py::arg("name"),
        "A file name (str, bytes or os.PathLike) as the bytes the file system holds; TypeError or ValueError "
        "for what is no file name.");
    m.def(
        "marks_file_for", [](const py::object& photo) { return py::bytes(lesionmeter::marksFileFor(fileName(photo))); },
        py::arg("photo"),
        "The marks file lesionmeter-cli's batch reads for a photograph, as bytes: DIR/NAME.EXT -> DIR/NAME.marks.json.");
    m.def("photo_seed", &imaging::photoSeed, py::arg("seed"), py::arg("position"),
          "The seed texturemeter-cli --seed SEED reports for the photograph at POSITION (0 = first) of its list; "
          "given back as the seed of that photograph alone, it repeats the photograph's numbers.");
    m.def("clock_seed", &imaging::clockSeed,
          "A seed read from the clock for a run given none (below 2**53), as the tools draw one per batch.");
    m.def(
        "place_seed",
        [](std::optional<uint64_t> given, uint64_t clockBase, uint64_t index) {
            const imaging::ChosenSeed chosen = imaging::placeSeed(given, clockBase, index);
            return py::make_tuple(py::int_(chosen.seed), chosen.source);
        },
        py::arg("given"), py::arg("clock_base"), py::arg("index"),
        "(seed, source) of the texture photograph at place INDEX of a batch with seed GIVEN, else with the "
        "batch's clock seed CLOCK_BASE; source is \"option\" or \"clock\".");
    m.def(
        "marked_seed",
        [](std::optional<uint64_t> given, std::optional<uint64_t> marks, uint64_t clockBase, uint64_t index) {
            const imaging::ChosenSeed chosen = imaging::markedSeed(given, marks, clockBase, index);
            return py::make_tuple(py::int_(chosen.seed), chosen.source);
        },
        py::arg("given"), py::arg("marks"), py::arg("clock_base"), py::arg("index"),
        "(seed, source) of the lesion photograph at place INDEX of a batch: GIVEN, else its marks' seed MARKS, "
        "else the photo seed of its place from the batch's clock seed CLOCK_BASE; source is \"option\", "
        "\"marks\" or \"clock\".");
    m.def("file_identity", &fileIdentity, py::arg("name"),
          "(size in bytes, SHA-256 hex) of a file's content, as the --json reports name a photograph; None when it "
          "cannot be read.");
    m.def("read_marks_text", &readMarksText, py::arg("name"),
          "A marks file's document as text, read and checked as the tools read it.");
    m.def("write_marks_text", &writeMarksText, py::arg("name"), py::arg("text"), py::arg("label"),
          "Writes a marks document as the tools write marks files, with the same checks.");
}
