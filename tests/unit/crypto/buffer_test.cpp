// CRYPT_BUFFER: the AES part against an independent implementation, the decorrelation as a
// pure permutation, chaining across buffers, and a frozen known answer for the format.
#include "cipher_util.h"

#include <algorithm>

#include <openssl/evp.h>

using namespace cipher_test;

namespace {

// Words of the hexadecimal key as written; the key bytes hold each word little-endian.
const std::string kKeyWords = "0f1e2d3c4b5a69788796a5b4c3d2e1f00123456789abcdef1032547698badcfe";

std::string keyBytesHex()
{
    std::string s;
    for (std::size_t w = 0; w < 64; w += 8)
        for (int b = 3; b >= 0; --b)
            s += kKeyWords.substr(w + std::size_t(b) * 2, 2);
    return s;
}

struct Keyed {
    FileCipher fc;
    std::string ivHex;
    Keyed()
    {
        EXPECT_EQ(fc.setUserKey(("0x" + kKeyWords).c_str()), CRYPT_OK);
        const auto iv = fc.chainingValue();
        ivHex = toHex(iv.data(), 16);
    }
};

std::string sha256Hex(const Bytes& b)
{
    unsigned char md[32];
    unsigned int n = 0;
    EVP_Digest(b.data(), b.size(), md, &n, EVP_sha256(), nullptr);
    return toHex(md, n);
}

} // namespace

TEST(CryptBuffer, NoKeyAndShortBuffers)
{
    FileCipher none;
    Bytes b = sample(64);
    EXPECT_EQ(none.cryptBuffer(b.data(), b.size(), CRYPT_ENCRYPT), CRYPT_NO_KEY);
    EXPECT_EQ(b, sample(64));

    Keyed k;
    const Bytes ten = sample(10);
    Bytes t = ten;
    EXPECT_EQ(k.fc.cryptBuffer(t.data(), t.size(), CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(t, ten);
    EXPECT_EQ(toHex(k.fc.chainingValue().data(), 16), k.ivHex); // nothing consumed
}

TEST(CryptBuffer, AesPartMatchesOpensslBelowDecorrelation)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl command missing";
    // 100 bytes: six blocks encrypted, the last four bytes stay plain. 128 bytes: all blocks
    // and no decorrelation (and the walk must not hang on that length).
    for (std::size_t len : {16u, 100u, 127u, 128u}) {
        Keyed k;
        const Bytes plain = sample(len, unsigned(len));
        Bytes ours = plain;
        ASSERT_EQ(k.fc.cryptBuffer(ours.data(), len, CRYPT_ENCRYPT), CRYPT_OK);
        const std::size_t whole = len / 16 * 16;
        const Bytes ref =
            opensslCbc(Bytes(plain.begin(), plain.begin() + long(whole)), keyBytesHex(), k.ivHex);
        ASSERT_EQ(ref.size(), whole);
        EXPECT_TRUE(std::equal(ref.begin(), ref.end(), ours.begin())) << len;
        EXPECT_TRUE(std::equal(ours.begin() + long(whole), ours.end(), plain.begin() + long(whole)))
            << len;
    }
}

TEST(CryptBuffer, DecorrelationOnlyPermutesTheAesOutput)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl command missing";
    for (std::size_t len : {129u, 1000u, 20000u}) {
        Keyed k;
        const Bytes plain = sample(len, 5);
        Bytes ours = plain;
        ASSERT_EQ(k.fc.cryptBuffer(ours.data(), len, CRYPT_ENCRYPT), CRYPT_OK);
        const std::size_t whole = len / 16 * 16;
        Bytes ref =
            opensslCbc(Bytes(plain.begin(), plain.begin() + long(whole)), keyBytesHex(), k.ivHex);
        ref.insert(ref.end(), plain.begin() + long(whole), plain.end());
        if (len >= 1000) {
            EXPECT_NE(ours, ref) << len;
        }
        std::sort(ours.begin(), ours.end());
        std::sort(ref.begin(), ref.end());
        EXPECT_EQ(ours, ref) << len;
    }
}

