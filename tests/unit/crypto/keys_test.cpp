// Key texts, the domain key and the rules for setting, resetting and clearing keys.
#include "cipher_util.h"

using namespace cipher_test;

namespace {

const std::string kHex64 = "00112233445566778899aabbccddeeff0123456789abcdeffedcba9876543210";
const Bytes kPlain = sample(256, 7);

} // namespace

TEST(KeySyntax, LengthAndHexadecimalFormCodes)
{
    struct Case {
        std::string text;
        int32 rc;
    };
    const Case cases[] = {
        {"seven77", KEY_BAD_LENGTH},
        {"eight888", CRYPT_OK},
        {std::string(66, 'k'), CRYPT_OK},
        {std::string(67, 'k'), KEY_BAD_LENGTH},
        {"'" + std::string(66, 'k') + "'", CRYPT_OK}, // the quotes do not count
        {"'short'", KEY_BAD_LENGTH},
        {"0x" + kHex64.substr(0, 63), KEY_BAD_HEX},
        {"0X" + kHex64, CRYPT_OK},
        {"0x" + kHex64 + "0", KEY_BAD_LENGTH}, // 67 characters: the length check comes first
        {kHex64.substr(0, 62), KEY_BAD_HEX},   // letters make it hexadecimal
        {std::string(40, '7'), CRYPT_OK},      // decimal digits only: a pass phrase
        {"0xnothexatall", CRYPT_OK},           // prefix but not hexadecimal: a pass phrase
        {"   ", KEY_BAD_LENGTH},
    };
    for (const Case& c : cases) {
        FileCipher fc;
        EXPECT_EQ(fc.setUserKey(c.text.c_str()), c.rc) << c.text;
        EXPECT_EQ(fc.keySet(), c.rc == CRYPT_OK) << c.text;
    }
}

TEST(KeySyntax, EquivalentSpellingsGiveTheSameKey)
{
    const Bytes ref = encryptedWith("abcdefgh", kPlain);
    for (const char* t : {"'abcdefgh'", "  \"abcdefgh\"", "abcdefgh\nignored", "\t'abcdefgh' "})
        EXPECT_EQ(encryptedWith(t, kPlain), ref) << t;
    EXPECT_NE(encryptedWith("abcdefgi", kPlain), ref);
    EXPECT_NE(encryptedWith("'abcdefgh", kPlain), ref); // unclosed quote is part of the key

    // Prefix optional when letters show the hexadecimal form; case does not matter.
    std::string upper = kHex64;
    for (char& ch : upper)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    const Bytes hex = encryptedWith(("0x" + kHex64).c_str(), kPlain);
    EXPECT_EQ(encryptedWith(kHex64.c_str(), kPlain), hex);
    EXPECT_EQ(encryptedWith(("0X" + upper).c_str(), kPlain), hex);

    // 64 decimal digits are a pass phrase, not the binary key with the same digits.
    const std::string digits(64, '5');
    EXPECT_NE(encryptedWith(digits.c_str(), kPlain),
              encryptedWith(("0x" + digits).c_str(), kPlain));
}

TEST(KeySyntax, HexToBinStoresLittleEndianWords)
{
    charu out[8] = {};
    EXPECT_EQ(HEXtoBIN("0x0123456789abcdef", out, 4), 2);
    const charu w4[8] = {0x67, 0x45, 0x23, 0x01, 0xef, 0xcd, 0xab, 0x89};
    EXPECT_EQ(0, std::memcmp(out, w4, 8));
    EXPECT_EQ(HEXtoBIN("0123456789ABCDEF", out, 2), 4);
    const charu w2[8] = {0x23, 0x01, 0x67, 0x45, 0xab, 0x89, 0xef, 0xcd};
    EXPECT_EQ(0, std::memcmp(out, w2, 8));
    EXPECT_EQ(HEXtoBIN("0X0123456789abcdef", out, 1), 8);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[7], 0xef);

    EXPECT_EQ(HEXtoBIN("0x0123456", out, 4), 0);          // digits not a multiple of 8
    EXPECT_EQ(HEXtoBIN("0123456g", out, 4), 0);           // not a digit
    EXPECT_EQ(HEXtoBIN("0123456789abcdef01", out, 1), 0); // 9 words do not fit in 8 bytes
    EXPECT_EQ(HEXtoBIN("01234567", out, 3), 0);
}

