// MD5 digests: known vectors, and data fed in awkward pieces to one reused
// object giving the digest of the whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/core/md5.h"
#include "tests/engine/test_helpers.h"

namespace {

TEST(Md5, KnownVectors)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [strInput, strDigest] : vectors) {
        CMd5 md5;
        ASSERT_TRUE(md5.IsValid());
        md5.Update(strInput.data(), strInput.size());
        EXPECT_EQ(DigestText(md5.Final()), strDigest) << strInput;
    }
}

TEST(Md5, PiecesFedToOneReusedObjectGiveTheDigestOfTheWhole)
{
    const std::vector<uint8_t> data = Pattern(3 * 0x100000 + 17, 1);
    const std::string strWhole = Md5Of(data);
    CMd5 md5;
    for (const std::vector<size_t>& pieces : std::vector<std::vector<size_t>>{{1}, {3, 0, 7, 63}, {65, 55, 56, 57}, {4097}}) {
        md5.Update("a half-done digest is dropped", 29);
        md5.Init();
        for (size_t i = 0, nPos = 0; nPos < data.size(); ++i) {
            const size_t n = std::min(pieces[i % pieces.size()], data.size() - nPos);
            md5.Update(data.data() + nPos, n);
            nPos += n;
        }
        EXPECT_EQ(DigestText(md5.Final()), strWhole) << "first piece " << pieces.front();
    }
}

}  // namespace
