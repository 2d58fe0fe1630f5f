// The settings file as text, without a file or system call, so that a front
// end without files (a browser page) reads and writes through the same code.
#pragma once

#include <cstddef>
#include <string_view>

#include "rate_model.h"

namespace ratecalc {

// A larger file is not a settings file: loaded as the defaults, unread, and
// never written.
inline constexpr std::size_t kMaxSettingsBytes = std::size_t{4} << 20;

// Where the figures a load gives came from.
enum class LoadOutcome {
  kRead,        // the file, with the defaults for any key it lacks
  kMissing,     // no file: the defaults
  kUnreadable,  // a file that could not be read: the defaults
  kTooLarge,    // a file over kMaxSettingsBytes: the defaults
};

// Why a save left the file as it was.
enum class SaveFailure {
  kNone,           // saved, or nothing to change
  kNoPath,         // the path names no file
  kNotReadAtLoad,  // the file could not be read at the load: its figures were never seen
  kNotAFile,       // a folder, FIFO or device stands at the path
  kTooLarge,       // the file is too large to be a settings file
  kNotWritable,    // the file or its folder cannot be written
  kBusy,           // another program kept the file locked beyond the retries
  kNoRecordPlace,  // an in-place write needs a redo record, and none could be written
  kWriteFailed,    // a write failed (a full disk): the old file stands, or its record stays
  kForeignLink,    // a link another user may have made, in a folder others may write
};

// Reads 8-bit text in code page 1252 (perhaps after a UTF-8 mark) or UTF-16
// of either order, marked or not; finds section "RateCalc" and its nine keys
// as the platform's profile functions do and sets every field, the default
// where a key is missing. kRead, or kTooLarge (the defaults).
LoadOutcome ModelFromSettingsText(std::string_view file_bytes, RateModel& model);

// Whether a load finds section "RateCalc" in the bytes: a front end that
// lets the user pick any file refuses one without it.
bool HasSettingsSection(std::string_view file_bytes);

// Hands `sink`, in pieces, the bytes with the model's nine lines written in,
// every other byte, the encoding and line end kept (empty bytes: a first
// save's file). A figure too long to read back keeps the file's. False,
// nothing handed on, for bytes that are or would become over
// kMaxSettingsBytes, or out of memory.
using TextSink = void (*)(void* context, std::string_view piece);
bool WriteSettingsText(std::string_view file_bytes, const RateModel& model, TextSink sink,
                       void* context);

}  // namespace ratecalc
