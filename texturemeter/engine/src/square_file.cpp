// Square files: the document's text, reading it back, and the checks it shares with the marks files.

#include "texturemeter/square_file.hpp"

#include <cmath>

#include "imaging/photo_document.hpp"

namespace texturemeter {

namespace {

using imaging::Json;

// The rules square files share with every document kept beside a photograph.
constexpr imaging::PhotoDocumentKind kSquareKind{kSquareFormat, kSquareVersion, "Square file", "square",
                                                 ".square.json"};

[[noreturn]] void refuse(const std::string& source, const std::string& why) {
    imaging::refuseDocument(kSquareKind, source, why);
}

// A number as JSON: a whole number as an integer, any other as the double (written as the shortest
// text that reads back exactly).
Json numberJson(double v) {
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) return static_cast<long long>(v);
    return v;
}

bool given(const Json& doc, const char* key) { return doc.contains(key) && !doc[key].is_null(); }

int16_t wholeNumber16(const Json& doc, const char* key, const std::string& source) {
    const Json& v = doc[key];
    if (!v.is_number_integer() || v.get<long long>() < -32768 || v.get<long long>() > 32767)
        refuse(source, std::string("\"") + key + "\" is not a whole number from -32768 to 32767");
    return static_cast<int16_t>(v.get<long long>());
}

double number(const Json& doc, const char* key, const std::string& source) {
    const Json& v = doc[key];
    if (!v.is_number() || !std::isfinite(v.get<double>())) refuse(source, std::string("\"") + key + "\" is not a number");
    return v.get<double>();
}

}  // namespace

const char* variantLetter(Variant variant) {
    switch (variant) {
        case Variant::A: return "A";
        case Variant::B: return "B";
        case Variant::C: return "C";
    }
    return "A";
}

std::optional<Variant> parseVariantLetter(const std::string& text) {
    if (text == "A" || text == "a") return Variant::A;
    if (text == "B" || text == "b") return Variant::B;
    if (text == "C" || text == "c") return Variant::C;
    return std::nullopt;
}

std::string squareText(const Square& square) {
    Json doc;
    doc["format"] = kSquareFormat;
    doc["version"] = kSquareVersion;
    doc["photo"] = square.photo;
    doc["x"] = square.x;
    doc["y"] = square.y;
    doc["side"] = square.side ? Json(*square.side) : Json(nullptr);
    doc["window"] = square.window ? numberJson(*square.window) : Json(nullptr);
    doc["neighbour"] = square.neighbour ? numberJson(*square.neighbour) : Json(nullptr);
    doc["variant"] = square.variant ? Json(variantLetter(*square.variant)) : Json(nullptr);
    doc["seed"] = imaging::seedJson(square.seed);
    return imaging::photoDocumentText(doc);
}

Square parseSquare(const std::string& text, const std::string& source) {
    const Json doc = imaging::parsePhotoDocument(kSquareKind, text, source);
    Square square;
    square.photo = imaging::documentPhoto(kSquareKind, doc, source);
    for (const char* key : {"x", "y"})
        if (!given(doc, key)) refuse(source, std::string("\"") + key + "\" is missing");
    square.x = wholeNumber16(doc, "x", source);
    square.y = wholeNumber16(doc, "y", source);
    if (given(doc, "side")) square.side = wholeNumber16(doc, "side", source);
    if (given(doc, "window")) square.window = number(doc, "window", source);
    if (given(doc, "neighbour")) square.neighbour = number(doc, "neighbour", source);
    if (given(doc, "variant")) {
        const Json& v = doc["variant"];
        if (!v.is_string() || !(square.variant = parseVariantLetter(v.get<std::string>())))
            refuse(source, "\"variant\" " + v.dump() + " is not \"A\", \"B\" or \"C\"");
    }
    square.seed = imaging::documentSeed(kSquareKind, doc, source);
    return square;
}

Square readSquare(const std::string& name) {
    return parseSquare(imaging::readPhotoDocumentFile(kSquareKind, name), name);
}

void writeSquare(const std::string& name, const Square& square) {
    imaging::writePhotoDocumentFile(kSquareKind, name, squareText(square));
}

void checkSquarePhoto(const Square& square, const std::string& squareName, const std::string& photoName,
                      const std::string& label) {
    imaging::checkDocumentPhoto(kSquareKind, square.photo, squareName, photoName, label);
}

std::string squareFileFor(const std::string& photoPath) { return imaging::photoDocumentFor(kSquareKind, photoPath); }

}  // namespace texturemeter
