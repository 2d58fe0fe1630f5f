// The settings file as text, without a file or system call, so that a front
// end without files (a browser page) reads and writes through the same code.
#pragma once

#include <cstddef>
#include <string>
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

// Reads 8-bit text in code page 1252 (perhaps after a UTF-8 mark) or UTF-16
// of either order, marked or not; finds section "RateCalc" and its nine keys
// as the platform's profile functions do and sets every field, the default
// where a key is missing. kRead, or kTooLarge (the defaults).
LoadOutcome ModelFromSettingsText(std::string_view file_bytes, RateModel& model);

// Whether the bytes hold section "RateCalc" where a load looks for it. A load
// reads any text, giving the defaults where the section is missing; a front
// end that lets the user pick a file uses this to refuse one that is no
// settings file at all.
bool HasSettingsSection(std::string_view file_bytes);

// Hands `sink`, in pieces, the bytes with the model's nine lines written in,
// every other byte, the encoding and line end kept (empty bytes: a first
// save's file). A figure too long to read back keeps the file's. False,
// nothing handed on, for bytes that are or would become over
// kMaxSettingsBytes, or out of memory.
using TextSink = void (*)(void* context, std::string_view piece);
bool WriteSettingsText(std::string_view file_bytes, const RateModel& model, TextSink sink,
                       void* context);

// The same as one string, or the bytes unchanged. Inline: a program that
// does not call it links no std::string.
inline std::string SettingsTextWithModel(std::string_view file_bytes, const RateModel& model) {
  std::string out;
  const TextSink append = [](void* text, std::string_view piece) {
    static_cast<std::string*>(text)->append(piece);
  };
  return WriteSettingsText(file_bytes, model, append, &out) ? out : std::string(file_bytes);
}

}  // namespace ratecalc
