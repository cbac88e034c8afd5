#include "member_encryptor.h"

namespace kelp::kzip {

size_t MemberEncryptor::Overhead(bool aes) {
    return aes ? zip::AesSaltLength(zip::kAesStrength256) + zip::kAesVerifierSize + zip::kAesMacSize
               : zip::kCryptHeaderSize;
}

std::optional<MemberEncryptor> MemberEncryptor::Start(const std::string& password, bool aes,
                                                      uint8_t checkByte) {
    if (aes) {
        std::vector<uint8_t> salt(zip::AesSaltLength(zip::kAesStrength256));
        if (!zip::SecureRandomBytes(salt)) return std::nullopt;
        auto keys = zip::AesCrypto::Derive(password, salt, zip::kAesStrength256);
        if (!keys) return std::nullopt;
        const auto verifier = keys->verifier();
        MemberEncryptor e(std::move(*keys));
        e.header_ = std::move(salt);
        e.header_.insert(e.header_.end(), verifier.begin(), verifier.end());
        return e;
    }
    // Eleven random bytes and the check byte, all encrypted.
    std::vector<uint8_t> header(zip::kCryptHeaderSize);
    if (!zip::SecureRandomBytes({header.data(), header.size() - 1})) return std::nullopt;
    header.back() = checkByte;
    zip::ZipCrypto keys(password);
    keys.Encrypt(header.data(), header.size());
    MemberEncryptor e(keys);
    e.header_ = std::move(header);
    return e;
}

void MemberEncryptor::Encrypt(uint8_t* data, size_t size) {
    std::visit([&](auto& keys) { keys.Encrypt(data, size); }, keys_);
}

std::optional<std::vector<uint8_t>> MemberEncryptor::Trailer() {
    auto* keys = std::get_if<zip::AesCrypto>(&keys_);
    if (!keys) return std::vector<uint8_t>{};
    const auto mac = keys->Mac();
    if (!mac) return std::nullopt;
    return std::vector<uint8_t>(mac->begin(), mac->end());
}

}  // namespace kelp::kzip
