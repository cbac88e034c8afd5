// Key derivation for AES members against OpenSSL's own PBKDF2; the cipher
// and authentication code are checked against 7z in the kelpzip tests.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "aes_crypto.h"

namespace {

TEST(AesCrypto, KeyDerivationMatchesOpenSsl) {
    const std::vector<uint8_t> salt = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    // Short, block-sized and longer-than-a-block passwords (the last is
    // hashed first), and outputs that end inside a digest.
    for (const std::string& password :
         {std::string("pw"), std::string(64, 'k'), std::string(81, 'L')}) {
        for (size_t length : {size_t{34}, size_t{66}}) {
            std::vector<uint8_t> expected(length), actual(length);
            ASSERT_EQ(PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                                        salt.data(), static_cast<int>(salt.size()), 1000,
                                        EVP_sha1(), static_cast<int>(length), expected.data()),
                      1);
            ASSERT_TRUE(kelp::zip::Pbkdf2Sha1(password, salt, 1000, actual));
            EXPECT_EQ(actual, expected) << password.size() << " " << length;
        }
    }
}

}  // namespace
