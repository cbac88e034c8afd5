#include "member_cipher.h"

#include <algorithm>
#include <vector>

namespace kelp::zip {

MemberCipher::MemberCipher(ZipCrypto keys) : keys_(std::move(keys)) {}

MemberCipher::MemberCipher(AesCrypto keys, const AesExtra& field)
    : keys_(std::move(keys)),
      headerSize_(AesSaltLength(field.strength) + kAesVerifierSize),
      version_(field.version) {}

void MemberCipher::Decrypt(uint8_t* data, size_t size) {
    std::visit([&](auto& keys) { keys.Decrypt(data, size); }, keys_);
    passed_ += size;
}

bool MemberCipher::Authenticate(const ByteSource& reader, uint64_t start, uint64_t size) {
    auto* keys = std::get_if<AesCrypto>(&keys_);
    if (!keys) return true;
    // A decoder that met the end of its stream early leaves bytes unread;
    // the code covers them all.
    std::vector<uint8_t> buf(64 * 1024);
    for (uint64_t at = passed_; at < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), size - at));
        if (!reader.ReadAt(start + at, buf.data(), n)) return false;
        keys->Decrypt(buf.data(), n);
        at += n;
    }
    passed_ = std::max(passed_, size);
    uint8_t stored[kAesMacSize];
    const auto mac = keys->Mac();
    return mac && reader.ReadAt(start + size, stored, sizeof(stored)) &&
           std::equal(mac->begin(), mac->end(), stored);
}

std::optional<MemberCipher> TryPassword(const ArchiveReader& reader, const MemberData& data,
                                        std::string_view password) {
    if (data.aes) {
        const size_t saltLength = AesSaltLength(data.aes->strength);
        uint8_t head[16 + kAesVerifierSize];
        const size_t headLength = saltLength + kAesVerifierSize;
        if (data.packedSize < headLength + kAesMacSize ||
            !reader.ReadAt(data.dataOffset, head, headLength))
            return std::nullopt;
        auto keys = AesCrypto::Derive(password, {head, saltLength}, data.aes->strength);
        if (!keys) return std::nullopt;
        const auto verifier = keys->verifier();
        if (!std::equal(verifier.begin(), verifier.end(), head + saltLength)) return std::nullopt;
        return MemberCipher(std::move(*keys), *data.aes);
    }
    uint8_t header[kCryptHeaderSize];
    if (data.packedSize < kCryptHeaderSize ||
        !reader.ReadAt(data.dataOffset, header, sizeof(header)))
        return std::nullopt;
    ZipCrypto crypto(password);
    if (crypto.DecryptHeader(header) != ZipCrypto::CheckByte(data.flags, data.crc, data.dosTime))
        return std::nullopt;
    return MemberCipher(crypto);
}

}  // namespace kelp::zip
