#pragma once

#include <chrono>
#include <concepts>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace hiduke {

// What the caller asked the store to do when something failed.
enum class StoreOperation { kRead, kSave, kDelete, kExport, kImport, kSearch };

enum class StoreErrorKind {
  kReadFailed,        // reading the note file failed: errorNumber says why
  kWriteFailed,       // a step of the rewrite failed: errorNumber says why; the file is unchanged
  kNotRegularFile,    // the path names a FIFO, device, socket ...
  kUnencodable,       // `characters` cannot be stored in code page 932
  kSemicolon,         // the note holds ";", which the file keeps for a line break
  kDateOutOfRange,    // the date cannot be written in the file
  kConverterMissing,  // iconv has no CP932
  kOutOfMemory,
  kAttributesNotCopied,   // an extended attribute (an ACL ...) cannot be given to the new file: errorNumber says why
  kOwnerNotKept,          // the file is another user's, and the new file cannot be given to that user
  kUnsafeLink,            // a link that another user planted in a sticky directory everyone may write is not followed
  kDirectoryNotWritable,  // the rewrite cannot create its new file beside the note file: errorNumber says why
  kDirectoryGone,         // the directory that holds the note file has been removed
  kChangedOnDisk,         // the day's note in the file is no longer the one the caller started from
  kBeingWritten,          // another program kept writing the file for longer than a save waits
  kExportOverNoteFile,    // an export's target is the note file itself (`path` names the target)
  kCancelled,             // the person stopped a long import or export; nothing was changed
  kNotICalendar,          // the file to import holds no iCalendar 2.0 calendar (none at all, or a vCalendar 1.0 one)
  // Warnings of a save that took effect:
  kNotDurable,            // the directory sync failed: the new file may not survive a crash of the system
  kHardLinksSeparated,    // the file had `otherNames` more names (hard links), which keep the old notes
};

// What failed, as data; the window words it for the user.
struct StoreError {
  StoreErrorKind kind;
  StoreOperation operation = StoreOperation::kRead;
  int errorNumber = 0;                    // errno, 0 when none applies
  std::string path{};                     // the note file, named as it was when the store was opened
  std::vector<std::string> characters{};  // UTF-8, for kUnencodable
  std::chrono::year_month_day date{};     // for kDateOutOfRange
  unsigned long otherNames = 0;           // for kHardLinksSeparated
  friend bool operator==(const StoreError&, const StoreError&) = default;
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
  const StoreError& error() const& { return std::get<1>(state_); }
  StoreError&& error() && { return std::get<1>(std::move(state_)); }

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
  const StoreError& error() const& { return *error_; }
  StoreError&& error() && { return std::move(*error_); }

 private:
  std::optional<StoreError> error_;
};

// A failed step of reading or writing: its kind and errno. The operation
// that ran the step adds what it was asked to do and the file's name.
inline StoreError readFailed(int errorNumber) { return {.kind = StoreErrorKind::kReadFailed, .errorNumber = errorNumber}; }
inline StoreError writeFailed(int errorNumber) {
  return {.kind = StoreErrorKind::kWriteFailed, .errorNumber = errorNumber};
}

}  // namespace hiduke
