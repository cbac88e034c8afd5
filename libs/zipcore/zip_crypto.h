// Traditional PKWARE encryption (both directions): three 32-bit keys
// updated by every plain byte, a 12-byte header in front of the data whose
// last byte checks the password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelp::zip {

constexpr size_t kCryptHeaderSize = 12;

class ZipCrypto {
  public:
    explicit ZipCrypto(std::string_view password);

    // Decrypts in place.
    void Decrypt(uint8_t* data, size_t size);
    // Encrypts in place (used to build test data and by the writer).
    void Encrypt(uint8_t* data, size_t size);

    // Decrypts the 12-byte header and returns its last plain byte, which
    // must equal the check byte of the member for a right password.
    uint8_t DecryptHeader(const uint8_t header[kCryptHeaderSize]);

    // The check byte of a member: the high byte of the CRC, or of the DOS
    // time when the CRC follows the data in a descriptor.
    static uint8_t CheckByte(uint16_t flags, uint32_t crc, uint16_t dosTime);

  private:
    uint8_t StreamByte() const;
    void Update(uint8_t plain);

    uint32_t keys_[3];
};

}  // namespace kelp::zip
