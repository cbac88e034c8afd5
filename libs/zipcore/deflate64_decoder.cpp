#include "deflate64_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace kelp::zip {
namespace {

constexpr int kMaxBits = 15;
constexpr uint32_t kWindowMask = (1u << 16) - 1;
// Most compressed bytes held at a time. A block header, the largest piece
// decoded in one go, takes well under 1 KiB.
constexpr size_t kInputHold = 64 * 1024;
constexpr int kMaxLitLen = 288;
constexpr int kMaxDist = 32;

// Length codes 257..285; 285 is 3 plus 16 extra bits here, not deflate's 258.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
// Distance codes 0..31; 30 and 31 reach back up to 64 KiB.
constexpr uint32_t kDistBase[kMaxDist] = {1,    2,    3,    4,     5,     7,     9,     13,
                                          17,   25,   33,   49,    65,    97,    129,   193,
                                          257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                          4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistExtra[kMaxDist] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                          7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Order in which the code-length code's lengths are stored.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code: how many codes have each length, and the
// symbols in code order.
struct Huffman {
    uint16_t count[kMaxBits + 1];
    uint16_t symbol[kMaxLitLen];
};

// Builds a code from its lengths. An over-subscribed set is refused; an
// incomplete one only when it is no code at all or a single one-bit code
// (deflate writers emit those when a block uses one distance or none).
// A decode that meets an unassigned code fails.
bool Build(Huffman& h, const uint8_t* lengths, int n, bool mustBeComplete) {
    std::fill(std::begin(h.count), std::end(h.count), 0);
    for (int i = 0; i < n; ++i) ++h.count[lengths[i]];
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
        left = (left << 1) - h.count[len];
        if (left < 0) return false;
    }
    uint16_t offset[kMaxBits + 2] = {};
    for (int len = 1; len <= kMaxBits; ++len) offset[len + 1] = offset[len] + h.count[len];
    for (int i = 0; i < n; ++i)
        if (lengths[i] != 0) h.symbol[offset[lengths[i]]++] = static_cast<uint16_t>(i);
    if (left == 0 || h.count[0] == n) return left == 0 || !mustBeComplete;
    return !mustBeComplete && h.count[0] + h.count[1] == n;
}

enum class Result { Ok, Short, Bad };

class Deflate64Decoder : public MethodDecoder {
  public:
    DecodeStep Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t& written,
                   bool) override {
        written = 0;
        // Blocks that produce nothing (empty stored blocks) may fill the
        // held input: keep taking input until something comes out.
        for (;;) {
            Take(in);
            const uint64_t bitsBefore = consumedBits_ + bitPos_;
            if (Decode(out, written) == Result::Bad) return DecodeStep::BadData;
            if (state_ == State::Done && copyLeft_ == 0) return DecodeStep::End;
            if (written > 0 || in.empty() || consumedBits_ + bitPos_ == bitsBefore)
                return DecodeStep::Progress;
        }
    }

  private:
    enum class State { Header, Stored, Block, Done };

