// Documents kept beside a photograph: the format and version checks, exact seeds, the photograph
// they belong to, and whole-file writes, as every kind (marks, squares) gets them.

#include "imaging/photo_document.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "imaging/errors.hpp"
#include "test_support.hpp"

namespace imaging {
namespace {

constexpr PhotoDocumentKind kNotes{"study-notes", 3, "Notes file", "notes", ".notes.json"};

template <typename F>
std::string messageOf(F action) {
    try {
        action();
    } catch (const RunError& e) {
        return e.what();
    }
    return "";
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

TEST(PhotoDocument, FormatAndVersionAreCheckedNamingTheFile) {
    const Json doc = parsePhotoDocument(kNotes, R"({"format": "study-notes", "version": 3, "photo": "a.jpg"})", "n.json");
    EXPECT_EQ(doc["photo"], "a.jpg");
    const auto refusal = [](const std::string& text) {
        return messageOf([&] { parsePhotoDocument(kNotes, text, "n.json"); });
    };
    EXPECT_EQ(refusal("[1]"), "Notes file n.json: not a notes document");
    EXPECT_EQ(refusal(R"({"format": "lesionmeter-marks", "version": 3})"),
              "Notes file n.json: not a notes document (\"format\" is not \"study-notes\")");
    EXPECT_EQ(refusal(R"({"version": 3})"), "Notes file n.json: not a notes document (\"format\" is not \"study-notes\")");
    EXPECT_EQ(refusal(R"({"format": "study-notes"})"), "Notes file n.json: \"version\" is missing");
    EXPECT_EQ(refusal(R"({"format": "study-notes", "version": "3"})"), "Notes file n.json: \"version\" is missing");
    EXPECT_EQ(refusal(R"({"format": "study-notes", "version": 4})"),
              "Notes file n.json: version 4 is not supported (this program reads version 3)");
    EXPECT_EQ(refusal("{").rfind("Notes file n.json: not a JSON document (", 0), 0u) << refusal("{");
    try {
        parsePhotoDocument(kNotes, "[]", "n.json");
        ADD_FAILURE();
    } catch (const RunError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Refused);
    }
}

TEST(PhotoDocument, SeedsAreWholeNumbersKeptExactly) {
    const auto seedOf = [](const std::string& value) {
        return documentSeed(kNotes, Json::parse("{\"seed\": " + value + "}"), "n.json");
    };
    EXPECT_EQ(seedOf("18446744073709551615"), std::optional<uint64_t>(18446744073709551615ull));
    EXPECT_EQ(seedOf("9007199254740993"), std::optional<uint64_t>(9007199254740993ull));  // not a double
    EXPECT_EQ(seedOf("0"), std::optional<uint64_t>(0));
    EXPECT_EQ(seedOf("null"), std::nullopt);
    EXPECT_EQ(documentSeed(kNotes, Json::object(), "n.json"), std::nullopt);
    for (const char* bad : {"-1", "1.5", "\"7\"", "[7]"})
        EXPECT_EQ(messageOf([&] { seedOf(bad); }), "Notes file n.json: \"seed\" is not a whole number from 0 up") << bad;
    EXPECT_EQ(seedJson(18446744073709551615ull).dump(), "18446744073709551615");
    EXPECT_EQ(seedJson(std::nullopt).dump(), "null");
}

TEST(PhotoDocument, PhotoIsAFileNameAndAnotherPhotographsDocumentIsRefused) {
    EXPECT_EQ(documentPhoto(kNotes, Json::parse(R"({"photo": "p.jpg"})"), "n.json"), "p.jpg");
    EXPECT_EQ(messageOf([] { documentPhoto(kNotes, Json::parse(R"({"photo": 1})"), "n.json"); }),
              "Notes file n.json: \"photo\" is not a file name");
    EXPECT_EQ(messageOf([] { documentPhoto(kNotes, Json::object(), "n.json"); }),
              "Notes file n.json: \"photo\" is not a file name");
    EXPECT_EQ(messageOf([] { checkDocumentPhoto(kNotes, "p.jpg", "n.json", "p.jpg"); }), "");
    EXPECT_EQ(messageOf([] { checkDocumentPhoto(kNotes, "p.jpg", "n.json", "q.jpg", "--notes "); }),
              "--notes n.json holds the notes of p.jpg, not of q.jpg");
    EXPECT_EQ(messageOf([] { checkDocumentPhoto(kNotes, "", "n.json", "q.jpg"); }), "");
    EXPECT_EQ(messageOf([] { checkDocumentPhoto(kNotes, "p.jpg", "n.json", ""); }), "");
    EXPECT_EQ(photoDocumentFor(kNotes, "/d/p01.jpg"), "/d/p01.notes.json");
    EXPECT_EQ(photoDocumentFor(kNotes, "a.b.png"), "a.b.notes.json");
}

TEST(PhotoDocument, TextAndFilesAreWholeWithTheirErrors) {
    Json doc;
    doc["format"] = "study-notes";
    doc["photo"] = std::string("caf\xE9.jpg");  // Latin-1, not UTF-8: replaced, not refused
    EXPECT_EQ(photoDocumentText(doc), "{\n  \"format\": \"study-notes\",\n  \"photo\": \"caf\xEF\xBF\xBD.jpg\"\n}\n");

    imaging_test::TempDir scratch("photo-document");
    const std::string name = scratch.file("p.notes.json");
    writePhotoDocumentFile(kNotes, name, "first\n");
    writePhotoDocumentFile(kNotes, name, "second\n");
    EXPECT_EQ(readAll(name), "second\n");
    EXPECT_EQ(readPhotoDocumentFile(kNotes, name), "second\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
    EXPECT_EQ(messageOf([&] { readPhotoDocumentFile(kNotes, scratch.file("none.json")); }),
              "File not found: " + scratch.file("none.json"));
    EXPECT_EQ(messageOf([&] { readPhotoDocumentFile(kNotes, scratch.path().string()); }),
              "Cannot read the notes file (is a directory): " + scratch.path().string());
    const std::string missingFolder = scratch.file("no/such/n.json");
    EXPECT_NE(messageOf([&] { writePhotoDocumentFile(kNotes, missingFolder, "x"); }).find(missingFolder),
              std::string::npos);
}

}  // namespace
}  // namespace imaging
