// AES-encrypted archives: 7z's AE-2 archives of every key strength, AE-1
// archives built here, damaged and wrongly unlocked members. What kelpzip
// writes is a row of the writer table.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <set>

#include "aes_crypto.h"
#include "archive_reader.h"
#include "crc32.h"
#include "record_writer.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

const char* const kPassword = "Kelp pass 1";

class Aes : public fixtures::FolderTest {
  protected:
    Aes() {
        // Compressible text (deflated), random bytes (stored), an empty file
        // and one shorter than the encryption's own additions.
        std::string text;
        for (int i = 0; i < 30000; ++i) text += "line " + std::to_string(i) + "\n";
        fixtures::WriteFile(dir / "src/text.txt", text);
        fixtures::WriteFile(dir / "src/empty.txt", "");
        fixtures::WriteFile(dir / "src/sub/tiny.txt", "hi");
        RunShell("head -c 150000 /dev/urandom > " + Quote(dir / "src/random.bin"));
    }

    // Every file below src/ and below `out` holds the same bytes.
    void ExpectSameFiles(const std::string& out) {
        EXPECT_TRUE(fixtures::Succeeds("diff -r " + Quote(dir / "src") + " " + Quote(dir / out)));
    }

    // Where a member's encrypted data starts in the archive.
    kelp::zip::MemberData Locate(const std::string& archive, const std::string& name) {
        kelp::zip::ArchiveReader reader;
        std::string error;
        kelp::zip::MemberData data;
        EXPECT_TRUE(reader.Open(dir / archive, error)) << error;
        for (const auto& e : reader.entries())
            if (e.name == name) {
                EXPECT_TRUE(reader.Locate(e, data, error)) << error;
            }
        return data;
    }

    void FlipByte(const std::string& archive, uint64_t at) {
        std::string bytes = fixtures::ReadFile(dir / archive);
        ASSERT_LT(at, bytes.size());
        bytes[at] ^= 0x55;
        fixtures::WriteFile(dir / archive, bytes);
    }
};

TEST_F(Aes, SevenZipArchivesOfEveryStrengthTestAndExtractExactly) {
    for (const char* strength : {"AES128", "AES192", "AES256"}) {
        SCOPED_TRACE(strength);
        const std::string archive = std::string(strength) + ".zip";
        Must("cd src && 7z a -tzip -mem=" + std::string(strength) + " -p" + Quote(kPassword) +
             " ../" + archive + " . >/dev/null");
        // The listing names the encryption for every file, not a method number.
        auto list = Kelp("list " + archive);
        EXPECT_EQ(list.exitCode, 0) << list.err;
        EXPECT_NE(list.out.find("  AES  "), std::string::npos) << list.out;
        EXPECT_EQ(list.out.find("M99"), std::string::npos) << list.out;

        auto test = Kelp("test " + archive + " -p " + Quote(kPassword));
        EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
        auto extract =
            Kelp("extract " + archive + " -d out_" + archive + " -p " + Quote(kPassword));
        ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
        ExpectSameFiles("out_" + archive);
    }
}

TEST_F(Aes, WrongPasswordFailsAndWritesNothing) {
    Must("cd src && 7z a -tzip -mem=AES256 -p" + Quote(kPassword) + " ../a.zip . >/dev/null");
    auto test = Kelp("test a.zip -p wrong");
    EXPECT_NE(test.exitCode, 0);
    EXPECT_NE(test.out.find("no valid password"), std::string::npos) << test.out;
    auto extract = Kelp("extract a.zip -d out -p wrong");
    EXPECT_NE(extract.exitCode, 0);
    EXPECT_EQ(fixtures::FilesBelow(dir / "out"), std::set<std::string>{});
}

// An AE-1 archive written here: AE-1 stores the CRC and a reader checks it
// as well as the authentication code.
std::string BuildAe1(const std::vector<std::pair<std::string, std::string>>& members,
                     uint16_t version, bool wrongCrc) {
    using namespace kelp::zip;
    fixtures::ArchiveBuilder archive;
    for (const auto& [name, plain] : members) {
        // Deflated raw with zlib.
        std::vector<uint8_t> packed(compressBound(plain.size()) + 64);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
        z.avail_in = static_cast<uInt>(plain.size());
        z.next_out = packed.data();
        z.avail_out = static_cast<uInt>(packed.size());
        deflate(&z, Z_FINISH);
        packed.resize(z.total_out);
        deflateEnd(&z);

        const uint8_t strength = 1;  // 128-bit keys
        std::vector<uint8_t> salt(AesSaltLength(strength));
        SecureRandomBytes(salt);
        auto keys = AesCrypto::Derive(kPassword, salt, strength);
        keys->Encrypt(packed.data(), packed.size());
        const auto verifier = keys->verifier();
        const auto mac = keys->Mac();
        std::vector<uint8_t> data = salt, extra;
        data.insert(data.end(), verifier.begin(), verifier.end());
        data.insert(data.end(), packed.begin(), packed.end());
        data.insert(data.end(), mac->begin(), mac->end());
        AppendAesExtra(extra, {version, strength, kMethodDeflated});
        archive.Add({.name = name,
                     .data = std::string(data.begin(), data.end()),
                     .flags = kFlagEncrypted,
                     .method = kMethodAes,
                     .extra = std::string(extra.begin(), extra.end()),
                     .crc = Crc32(0, plain.data(), plain.size()) ^ (wrongCrc ? 1u : 0u),
                     .unpackedSize = plain.size()});
    }
    return archive.Build();
}