TEST(KeySyntax, AesKeySizes)
{
    FileCipher fc;
    const charu key[32] = {};
    EXPECT_EQ(fc.aes_set_key(key, 128), 0);
    EXPECT_EQ(fc.aes_set_key(key, 192), 0);
    EXPECT_EQ(fc.aes_set_key(key, 256), 0);
    EXPECT_EQ(fc.aes_set_key(key, 100), -1);
}

TEST(DomainKey, MustComeFirstAndOnlyOnce)
{
    FileCipher fc;
    EXPECT_EQ(fc.setDomainKey(nullptr), KEY_NO_TEXT);
    EXPECT_EQ(fc.setDomainKey(""), KEY_NO_TEXT);
    EXPECT_EQ(fc.setDomainKey("''"), KEY_NO_TEXT);
    EXPECT_EQ(fc.setDomainKey(("0x" + kHex64.substr(1)).c_str()), KEY_BAD_HEX);
    EXPECT_FALSE(fc.domainKeySet());
    EXPECT_EQ(fc.setDomainKey("'the domain'"), CRYPT_OK);
    EXPECT_EQ(fc.setDomainKey("'another one'"), KEY_ALREADY_SET);
    EXPECT_EQ(fc.setUserKey("user key text"), CRYPT_OK);

    FileCipher late;
    EXPECT_EQ(late.setUserKey("user key text"), CRYPT_OK);
    EXPECT_EQ(late.setDomainKey("'the domain'"), KEY_ALREADY_SET);
    // Switching the key off keeps the domain key; clearing forgets both.
    fc.keyOff();
    EXPECT_FALSE(fc.keySet());
    EXPECT_EQ(fc.setDomainKey("'the domain'"), KEY_ALREADY_SET);
    EXPECT_EQ(fc.setUserKey(nullptr), KEY_NO_TEXT);
    fc.clearKeys();
    EXPECT_FALSE(fc.domainKeySet());
    EXPECT_EQ(fc.setDomainKey("'the domain'"), CRYPT_OK);
}

TEST(DomainKey, CombinesWithTheUserKeyByOr)
{
    const Bytes plain = kPlain;
    EXPECT_NE(encryptedWith("same pass phrase", plain),
              encryptedWith("same pass phrase", plain, "domain phrase"));

    // Hexadecimal keys make the OR visible: user | domain equals the combined key alone.
    const std::string user = "0x" + std::string(32, '0') + std::string(32, 'f');
    const std::string domain = "0x" + std::string(16, 'a') + std::string(48, '5');
    std::string both = "0x";
    for (std::size_t i = 2; i < user.size(); ++i) {
        const int v =
            std::stoi(user.substr(i, 1), nullptr, 16) | std::stoi(domain.substr(i, 1), nullptr, 16);
        both += "0123456789abcdef"[v];
    }
    EXPECT_EQ(encryptedWith(user.c_str(), plain, domain.c_str()),
              encryptedWith(both.c_str(), plain));
}

