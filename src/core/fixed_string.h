// Zero-terminated text in a fixed buffer, as the installer and the registry
// hand it over. Nothing is ever written past the buffer: an operation whose
// result would not fit fails and leaves the text unchanged.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace ca {

template <std::size_t N>
class FixedString {
public:
    static constexpr std::size_t capacity = N;  // bytes, the terminating zero included

    FixedString() noexcept { clear(); }
    explicit FixedString(std::string_view text) noexcept
    {
        clear();
        assign(text);
    }

    void clear() noexcept { std::memset(data_, 0, N); }
    bool assign(std::string_view text) noexcept
    {
        if (text.size() >= N) return false;
        std::memcpy(data_, text.data(), text.size());
        std::memset(data_ + text.size(), 0, N - text.size());
        return true;
    }
    bool append(std::string_view text) noexcept
    {
        const std::size_t len = size();
        if (len + text.size() >= N) return false;
        std::memcpy(data_ + len, text.data(), text.size());
        data_[len + text.size()] = '\0';
        return true;
    }
    // Appends every piece, or nothing when the whole would not fit.
    template <typename... Pieces>
    bool appendAll(const Pieces&... pieces) noexcept
    {
        const std::size_t total = size() + (std::string_view(pieces).size() + ... + 0);
        if (total >= N) return false;
        (append(pieces), ...);
        return true;
    }

    const char* c_str() const noexcept { return data_; }
    char* data() noexcept { return data_; }
    std::size_t size() const noexcept { return ::strnlen(data_, N); }
    bool empty() const noexcept { return data_[0] == '\0'; }
    std::string_view view() const noexcept { return {data_, size()}; }
    std::string str() const { return std::string(view()); }
    // Makes sure the text is terminated within the buffer (after a raw write into data()).
    void terminate() noexcept { data_[N - 1] = '\0'; }

    bool operator==(std::string_view other) const noexcept { return view() == other; }

private:
    char data_[N];
};

inline constexpr std::size_t kMaxPath = 260;
using PathBuffer = FixedString<kMaxPath>;

}  // namespace ca
