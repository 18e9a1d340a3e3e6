#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

namespace platform {

// The order of the bytes of a number in a file.
enum class Endian { kBig, kLittle };

template <class T>
concept FileNumber = std::is_integral_v<T> && sizeof(T) <= 4;
template <class T>
concept FileBytes = requires(T t) {
    { std::tuple_size<T>::value };
    requires sizeof(t[0]) == 1;
};

// Reads the fields of file structures front to back from bytes in memory,
// numbers in the given order. Nothing is read outside the bytes: a field they
// do not hold reads as zeros and leaves the reader failed, which every later
// read keeps. Each structure is read by one call naming its fields in order.
class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> bytes, Endian order) : bytes(bytes), order(order) {}

    // Reads each field in turn; false once anything was missing.
    template <class... Fields>
    bool operator()(Fields&... fields) {
        (Read(fields), ...);
        return !failed;
    }
    // The next `count` bytes; empty (and the reader failed) when fewer are left.
    std::span<const std::uint8_t> Take(std::size_t count) {
        if (!Holds(count)) {
            return {};
        }
        auto taken = bytes.subspan(position, count);
        position += count;
        return taken;
    }
    bool Skip(std::size_t count) {
        if (Holds(count)) {
            position += count;
        }
        return !failed;
    }
    // Moves to an offset from the start; false (and failed) beyond the end.
    bool Seek(std::size_t offset) {
        if (offset > bytes.size()) {
            failed = true;
            return false;
        }
        position = offset;
        return !failed;
    }

    std::size_t Position() const { return position; }
    std::size_t Remaining() const { return bytes.size() - position; }
    std::span<const std::uint8_t> Rest() const { return bytes.subspan(position); }
    explicit operator bool() const { return !failed; }

private:
    bool Holds(std::size_t count) {
        if (failed || count > Remaining()) {
            failed = true;
            return false;
        }
        return true;
    }
    template <FileNumber T>
    void Read(T& value) {
        using Unsigned = std::make_unsigned_t<T>;
        Unsigned v = 0;
        if (Holds(sizeof(T))) {
            for (std::size_t i = 0; i < sizeof(T); ++i) {
                std::size_t shift = 8 * (order == Endian::kBig ? sizeof(T) - 1 - i : i);
                v = static_cast<Unsigned>(v | (Unsigned{bytes[position + i]} << shift));
            }
            position += sizeof(T);
        }
        value = static_cast<T>(v);
    }
    template <FileBytes T>
    void Read(T& field) {
        field = {};
        auto taken = Take(field.size());
        std::transform(taken.begin(), taken.end(), field.begin(), [](std::uint8_t b) {
            return static_cast<typename T::value_type>(b);
        });
    }

    std::span<const std::uint8_t> bytes;
    Endian order;
    std::size_t position = 0;
    bool failed = false;
};

// Appends the fields of file structures to a byte vector, numbers in the
// given order: the same field lists that a ByteReader reads.
class ByteWriter {
public:
    ByteWriter(std::vector<std::uint8_t>& out, Endian order) : out(out), order(order) {}

    template <class... Fields>
    ByteWriter& operator()(const Fields&... fields) {
        (Write(fields), ...);
        return *this;
    }
    ByteWriter& Bytes(std::span<const std::uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ByteWriter& Zeros(std::size_t count) {
        out.insert(out.end(), count, 0);
        return *this;
    }

private:
    template <FileNumber T>
    void Write(T value) {
        auto v = static_cast<std::make_unsigned_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            std::size_t shift = 8 * (order == Endian::kBig ? sizeof(T) - 1 - i : i);
            out.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    template <FileBytes T>
    void Write(const T& field) {
        for (auto b : field) {
            out.push_back(static_cast<std::uint8_t>(b));
        }
    }

    std::vector<std::uint8_t>& out;
    Endian order;
};

}  // namespace platform