TEST(UserKey, NoTextKeepsTheRunningState)
{
    const Bytes a = sample(300, 1), b = sample(300, 2);
    FileCipher ref;
    ASSERT_EQ(ref.setUserKey("running key"), CRYPT_OK);
    Bytes ra = a, rb = b;
    ref.cryptBuffer(ra.data(), ra.size(), CRYPT_ENCRYPT);
    ref.cryptBuffer(rb.data(), rb.size(), CRYPT_ENCRYPT);

    FileCipher fc;
    EXPECT_EQ(fc.setUserKey(nullptr), KEY_NO_TEXT);
    ASSERT_EQ(fc.setUserKey("running key"), CRYPT_OK);
    Bytes xa = a, xb = b;
    fc.cryptBuffer(xa.data(), xa.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(fc.setUserKey(nullptr), CRYPT_OK);
    EXPECT_EQ(fc.setUserKey(""), CRYPT_OK);
    fc.cryptBuffer(xb.data(), xb.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(xa, ra);
    EXPECT_EQ(xb, rb);
}

TEST(UserKey, SameTextRestartsFromTheInitialState)
{
    FileCipher fc;
    ASSERT_EQ(fc.setUserKey("restart me"), CRYPT_OK);
    const auto iv = fc.chainingValue();
    Bytes first = kPlain;
    fc.cryptBuffer(first.data(), first.size(), CRYPT_ENCRYPT);
    EXPECT_NE(fc.chainingValue(), iv);
    ASSERT_EQ(fc.setUserKey("'restart me'"), CRYPT_OK);
    EXPECT_EQ(fc.chainingValue(), iv);
    Bytes second = kPlain;
    fc.cryptBuffer(second.data(), second.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(first, second);
}

TEST(UserKey, FailedSettingLeavesKeyTextAndStateInForce)
{
    const Bytes a = sample(500, 3), b = sample(700, 4);
    FileCipher ref;
    ASSERT_EQ(ref.setUserKey("stable key"), CRYPT_OK);
    Bytes ra = a, rb = b;
    ref.cryptBuffer(ra.data(), ra.size(), CRYPT_ENCRYPT);
    ref.cryptBuffer(rb.data(), rb.size(), CRYPT_ENCRYPT);

    FileCipher fc;
    ASSERT_EQ(fc.setUserKey("stable key"), CRYPT_OK);
    Bytes xa = a, xb = b;
    fc.cryptBuffer(xa.data(), xa.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(fc.setUserKey("short"), KEY_BAD_LENGTH);
    EXPECT_EQ(fc.setUserKey(("0x" + kHex64.substr(2)).c_str()), KEY_BAD_HEX);
    EXPECT_TRUE(fc.keySet());
    EXPECT_EQ(fc.keyText(), "'stable key'");
    fc.cryptBuffer(xb.data(), xb.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(xa, ra);
    EXPECT_EQ(xb, rb);
}

TEST(UserKey, KeyTextReadBackParsesToTheSameKey)
{
    for (const char* key :
         {"plain words", "'  blanks around  '", "it's got a quote", "\"both ' and \" quotes\"",
          "0x00112233445566778899aabbccddeeff0123456789abcdeffedcba9876543210"}) {
        FileCipher fc;
        ASSERT_EQ(fc.setUserKey(key), CRYPT_OK) << key;
        const std::string back = fc.keyText();
        EXPECT_EQ(encryptedWith(back.c_str(), kPlain), encryptedWith(key, kPlain)) << back;
    }
    FileCipher none;
    EXPECT_EQ(none.keyText(), "");
}

TEST(UserKey, ClearingForgetsTheKey)
{
    FileCipher fc;
    ASSERT_EQ(fc.setUserKey("to be cleared"), CRYPT_OK);
    fc.clearKeys();
    EXPECT_FALSE(fc.keySet());
    EXPECT_EQ(fc.keyText(), "");
    Bytes b = kPlain;
    EXPECT_EQ(fc.cryptBuffer(b.data(), b.size(), CRYPT_ENCRYPT), CRYPT_NO_KEY);
    EXPECT_EQ(b, kPlain);
    EXPECT_EQ(fc.chainingValue(), (std::array<charu, 16>{}));
}

TEST(UserKey, PassPhraseKeyMatchesOpensslPbkdf2)
{
    if (!haveOpenssl())
        GTEST_SKIP() << "openssl command missing";
    const std::string phrase = "a pass phrase";
    std::string kdf =
        runCommand("/usr/bin/openssl kdf -keylen 32 -kdfopt digest:SHA1 -kdfopt 'pass:" + phrase +
                   "' -kdfopt hexsalt:" + toHex(USER_KEY_SALT.data(), 16) +
                   " -kdfopt iter:" + std::to_string(PBKDF2_ITERATIONS) + " PBKDF2");
    std::string keyHex;
    for (char c : kdf)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            keyHex += char(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_EQ(keyHex.size(), 64u) << kdf;

    FileCipher fc;
    ASSERT_EQ(fc.setUserKey(phrase.c_str()), CRYPT_OK);
    const auto iv = fc.chainingValue();
    const Bytes plain = sample(96, 9);
    Bytes ours = plain;
    fc.cryptBuffer(ours.data(), ours.size(), CRYPT_ENCRYPT);
    EXPECT_EQ(ours, opensslCbc(plain, keyHex, toHex(iv.data(), 16)));
}
