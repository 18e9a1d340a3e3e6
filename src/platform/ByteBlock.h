#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

// A block of bytes that either holds its own bytes or views bytes kept alive by
// an owner shared between copies (a mapped file). Reading never copies; the
// one changing access, Bytes(), first gives a view bytes of its own.
class ByteBlock {
public:
    using value_type = std::uint8_t;
    using iterator = const std::uint8_t*;
    using const_iterator = const std::uint8_t*;

    ByteBlock() = default;
    ByteBlock(std::vector<std::uint8_t> bytes) : own(std::move(bytes)) {}  // NOLINT: a vector is a block
    ByteBlock(std::size_t count, std::uint8_t value) : own(count, value) {}
    template <std::input_iterator Iterator>
    ByteBlock(Iterator first, Iterator last) : own(first, last) {}
    // `size` bytes at `bytes`, valid as long as `owner` lives.
    ByteBlock(std::shared_ptr<const void> owner, const std::uint8_t* bytes, std::size_t size)
        : owner(std::move(owner)), view(bytes), viewSize(size) {}

    std::size_t size() const { return owner ? viewSize : own.size(); }
    bool empty() const { return size() == 0; }
    const std::uint8_t* data() const { return owner ? view : own.data(); }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size(); }
    std::uint8_t operator[](std::size_t i) const { return data()[i]; }

    // The bytes to change: a view is copied into bytes of its own first.
    std::vector<std::uint8_t>& Bytes() {
        if (owner) {
            own.assign(view, view + viewSize);
            owner.reset();
            view = nullptr;
            viewSize = 0;
        }
        return own;
    }

    friend bool operator==(const ByteBlock& a, const ByteBlock& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::vector<std::uint8_t> own;
    std::shared_ptr<const void> owner;
    const std::uint8_t* view = nullptr;
    std::size_t viewSize = 0;
};

}  // namespace platform
