// AES encryption of member data in the AE-1/AE-2 format: keys derived with
// PBKDF2-HMAC-SHA1 from the password and a per-member salt, AES in counter
// mode with a little-endian block counter starting at 1, and HMAC-SHA1 over
// the encrypted bytes, of which the first ten bytes follow the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace kelp::zip {

constexpr size_t kAesVerifierSize = 2;
constexpr size_t kAesMacSize = 10;
constexpr uint8_t kAesStrength256 = 3;

// Key and salt lengths of a strength (1: 128, 2: 192, 3: 256 bits); 0 for
// any other value.
size_t AesKeyLength(uint8_t strength);
size_t AesSaltLength(uint8_t strength);

// PBKDF2 with HMAC-SHA1 (RFC 8018): out.size() bytes from the password and
// salt. False only when the hash could not be set up.
bool Pbkdf2Sha1(std::string_view password, std::span<const uint8_t> salt, int iterations,
                std::span<uint8_t> out);

// Fills out with bytes from the system's secure random source.
bool SecureRandomBytes(std::span<uint8_t> out);

class AesCrypto {
  public:
    // The keys for a password and salt; nothing when the strength is not
    // 1 to 3 or the salt does not fit it.
    static std::optional<AesCrypto> Derive(std::string_view password, std::span<const uint8_t> salt,
                                           uint8_t strength);
    AesCrypto(AesCrypto&&) noexcept;
    AesCrypto& operator=(AesCrypto&&) noexcept;
    ~AesCrypto();

    // The two bytes stored after the salt for a right password.
    std::array<uint8_t, kAesVerifierSize> verifier() const { return verifier_; }

    // Counter-mode encryption in place; the code is taken over the
    // encrypted bytes, so Decrypt takes it before and Encrypt after.
    void Decrypt(uint8_t* data, size_t size);
    void Encrypt(uint8_t* data, size_t size);

    // The authentication code of every byte passed so far; nothing when a
    // cipher call failed (the bytes passed are then not to be trusted).
    std::optional<std::array<uint8_t, kAesMacSize>> Mac();

  private:
    struct State;
    explicit AesCrypto(std::unique_ptr<State> state);
    void Xor(uint8_t* data, size_t size);

    std::unique_ptr<State> state_;
    std::array<uint8_t, kAesVerifierSize> verifier_{};
};

}  // namespace kelp::zip
