// The shared pieces of the --json reports: digests, file identity, exact numbers, the checked write.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/report.hpp"

namespace imaging {
namespace {

namespace fs = std::filesystem;

TEST(Report, Sha256OfKnownTexts) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Report, FileIdentityIsSizeAndDigestOfTheContent) {
    const fs::path p = fs::temp_directory_path() / ("report-test-" + std::to_string(::getpid()) + ".bin");
    // More than one read buffer (64 KiB), so that the digest is fed in pieces.
    std::string content(200000, 'x');
    content[123456] = '\0';
    std::ofstream(p, std::ios::binary) << content;
    const FileIdentity id = identifyFile(p.string());
    EXPECT_EQ(id.sizeBytes, content.size());
    EXPECT_EQ(id.sha256, sha256Hex(content));
    const Json entry = imageEntry("name.jpg", p.string());
    EXPECT_EQ(entry.dump(), "{\"name\":\"name.jpg\",\"path\":\"" + p.string() + "\",\"sizeBytes\":200000,\"sha256\":\"" +
                                id.sha256 + "\"}");
    fs::remove(p);
    try {
        identifyFile(p.string());
        FAIL() << "a missing file must be an error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileNotFound);
        EXPECT_EQ(std::string(e.what()), "File not found: " + p.string());
    }
    EXPECT_FALSE(imageEntry("name.jpg", p.string()).contains("sha256"));
}

TEST(Report, NumbersReadBackExactly) {
    const float single = 2.4306910f;
    const Json j = {{"single", exactNumber(single)}, {"third", exactNumber(1.0 / 3.0)}};
    const Json back = Json::parse(j.dump());
    EXPECT_EQ(back["single"].get<double>(), static_cast<double>(single));
    EXPECT_EQ(back["single"].get<float>(), single);
    EXPECT_EQ(back["third"].get<double>(), 1.0 / 3.0);
    // The single-precision value is written as the exact value it holds, not as its 7-digit text.
    EXPECT_EQ(j.dump(), "{\"single\":2.4306910037994385,\"third\":0.3333333333333333}");
}

TEST(Report, WriteFailsWithTheFileName) {
    const std::string bad = (fs::temp_directory_path() / "no-such-folder-report" / "x.json").string();
    try {
        writeJsonFile(bad, Json::object());
        FAIL() << "an unwritable report must be an error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileError);
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
    }
}

}  // namespace
}  // namespace imaging
