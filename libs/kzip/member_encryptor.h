// Encrypting one member's data as it is written: traditional PKWARE
// encryption (a 12-byte header whose last byte checks the password) or
// AES-256 in the AE-2 format (salt and password verifier in front, a
// 10-byte authentication code behind, no CRC in the headers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "aes_crypto.h"
#include "zip_crypto.h"

namespace kelp::kzip {

class MemberEncryptor {
  public:
    // The keys for a password with a fresh random header; checkByte is the
    // traditional header's last plain byte. Nothing when no secure random
    // bytes or keys could be had.
    static std::optional<MemberEncryptor> Start(const std::string& password, bool aes,
                                                uint8_t checkByte);

    // Bytes the encryption adds around the data.
    static size_t Overhead(bool aes);

    // The encrypted header, written before the data.
    const std::vector<uint8_t>& header() const { return header_; }
    void Encrypt(uint8_t* data, size_t size);
    // The bytes that follow the data: the authentication code with AES,
    // none otherwise; nothing when the code could not be made.
    std::optional<std::vector<uint8_t>> Trailer();

  private:
    explicit MemberEncryptor(std::variant<zip::ZipCrypto, zip::AesCrypto> keys)
        : keys_(std::move(keys)) {}

    std::variant<zip::ZipCrypto, zip::AesCrypto> keys_;
    std::vector<uint8_t> header_;
};

}  // namespace kelp::kzip
