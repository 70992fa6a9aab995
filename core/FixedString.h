#pragma once
// A NUL-terminated text of fixed capacity (terminator included). Every write is
// bounded: text that does not fit is cut, never written past the buffer.
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

template <std::size_t Capacity>
class FixedString {
    static_assert(Capacity >= 1);

public:
    static constexpr std::size_t kCapacity = Capacity;
    static constexpr std::size_t kMaxLength = Capacity - 1;

    FixedString() { chars_[0] = '\0'; }
    FixedString(std::string_view text) { Assign(text); }  // NOLINT: implicit on purpose

    // Returns false when the text had to be cut to fit.
    bool Assign(std::string_view text) {
        length_ = 0;
        chars_[0] = '\0';
        return Append(text);
    }

    bool Append(std::string_view text) {
        const std::size_t room = kMaxLength - length_;
        const std::size_t taken = text.size() < room ? text.size() : room;
        if (taken > 0) std::memcpy(chars_.data() + length_, text.data(), taken);
        length_ += taken;
        chars_[length_] = '\0';
        return taken == text.size();
    }

    bool Append(char c) { return Append(std::string_view(&c, 1)); }

    // Shortens the text to at most `length` characters.
    void Truncate(std::size_t length) {
        if (length < length_) {
            length_ = length;
            chars_[length_] = '\0';
        }
    }

    void Clear() { Truncate(0); }

    [[nodiscard]] std::string_view View() const { return {chars_.data(), length_}; }
    operator std::string_view() const { return View(); }  // NOLINT: implicit on purpose
    [[nodiscard]] const char* CStr() const { return chars_.data(); }
    [[nodiscard]] std::size_t Length() const { return length_; }
    [[nodiscard]] bool Empty() const { return length_ == 0; }
    char operator[](std::size_t i) const { return chars_[i]; }

    friend bool operator==(const FixedString& a, std::string_view b) { return a.View() == b; }

private:
    std::array<char, Capacity> chars_{};
    std::size_t length_ = 0;
};
