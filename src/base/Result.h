// The value-or-error result of every fallible operation: project files, exports, bitmaps, sorting, PDF.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace velda {

/// The value of a result that carries nothing besides its success.
struct Done {
    friend bool operator==(Done, Done) = default;
};

/// A value of type `T`, or the error of type `E` that prevented it. `E` is a type with a kind enum and a
/// message for the user. Ignoring a result is a compile error under warnings-as-errors.
template <typename T, typename E>
class [[nodiscard]] Result {
public:
    /// Success of a result without a value.
    Result() requires std::is_same_v<T, Done> : m_data(std::in_place_index<0>) {}
    Result(T value) : m_data(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : m_data(std::in_place_index<1>, std::move(error)) {}

    [[nodiscard]] bool ok() const { return m_data.index() == 0; }
    explicit operator bool() const { return ok(); }
    /// The value; only when ok().
    [[nodiscard]] const T &value() const { return std::get<0>(m_data); }
    [[nodiscard]] T &value() { return std::get<0>(m_data); }
    /// The error; only when !ok().
    [[nodiscard]] const E &error() const { return std::get<1>(m_data); }

private:
    std::variant<T, E> m_data;
};

} // namespace velda