TEST_F(Aes, Ae1ChecksTheCrcAndAe2TrustsTheCodeAlone) {
    const std::vector<std::pair<std::string, std::string>> members = {
        {"text.txt", fixtures::ReadFile(dir / "src/text.txt")},
        {"random.bin", fixtures::ReadFile(dir / "src/random.bin")}};
    fixtures::WriteFile(dir / "ae1.zip", BuildAe1(members, 1, false));
    Must("7z t -p" + Quote(kPassword) + " ae1.zip >/dev/null");
    auto extract = Kelp("extract ae1.zip -d out -p " + Quote(kPassword));
    ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
    EXPECT_EQ(fixtures::ReadFile(dir / "out/text.txt"), members[0].second);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/random.bin"), members[1].second);

    // A CRC that does not match the data: an error with AE-1, while AE-2
    // stores no CRC to check and the code vouches for the data.
    fixtures::WriteFile(dir / "ae1_bad.zip", BuildAe1(members, 1, true));
    auto bad = Kelp("test ae1_bad.zip -p " + Quote(kPassword));
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.out.find("CRC error"), std::string::npos) << bad.out;
    fixtures::WriteFile(dir / "ae2_any.zip", BuildAe1(members, 2, true));
    auto ae2 = Kelp("test ae2_any.zip -p " + Quote(kPassword));
    EXPECT_EQ(ae2.exitCode, 0) << ae2.out;
}

}  // namespace

namespace {

// One byte of an AES member changed: where, and the reason it must fail for.
struct Tamper {
    const char* what;
    uint16_t version;
    bool wrongCrc;       // the CRC field does not match the data either
    const char* part;    // "salt", "verifier" or "code"
    const char* reason;  // in the message (one of several, split by '|')
};

const Tamper kTampers[] = {
    // The code is checked for AE-1 (which has a CRC) as for AE-2, and
    // whether or not the CRC matched.
    {"ae1_code", 1, false, "code", "authentication code does not match"},
    {"ae1_code_and_crc", 1, true, "code", "authentication code does not match"},
    {"ae2_code", 2, false, "code", "authentication code does not match"},
    {"ae2_code_and_crc", 2, true, "code", "authentication code does not match"},
    // Another salt gives other keys: the verifier fails, or (one time in
    // 65 536) the code; never the data further on.
    {"ae1_salt", 1, false, "salt", "no valid password|authentication code does not match"},
    {"ae2_salt", 2, false, "salt", "no valid password|authentication code does not match"},
    {"ae1_verifier", 1, false, "verifier", "no valid password"},
    {"ae2_verifier", 2, false, "verifier", "no valid password"},
};

void PrintTo(const Tamper& t, std::ostream* os) {
    *os << t.what;
}

class AesTamper : public Aes, public ::testing::WithParamInterface<Tamper> {};

TEST_P(AesTamper, FailsAndWritesNothingWhileTheOtherMemberComesOut) {
    const Tamper& t = GetParam();
    const std::vector<std::pair<std::string, std::string>> members = {
        {"text.txt", fixtures::ReadFile(dir / "src/text.txt")}, {"tiny.txt", "hi"}};
    fixtures::WriteFile(dir / "a.zip", BuildAe1(members, t.version, t.wrongCrc));
    const auto data = Locate("a.zip", "text.txt");
    const uint64_t salt = kelp::zip::AesSaltLength(1);  // BuildAe1 uses 128-bit keys
    const std::string part = t.part;
    FlipByte("a.zip", data.dataOffset + (part == "salt"       ? 3
                                         : part == "verifier" ? salt + 1
                                                              : data.packedSize - 4));
    for (const char* verb : {"test a.zip", "extract a.zip -d out"}) {
        auto r = Kelp(std::string(verb) + " -p " + Quote(kPassword));
        EXPECT_EQ(r.exitCode, 1) << verb << "\n" << r.out << r.err;
        const size_t at = r.out.find("Error found in text.txt: ");
        ASSERT_NE(at, std::string::npos) << verb << "\n" << r.out;
        const std::string reasons = t.reason, line = r.out.substr(at, r.out.find('\n', at) - at);
        const std::string first = reasons.substr(0, reasons.find('|'));
        const std::string second = reasons.substr(std::min(reasons.size(), first.size() + 1));
        EXPECT_TRUE(line.find(first) != std::string::npos ||
                    (!second.empty() && line.find(second) != std::string::npos))
            << verb << "\n"
            << r.out;
    }
    EXPECT_FALSE(fs::exists(dir / "out/text.txt"));
    // The untouched member comes out (unless its AE-1 CRC is wrong too).
    if (!(t.wrongCrc && t.version == 1)) {
        EXPECT_EQ(fixtures::ReadFile(dir / "out/tiny.txt"), "hi");
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, AesTamper, ::testing::ValuesIn(kTampers),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
