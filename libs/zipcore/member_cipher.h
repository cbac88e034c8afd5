// The keys that decrypt one member's data, traditional PKWARE or AES, and
// what the encryption puts around the data: a 12-byte header, or a salt and
// password verifier in front and an authentication code behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "aes_crypto.h"
#include "archive_reader.h"
#include "zip_crypto.h"

namespace kelp::zip {

class MemberCipher {
  public:
    explicit MemberCipher(ZipCrypto keys);
    MemberCipher(AesCrypto keys, const AesExtra& field);

    bool aes() const { return std::holds_alternative<AesCrypto>(keys_); }
    // Bytes before and after the encrypted data.
    size_t headerSize() const { return headerSize_; }
    size_t trailerSize() const { return aes() ? kAesMacSize : 0; }
    // Whether the data's CRC is stored and must match (not with AE-2).
    bool crcStored() const { return !aes() || version_ == 1; }

    // Decrypts the data bytes that follow those passed before, in place.
    void Decrypt(uint8_t* data, size_t size);

    // For AES: takes the data bytes [start, start + size) that decoding
    // left unread into the code, then compares it with the stored one.
    // Traditional encryption has no code and always passes.
    bool Authenticate(const ByteSource& reader, uint64_t start, uint64_t size);

  private:
    std::variant<ZipCrypto, AesCrypto> keys_;
    size_t headerSize_ = kCryptHeaderSize;
    uint16_t version_ = 0;  // AE-1 or AE-2
    uint64_t passed_ = 0;   // data bytes decrypted so far
};

// The keys for an encrypted member when the password passes the check of
// its encryption header (the check byte, or the AES password verifier).
std::optional<MemberCipher> TryPassword(const ArchiveReader& reader, const MemberData& data,
                                        std::string_view password);

}  // namespace kelp::zip
