// _skinmeters: the compiled half of the skinmeters package. It runs one analysis of one photograph
// with the engines the command-line tools use, without the interpreter lock, and hands back the
// named measurements as a dict. Batches, threads and Dask live in the Python half.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
#include "lesionmeter/measurements_json.hpp"
#include "texturemeter/analyse_photo.hpp"
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
    py::array array;             // uint8 (height, width, 3), RGB
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

// A JSON value of the engine's report as the Python value json.loads would give.
py::object toPython(const nlohmann::json& j) {
    switch (j.type()) {
        case nlohmann::json::value_t::object: {
            py::dict d;
            for (const auto& [name, value] : j.items()) d[py::str(name)] = toPython(value);
            return d;
        }
        case nlohmann::json::value_t::array: {
            py::list l;
            for (const auto& value : j) l.append(toPython(value));
            return l;
        }
        case nlohmann::json::value_t::number_float: return py::float_(j.get<double>());
        case nlohmann::json::value_t::number_integer: return py::int_(j.get<int64_t>());
        case nlohmann::json::value_t::number_unsigned: return py::int_(j.get<uint64_t>());
        case nlohmann::json::value_t::boolean: return py::bool_(j.get<bool>());
        case nlohmann::json::value_t::string: return py::str(j.get<std::string>());
        default: return py::none();
    }
}

// Marks given to an array without a photo name are clicked into it under this name.
constexpr const char* kArrayName = "(array)";

// One lesion analysis from marks (a marks file, or the text of a marks document), as
// lesionmeter-cli IMAGE --marks FILE [--seed S] [--fit] runs it, as photograph number `position`
// of a batch whose clock seed is `clockBase` (a single photograph: place 0 and a seed drawn from
// the clock now). The seed is imaging::markedSeed's: `seed`, else the marks' seed, else the photo
// seed of the place; a failure after the marks were read carries it.
// `photoName`, when given, is the marks' photo name (the bytes the file system holds; a document
// then leaves it out). Marks of another photograph than the file are refused as lesionmeter-cli
// refuses them. Returns the measurements with the seed used, and the message of an "axis" that
// found no dark pixel (None when it did).
py::tuple lesion(const py::object& image, const std::optional<py::object>& marksPath,
                 const std::optional<std::string>& marksText, std::optional<uint64_t> seed, bool fit,
                 std::optional<uint64_t> clockBase, uint64_t position, const std::optional<py::bytes>& photoName) {
    if (marksPath.has_value() == marksText.has_value())
        throw py::value_error("give the marks as a file name or as a document, one of the two");
    const PhotoSource source = photoSource(image);
    const std::string marksName = marksPath ? fileName(*marksPath) : std::string(kMarksDictName);
    const std::optional<std::string> photo = photoName ? std::optional<std::string>(*photoName) : std::nullopt;
    nlohmann::json measurements;
    std::string axisError, error;
    uint64_t seedUsed = 0;
    std::optional<uint64_t> seedKnown = seed;  // the given seed, known before the marks are read
    int orientation = 0;
    {
        py::gil_scoped_release unlocked;
        try {
            lesionmeter::Marks marks =
                marksPath ? lesionmeter::readMarks(marksName) : lesionmeter::parseMarks(*marksText, marksName);
            if (photo) marks.photo = *photo;
            // An array has no name to compare: the marks' photo name is the one it is loaded under.
            if (source.isArray && marks.photo.empty()) marks.photo = kArrayName;
            imaging::FastRandom random;
            lesionmeter::LesionAnalysis analysis(random);
            seedKnown = imaging::markedSeed(seed, marks.seed, clockBase ? *clockBase : imaging::clockSeed(), position).seed;
            analysis.setSeed(*seedKnown);
            axisError = source.isArray
                            ? lesionmeter::analyseWithMarks(analysis, photoFromArray(source.array), marks, fit)
                            : lesionmeter::analyseWithMarks(analysis, source.path, marks, fit, {marksName, ""});
            // As lesionmeter-cli --json reports them: with the fits once "Fractal calc" has run.
            measurements = analysis.fractalDone()
                               ? lesionmeter::toJson(analysis.measurements(), analysis.fractalFits())
                               : lesionmeter::toJson(analysis.measurements());
            seedUsed = analysis.lastRunSeed().value_or(0);
            if (!source.isArray) orientation = imaging::exifOrientation(source.path);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    if (!error.empty()) throw AnalysisFailed(error, seedKnown);
    py::dict result = toPython(measurements);
    result["seed"] = seedUsed;
    addNotes(result, orientation, {imaging::exifOrientationWarning(orientation)});
    return py::make_tuple(result, axisError.empty() ? py::object(py::none()) : py::object(pythonText(axisError)));
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

// One texture analysis, as texturemeter-cli analyses photograph number `position` of its list
// with `--seed seed`: the result reports that place's photo seed. Without `fits` the fits are left
// out (a batch row has no place for them). A square entirely outside the photograph is refused
// and one reaching past an edge gets the warning, as texturemeter-cli refuses and warns.
py::dict texture(const py::object& image, const py::object& x, const py::object& y, const py::object& side,
                 const py::object& window, const py::object& neighbour, const std::string& variant,
                 std::optional<uint64_t> seed, uint64_t position, bool fits) {
    const PhotoSource source = photoSource(image);
    texturemeter::TextureParameters parameters;
    parameters.variant = parseVariant(variant);
    try {
        parameters.region.regionX = wholeParameter(x, TextureParameter::CornerX);
        parameters.region.regionY = wholeParameter(y, TextureParameter::CornerY);
        parameters.region.regionSide = wholeParameter(side, TextureParameter::RegionSide);
        parameters.tileSide = numberParameter(window, TextureParameter::TileSide);
        parameters.neighbourDistance = numberParameter(neighbour, TextureParameter::NeighbourDistance);
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
                const imaging::Image array = photoFromArray(source.array);
                analysis = texturemeter::analysePhoto(array, parameters, photoSeed, workspace, options);
            } catch (const std::exception& e) {
                analysis.failure = texturemeter::PhotoFailure{e.what(), std::nullopt, std::nullopt, {}};
            }
        } else {
            analysis = texturemeter::analysePhotoFile(source.path, parameters, photoSeed, workspace, options);
        }
    }
    if (const auto& failure = analysis.failure)
        throw AnalysisFailed(failure->kind ? failure->message + texturemeter::describeLimit(failure->limit, kArgumentWords)
                                           : failure->message,
                             photoSeed);
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
