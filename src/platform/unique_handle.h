// One owner for every kind of system handle. A Traits type names the native
// type, the value that means "no handle", and how one is closed; the owner
// closes on every path and can be moved but not copied.
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
public:
    using Native = typename Traits::Native;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Native native) noexcept : native_(native) {}
    UniqueHandle(UniqueHandle&& other) noexcept : native_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Native get() const noexcept { return native_; }
    explicit operator bool() const noexcept { return native_ != Traits::invalid(); }

    // For out-parameters: closes what is held and hands out the slot.
    Native* put() noexcept
    {
        reset();
        return &native_;
    }
    Native release() noexcept { return std::exchange(native_, Traits::invalid()); }

    // Closes what is held and takes `native`. False when the close failed
    // (a stream that could not write what it buffered).
    bool reset(Native native = Traits::invalid()) noexcept
    {
        const Native old = std::exchange(native_, native);
        return old == Traits::invalid() || Traits::close(old);
    }

private:
    Native native_ = Traits::invalid();
};

}  // namespace platform