TEST(CryptBuffer, ChainingCarriesAcrossBuffers)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl command missing";
    Keyed k;
    k.fc.setDecorrelation(false);
    const Bytes plain = sample(4096, 11);
    Bytes ours = plain;
    k.fc.cryptBuffer(ours.data(), 1024, CRYPT_ENCRYPT);
    k.fc.cryptBuffer(ours.data() + 1024, 3072, CRYPT_ENCRYPT);
    EXPECT_EQ(ours, opensslCbc(plain, keyBytesHex(), k.ivHex));
}

TEST(CryptBuffer, RoundTripsAcrossBufferSequences)
{
    // Decryption must consume the walk and the chaining value exactly as encryption did.
    const std::vector<std::size_t> lens = {0,   15,   16,    17,    128,   129,    130,
                                           255, 4097, 16383, 16384, 40000, 262144, 77};
    for (bool decorrelate : {true, false}) {
        FileCipher enc, dec;
        ASSERT_EQ(enc.setUserKey("sequence key"), CRYPT_OK);
        ASSERT_EQ(dec.setUserKey("sequence key"), CRYPT_OK);
        enc.setDecorrelation(decorrelate);
        dec.setDecorrelation(decorrelate);
        unsigned seed = 1;
        for (std::size_t len : lens) {
            const Bytes plain = sample(len, seed++);
            Bytes b = plain;
            ASSERT_EQ(enc.cryptBuffer(b.data(), len, CRYPT_ENCRYPT), CRYPT_OK);
            if (len >= 16) {
                EXPECT_NE(b, plain) << len;
            }
            ASSERT_EQ(dec.cryptBuffer(b.data(), len, CRYPT_DECRYPT), CRYPT_OK);
            EXPECT_EQ(b, plain) << len << (decorrelate ? " decorrelated" : "");
        }
    }
}

TEST(CryptBuffer, ProcessWideStateIsSeparateFromOwnInstances)
{
    CLEAR_KEYS();
    ASSERT_EQ(SETUSERKEY("the user's key"), CRYPT_OK);
    const Bytes plain = sample(5000, 2);
    Bytes viaGlobal = plain;
    Bytes own = plain;
    FileCipher scramble;
    ASSERT_EQ(scramble.setUserKey("another key"), CRYPT_OK);
    scramble.cryptBuffer(own.data(), own.size(), CRYPT_ENCRYPT);
    ASSERT_EQ(CRYPT_BUFFER(viaGlobal.data(), viaGlobal.size(), CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(viaGlobal, encryptedWith("the user's key", plain));
    EXPECT_EQ(fileCipher.keyText(), "'the user's key'");
    CLEAR_KEYS();
    EXPECT_EQ(CRYPT_BUFFER(viaGlobal.data(), viaGlobal.size(), CRYPT_ENCRYPT), CRYPT_NO_KEY);
}

// Files already written depend on every detail of the transform and on the fixed salts and
// constant: these answers must never change.
TEST(CryptBuffer, KnownAnswersStayFixed)
{
    {
        FileCipher fc;
        ASSERT_EQ(fc.setUserKey("known answer phrase"), CRYPT_OK);
        Bytes b = sample(1000, 42);
        fc.cryptBuffer(b.data(), b.size(), CRYPT_ENCRYPT);
        EXPECT_EQ(sha256Hex(b), "d60f6874169ec91fb52de0ab35aaa670f583e17f70654722d0ea17dab8b73f6e");
    }
    {
        FileCipher fc;
        ASSERT_EQ(fc.setDomainKey("the domain phrase"), CRYPT_OK);
        ASSERT_EQ(fc.setUserKey(("0x" + kKeyWords).c_str()), CRYPT_OK);
        Bytes b = sample(CRYPT_CHUNK + 5000, 43);
        fc.cryptBuffer(b.data(), CRYPT_CHUNK, CRYPT_ENCRYPT);
        fc.cryptBuffer(b.data() + CRYPT_CHUNK, 5000, CRYPT_ENCRYPT);
        EXPECT_EQ(sha256Hex(b), "1907f9fb0db68136f8b9978cecd9d0bcdbcd96e476cddcd083eebe4ee580a4bc");
    }
}
