// The payload reader on signed program files: the trailer lies directly before
// the certificate table (after the zero bytes that align the table), and
// nowhere else.
#include <gtest/gtest.h>

#include "payload/archive.h"
#include "tests/support/files.h"
#include "tests/support/signed_image.h"

namespace kg {
namespace {

using test::PackedImage;
using test::Pattern;
using test::Signed;

TEST(SignedPayloadTest, TrailerIsFoundBeforeTheCertificateTableOnly) {
    const std::string image = test::ImageWithDirectories(0x400);
    // 0x400 + 1 + the 31-byte trailer ends on an 8-byte boundary; 4 bytes of
    // data need 5 zero bytes before the table.
    const std::string aligned = PackedImage(image, {{"a.txt", "1"}});
    const std::string padded = PackedImage(image, {{"a.txt", "1234"}});
    const std::string cut = padded.substr(0, padded.size() - 1);
    struct Case {
        const char* what;
        std::string file;
        int result;
        const char* content;  // of a.txt when the result is PAYLOAD_OK
    };
    const Case cases[] = {
        {"signed right behind the trailer", Signed(aligned), PAYLOAD_OK, "1"},
        {"signed after 5 bytes of padding", Signed(padded), PAYLOAD_OK, "1234"},
        {"signed with a large table", Signed(padded, 5000), PAYLOAD_OK, "1234"},
        {"signed program without payload, its image ending in zero bytes", Signed(image), PAYLOAD_NO_MAGIC, ""},
        {"signed program whose payload lost its end", Signed(cut), PAYLOAD_DAMAGED, ""},
        {"a byte behind the signature", Signed(padded) + "x", PAYLOAD_DAMAGED, ""},
        {"a payload appended behind the signature", PackedImage(Signed(image), {{"a.txt", "1"}}), PAYLOAD_DAMAGED, ""},
        {"a table reaching past the end", Signed(padded).substr(0, Signed(padded).size() - 1), PAYLOAD_DAMAGED, ""},
        {"a table beyond the end", test::WithSecurityEntry(padded, 0x10000, 8), PAYLOAD_DAMAGED, ""},
        {"a non-zero byte between trailer and table", Signed(padded + "x"), PAYLOAD_DAMAGED, ""},
        {"8 zero bytes between trailer and table", Signed(aligned + std::string(8, '\0')), PAYLOAD_DAMAGED, ""},
        {"unsigned, as packed", padded, PAYLOAD_OK, "1234"},
    };
    for (const Case& c : cases) {
        const test::TempDir work;
        const test::TempDir out;
        const std::string program = work.Str("program.exe");
        test::WriteBytes(program, c.file);
        PayloadArchive archive;
        CFileException ignored;
        EXPECT_EQ(c.result, archive.ExtractFile(program, out.Str(), ignored)) << c.what;
        const std::vector<std::string> expected =
            c.result == PAYLOAD_OK ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{};
        EXPECT_EQ(expected, test::ListFolder(out.Path())) << c.what;
        if (c.result == PAYLOAD_OK) {
            EXPECT_EQ(c.content, test::ReadBytes(out.Str("a.txt"))) << c.what;
        }
    }
}

}  // namespace
}  // namespace kg
