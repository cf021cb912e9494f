// MD5 and SHA-256 digests: known answers, and data fed in awkward pieces
// to one reused object giving the digest of the whole. (Built for Windows
// too: the CNG adapter is checked under Wine. Digests of real data against
// md5sum's and sha256sum's: tests/e2e.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/core/md5.h"
#include "tests/engine/test_helpers.h"

namespace {

TEST(Md5, TheDigestOfNothing)
{
    CMd5 md5;
    ASSERT_TRUE(md5.IsValid());
    md5.Update("", 0);
    EXPECT_EQ(DigestText(md5.Final()), "d41d8cd98f00b204e9800998ecf8427e");
}

// FIPS 180-4's examples; one million 'a' goes in 1000 pieces.
TEST(Sha256, KnownAnswers)
{
    const struct {
        std::string strPiece;
        size_t nPieces;
        const char* pszDigest;
    } vectors[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000, 'a'), 1000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    CDigest sha256(EDigestKind::Sha256);
    for (const auto& v : vectors) {
        for (size_t i = 0; i < v.nPieces; ++i) sha256.Update(v.strPiece.data(), v.strPiece.size());
        const T_DIGEST_VALUE digest = sha256.Final();  // and the next one starts
        EXPECT_TRUE(sha256.IsValid());
        EXPECT_EQ(digest.eKind, EDigestKind::Sha256);
        EXPECT_EQ(DigestText(digest), v.pszDigest) << v.strPiece.substr(0, 3);
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
