#ifndef HIDUKE_NOTE_STORE_STORE_ERROR_H
#define HIDUKE_NOTE_STORE_STORE_ERROR_H

#include <concepts>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace hiduke {

// A failure of the note store, worded for the user (UTF-8 Japanese, shown in
// a message box as it is).
struct StoreError {
  std::string message;
};

// A value or the StoreError that kept it from being produced; shaped after
// std::expected so callers can switch to it later.
template <typename T>
class [[nodiscard]] StoreResult {
 public:
  template <typename U = T>
    requires std::constructible_from<T, U&&> &&
             (!std::same_as<std::remove_cvref_t<U>, StoreError>) &&
             (!std::same_as<std::remove_cvref_t<U>, StoreResult>)
  StoreResult(U&& value)  // NOLINT(google-explicit-constructor)
      : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  StoreResult(StoreError error)  // NOLINT(google-explicit-constructor)
      : state_(std::in_place_index<1>, std::move(error)) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T&& operator*() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }

  // Only valid when the result holds no value.
  const StoreError& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, StoreError> state_;
};

template <>
class [[nodiscard]] StoreResult<void> {
 public:
  StoreResult() = default;
  StoreResult(StoreError error)  // NOLINT(google-explicit-constructor)
      : error_(std::move(error)) {}

  bool has_value() const { return !error_.has_value(); }
  explicit operator bool() const { return has_value(); }

  // Only valid when the result is a failure.
  const StoreError& error() const { return *error_; }

 private:
  std::optional<StoreError> error_;
};

// A short Japanese phrase for an errno value, for use inside the messages
// ("アクセスが拒否されました"); the C library's text for errors without one.
std::string ErrnoReason(int error_number);

}  // namespace hiduke

#endif  // HIDUKE_NOTE_STORE_STORE_ERROR_H
