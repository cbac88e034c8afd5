#include "aes_crypto.h"

// The SHA-1 block functions are marked deprecated in favour of EVP, whose
// context copies cost more than the hashing in PBKDF2's thousands of rounds.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <vector>

namespace kelp::zip {
namespace {

constexpr int kPbkdf2Iterations = 1000;
constexpr size_t kBlock = 16;
// Key stream made at a time: enough blocks to keep the cipher calls few.
constexpr size_t kStreamBlocks = 256;

const EVP_CIPHER* EcbCipher(size_t keyLength) {
    switch (keyLength) {
        case 16:
            return EVP_aes_128_ecb();
        case 24:
            return EVP_aes_192_ecb();
        case 32:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

}  // namespace

bool Pbkdf2Sha1(std::string_view password, std::span<const uint8_t> salt, int iterations,
                std::span<uint8_t> out) {
    // HMAC-SHA1's inner and outer states after the padded key, made once.
    uint8_t key[SHA_CBLOCK] = {};
    if (password.size() > SHA_CBLOCK)
        SHA1(reinterpret_cast<const uint8_t*>(password.data()), password.size(), key);
    else
        std::copy(password.begin(), password.end(), key);
    uint8_t pad[SHA_CBLOCK];
    SHA_CTX inner, outer;
    for (size_t i = 0; i < SHA_CBLOCK; ++i) pad[i] = key[i] ^ 0x36;
    bool ok = SHA1_Init(&inner) == 1 && SHA1_Update(&inner, pad, sizeof(pad)) == 1;
    for (size_t i = 0; i < SHA_CBLOCK; ++i) pad[i] = key[i] ^ 0x5C;
    ok = ok && SHA1_Init(&outer) == 1 && SHA1_Update(&outer, pad, sizeof(pad)) == 1;
    // One HMAC of `data` (and `tail`): into u.
    uint8_t u[SHA_DIGEST_LENGTH], t[SHA_DIGEST_LENGTH];
    auto hmac = [&](const uint8_t* data, size_t size, const uint8_t* tail, size_t tailSize) {
        SHA_CTX ctx = inner;
        SHA1_Update(&ctx, data, size);
        if (tailSize) SHA1_Update(&ctx, tail, tailSize);
        SHA1_Final(u, &ctx);
        ctx = outer;
        SHA1_Update(&ctx, u, sizeof(u));
        SHA1_Final(u, &ctx);
    };
    for (uint32_t block = 1; ok && (block - 1) * sizeof(t) < out.size(); ++block) {
        const uint8_t index[4] = {static_cast<uint8_t>(block >> 24),
                                  static_cast<uint8_t>(block >> 16),
                                  static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
        hmac(salt.data(), salt.size(), index, sizeof(index));
        std::copy(u, u + sizeof(u), t);
        for (int round = 1; round < iterations; ++round) {
            hmac(u, sizeof(u), nullptr, 0);
            for (size_t i = 0; i < sizeof(t); ++i) t[i] ^= u[i];
        }
        const size_t at = (block - 1) * sizeof(t);
        const size_t n = std::min(sizeof(t), out.size() - at);
        std::copy(t, t + n, out.begin() + static_cast<std::ptrdiff_t>(at));
    }
    OPENSSL_cleanse(key, sizeof(key));
    OPENSSL_cleanse(pad, sizeof(pad));
    OPENSSL_cleanse(&inner, sizeof(inner));
    OPENSSL_cleanse(&outer, sizeof(outer));
    OPENSSL_cleanse(u, sizeof(u));
    OPENSSL_cleanse(t, sizeof(t));
    return ok;
}

size_t AesKeyLength(uint8_t strength) {
    return strength >= 1 && strength <= 3 ? 8u + 8u * strength : 0;
}

size_t AesSaltLength(uint8_t strength) {
    return AesKeyLength(strength) / 2;
}

bool SecureRandomBytes(std::span<uint8_t> out) {
    return RAND_bytes(out.data(), static_cast<int>(out.size())) == 1;
}

struct AesCrypto::State {
    EVP_CIPHER_CTX* cipher = nullptr;
    EVP_MAC_CTX* mac = nullptr;
    // The counter as the format counts it: a 128-bit little-endian number.
    uint8_t counter[kBlock] = {};
    uint8_t stream[kBlock * kStreamBlocks] = {};
    size_t used = sizeof(stream);  // key stream bytes already spent
    bool failed = false;           // a cipher call failed

    ~State() {
        EVP_CIPHER_CTX_free(cipher);
        EVP_MAC_CTX_free(mac);
    }

    bool Refill() {
        uint8_t blocks[sizeof(stream)];
        for (size_t b = 0; b < kStreamBlocks; ++b) {
            for (size_t i = 0; i < kBlock && ++counter[i] == 0; ++i) {
            }
            std::copy(counter, counter + kBlock, blocks + b * kBlock);
        }
        int n = 0;
        if (EVP_EncryptUpdate(cipher, stream, &n, blocks, sizeof(blocks)) != 1 ||
            n != static_cast<int>(sizeof(stream)))
            return false;
        used = 0;
        return true;
    }
};

AesCrypto::AesCrypto(std::unique_ptr<State> state) : state_(std::move(state)) {}
AesCrypto::AesCrypto(AesCrypto&&) noexcept = default;
AesCrypto& AesCrypto::operator=(AesCrypto&&) noexcept = default;
AesCrypto::~AesCrypto() = default;

std::optional<AesCrypto> AesCrypto::Derive(std::string_view password, std::span<const uint8_t> salt,
                                           uint8_t strength) {
    const size_t keyLength = AesKeyLength(strength);
    if (keyLength == 0 || salt.size() != AesSaltLength(strength)) return std::nullopt;
    // The derived bytes: the AES key, the HMAC key, then the verifier.
    std::vector<uint8_t> keys(2 * keyLength + kAesVerifierSize);
    if (!Pbkdf2Sha1(password, salt, kPbkdf2Iterations, keys)) return std::nullopt;
    auto state = std::make_unique<State>();
    state->cipher = EVP_CIPHER_CTX_new();
    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (hmac) state->mac = EVP_MAC_CTX_new(hmac);
    EVP_MAC_free(hmac);
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_END};
    const bool ok = state->cipher && state->mac &&
                    EVP_EncryptInit_ex(state->cipher, EcbCipher(keyLength), nullptr, keys.data(),
                                       nullptr) == 1 &&
                    EVP_CIPHER_CTX_set_padding(state->cipher, 0) == 1 &&
                    EVP_MAC_init(state->mac, keys.data() + keyLength, keyLength, params) == 1;
    std::optional<AesCrypto> out;
    if (ok) {
        out.emplace(AesCrypto(std::move(state)));
        out->verifier_ = {keys[2 * keyLength], keys[2 * keyLength + 1]};
    }
    OPENSSL_cleanse(keys.data(), keys.size());
    return out;
}

void AesCrypto::Xor(uint8_t* data, size_t size) {
    State& s = *state_;
    for (size_t i = 0; i < size; ++i) {
        // Without key stream no byte may pass in the clear either way:
        // the rest is blanked and the code is withheld.
        if (s.used == sizeof(s.stream) && !s.Refill()) {
            s.failed = true;
            std::fill(data + i, data + size, 0);
            return;
        }
        data[i] ^= s.stream[s.used++];
    }
}

void AesCrypto::Decrypt(uint8_t* data, size_t size) {
    if (EVP_MAC_update(state_->mac, data, size) != 1) state_->failed = true;
    Xor(data, size);
}

void AesCrypto::Encrypt(uint8_t* data, size_t size) {
    Xor(data, size);
    if (EVP_MAC_update(state_->mac, data, size) != 1) state_->failed = true;
}

std::optional<std::array<uint8_t, kAesMacSize>> AesCrypto::Mac() {
    uint8_t full[EVP_MAX_MD_SIZE] = {};
    size_t length = 0;
    if (state_->failed || EVP_MAC_final(state_->mac, full, &length, sizeof(full)) != 1 ||
        length < kAesMacSize)
        return std::nullopt;
    std::array<uint8_t, kAesMacSize> out{};
    std::copy(full, full + kAesMacSize, out.begin());
    return out;
}

}  // namespace kelp::zip
