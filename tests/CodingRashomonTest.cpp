// Differential check against an independent pair of files: the ISO-2022-JP
// and Shift_JIS versions of the same Japanese text shipped with Go's text
// encoding package (Debian golang-golang-x-text-dev).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "coding/Jis.h"

namespace {

const char* const kDir = "/usr/share/gocode/src/golang.org/x/text/encoding/testdata/";

bool ReadFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

TEST(CodingRashomonTest, IsoToShiftJisMatchesReferenceByteForByte)
{
    std::string jis, sjis;
    if (!ReadFile(std::string(kDir) + "rashomon-iso-2022-jp.txt", jis) ||
        !ReadFile(std::string(kDir) + "rashomon-shift-jis.txt", sjis)) {
        GTEST_SKIP() << "reference files missing under " << kDir
                     << " (install the Debian package golang-golang-x-text-dev)";
    }
    ASSERT_FALSE(jis.empty());
    std::vector<char> out(jis.size() + 1);
    int length = static_cast<int>(jis.size());
    CJisConverter().Convert(jis.data(), static_cast<int>(jis.size()), out.data(), length);
    const std::string got(out.data(), static_cast<size_t>(length));
    ASSERT_EQ(got.size(), sjis.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], sjis[i]) << "first difference at byte " << i;
}
