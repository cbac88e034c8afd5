#include "zip_crypto.h"

#include "crc32.h"
#include "zip_records.h"

namespace kelp::zip {

ZipCrypto::ZipCrypto(std::string_view password) : keys_{0x12345678, 0x23456789, 0x34567890} {
    for (char c : password) Update(static_cast<uint8_t>(c));
}

uint8_t ZipCrypto::StreamByte() const {
    // Unsigned 32-bit arithmetic: the product of two 16-bit values would
    // overflow a promoted int.
    uint32_t temp = (keys_[2] | 2) & 0xFFFF;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void ZipCrypto::Update(uint8_t plain) {
    keys_[0] = Crc32Byte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = Crc32Byte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

void ZipCrypto::Decrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        uint8_t plain = data[i] ^ StreamByte();
        Update(plain);
        data[i] = plain;
    }
}

void ZipCrypto::Encrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        uint8_t plain = data[i];
        data[i] = plain ^ StreamByte();
        Update(plain);
    }
}

uint8_t ZipCrypto::DecryptHeader(const uint8_t header[kCryptHeaderSize]) {
    uint8_t copy[kCryptHeaderSize];
    for (size_t i = 0; i < kCryptHeaderSize; ++i) copy[i] = header[i];
    Decrypt(copy, kCryptHeaderSize);
    return copy[kCryptHeaderSize - 1];
}

uint8_t ZipCrypto::CheckByte(uint16_t flags, uint32_t crc, uint16_t dosTime) {
    if (flags & kFlagDataDescriptor) return static_cast<uint8_t>(dosTime >> 8);
    return static_cast<uint8_t>(crc >> 24);
}

}  // namespace kelp::zip