    // Moves input into the held buffer, dropping the bytes already read.
    void Take(std::span<const uint8_t>& in) {
        const size_t done = static_cast<size_t>(bitPos_ >> 3);
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(done));
        bitPos_ -= done * 8;
        consumedBits_ += done * 8;
        const size_t take = std::min(in.size(), kInputHold - std::min(kInputHold, held_.size()));
        held_.insert(held_.end(), in.begin(), in.begin() + static_cast<std::ptrdiff_t>(take));
        in = in.subspan(take);
    }

    // The next bits (at least 57 when the input has them), and how many
    // the input has.
    uint64_t Peek(uint64_t& avail) const {
        const size_t at = static_cast<size_t>(bitPos_ >> 3);
        const size_t n = std::min<size_t>(8, held_.size() - at);
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(held_[at + i]) << (8 * i);
        avail = (held_.size() - at) * 8 - (bitPos_ & 7);
        return v >> (bitPos_ & 7);
    }

    bool Bits(unsigned n, uint32_t& value) {
        uint64_t avail;
        const uint64_t v = Peek(avail);
        if (avail < n) return false;
        value = static_cast<uint32_t>(v & ((uint64_t{1} << n) - 1));
        bitPos_ += n;
        return true;
    }

    // Huffman codes are stored first bit first, so they are read one bit
    // at a time against the counts of the canonical code.
    Result Symbol(const Huffman& h, int& symbol) {
        uint64_t avail;
        const uint64_t v = Peek(avail);
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            if (static_cast<uint64_t>(len) > avail) return Result::Short;
            code |= static_cast<int>((v >> (len - 1)) & 1);
            const int count = h.count[len];
            if (code - count < first) {
                symbol = h.symbol[index + (code - first)];
                bitPos_ += static_cast<unsigned>(len);
                return Result::Ok;
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return Result::Bad;
    }

    void Put(uint8_t byte, std::span<uint8_t> out, size_t& written) {
        window_[pos_++ & kWindowMask] = byte;
        out[written++] = byte;
        ++produced_;
    }

    Result Decode(std::span<uint8_t> out, size_t& written) {
        for (;;) {
            if (copyLeft_ > 0) {
                const size_t n = std::min<size_t>(copyLeft_, out.size() - written);
                if (n == 0) return Result::Ok;
                for (size_t i = 0; i < n; ++i)
                    Put(window_[(pos_ - copyDistance_) & kWindowMask], out, written);
                copyLeft_ -= static_cast<uint32_t>(n);
                continue;
            }
            const uint64_t start = bitPos_;
            Result r = Result::Ok;
            switch (state_) {
                case State::Done:
                    return Result::Ok;
                case State::Header:
                    r = Header();
                    break;
                case State::Stored:
                    if (written == out.size()) return Result::Ok;
                    r = StoredBytes(out, written);
                    break;
                case State::Block:
                    if (written == out.size()) return Result::Ok;
                    r = Code(out, written);
                    break;
            }
            if (r == Result::Short) bitPos_ = start;  // read it again when more input came
            if (r != Result::Ok) return r == Result::Short ? Result::Ok : Result::Bad;
        }
    }

    void EndBlock() { state_ = final_ ? State::Done : State::Header; }

    Result Header() {
        uint32_t v;
        if (!Bits(3, v)) return Result::Short;
        final_ = v & 1;
        switch (v >> 1) {
            case 0: {
                bitPos_ = (bitPos_ + 7) & ~uint64_t{7};
                uint32_t len, nlen;
                if (!Bits(16, len) || !Bits(16, nlen)) return Result::Short;
                if (len != (~nlen & 0xFFFF)) return Result::Bad;
                storedLeft_ = len;
                if (len == 0)
                    EndBlock();
                else
                    state_ = State::Stored;
                return Result::Ok;
            }
            case 1:
                FixedTables();
                state_ = State::Block;
                return Result::Ok;
            case 2:
                return DynamicTables();
            default:
                return Result::Bad;
        }
    }

    Result StoredBytes(std::span<uint8_t> out, size_t& written) {
        const size_t at = static_cast<size_t>(bitPos_ >> 3);
        const size_t n =
            std::min({static_cast<size_t>(storedLeft_), out.size() - written, held_.size() - at});
        if (n == 0) return Result::Short;
        for (size_t i = 0; i < n; ++i) Put(held_[at + i], out, written);
        bitPos_ += n * 8;
        storedLeft_ -= static_cast<uint32_t>(n);
        if (storedLeft_ == 0) EndBlock();
        return Result::Ok;
    }

    void FixedTables() {
        uint8_t lengths[kMaxLitLen + kMaxDist];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + kMaxLitLen, 8);
        std::fill(lengths + kMaxLitLen, lengths + kMaxLitLen + kMaxDist, 5);
        Build(literals_, lengths, kMaxLitLen, false);
        Build(distances_, lengths + kMaxLitLen, kMaxDist, false);
    }

    Result DynamicTables() {
        uint32_t nlen, ndist, ncode;
        if (!Bits(5, nlen) || !Bits(5, ndist) || !Bits(4, ncode)) return Result::Short;
        nlen += 257;
        ndist += 1;
        ncode += 4;
        uint8_t lengths[kMaxLitLen + kMaxDist] = {};
        for (uint32_t i = 0; i < ncode; ++i) {
            uint32_t v;
            if (!Bits(3, v)) return Result::Short;
            lengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(v);
        }
        Huffman lengthCode;
        if (!Build(lengthCode, lengths, 19, true)) return Result::Bad;

        const uint32_t total = nlen + ndist;
        std::fill(std::begin(lengths), std::end(lengths), 0);
        for (uint32_t index = 0; index < total;) {
            int symbol;
            if (Result r = Symbol(lengthCode, symbol); r != Result::Ok) return r;
            if (symbol < 16) {
                lengths[index++] = static_cast<uint8_t>(symbol);
                continue;
            }
            uint8_t value = 0;
            uint32_t repeat;
            if (symbol == 16) {
                if (index == 0) return Result::Bad;
                value = lengths[index - 1];
                if (!Bits(2, repeat)) return Result::Short;
                repeat += 3;
            } else if (symbol == 17) {
                if (!Bits(3, repeat)) return Result::Short;
                repeat += 3;
            } else {
                if (!Bits(7, repeat)) return Result::Short;
                repeat += 11;
            }
            if (index + repeat > total) return Result::Bad;
            std::fill(lengths + index, lengths + index + repeat, value);
            index += repeat;
        }
        if (lengths[256] == 0) return Result::Bad;  // no end-of-block code
        if (!Build(literals_, lengths, static_cast<int>(nlen), false) ||
            !Build(distances_, lengths + nlen, static_cast<int>(ndist), false))
            return Result::Bad;
        state_ = State::Block;
        return Result::Ok;
    }

    // One literal, end of block, or length and distance.
    Result Code(std::span<uint8_t> out, size_t& written) {
        int symbol;
        if (Result r = Symbol(literals_, symbol); r != Result::Ok) return r;
        if (symbol < 256) {
            Put(static_cast<uint8_t>(symbol), out, written);
            return Result::Ok;
        }
        if (symbol == 256) {
            EndBlock();
            return Result::Ok;
        }
        symbol -= 257;
        if (symbol >= 29) return Result::Bad;  // codes 286 and 287 are never used
        uint32_t extra;
        if (!Bits(kLengthExtra[symbol], extra)) return Result::Short;
        const uint32_t length = kLengthBase[symbol] + extra;
        int d;
        if (Result r = Symbol(distances_, d); r != Result::Ok) return r;
        if (!Bits(kDistExtra[d], extra)) return Result::Short;
        const uint32_t distance = kDistBase[d] + extra;
        if (distance > produced_) return Result::Bad;  // reaches before the first byte
        copyLeft_ = length;
        copyDistance_ = distance;
        return Result::Ok;
    }

    std::vector<uint8_t> held_;  // input not yet read
    uint64_t bitPos_ = 0;        // read position in held_
    uint64_t consumedBits_ = 0;  // bits dropped from the front of held_
    State state_ = State::Header;
    bool final_ = false;
    uint32_t storedLeft_ = 0;
    uint32_t copyLeft_ = 0;  // a match still to be copied
    uint32_t copyDistance_ = 0;
    Huffman literals_{};
    Huffman distances_{};
    uint8_t window_[kWindowMask + 1] = {};
    uint32_t pos_ = 0;
    uint64_t produced_ = 0;
};

}  // namespace

std::unique_ptr<MethodDecoder> MakeDeflate64Decoder() {
    return std::unique_ptr<MethodDecoder>(new (std::nothrow) Deflate64Decoder);
}

}  // namespace kelp::zip
