// The settings file as text: the model read from a file's bytes, and the
// bytes with the model written in. No file or system call, so that a front
// end without files (a page in a browser) reads and writes as the desktop
// program does, through the same code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "rate_model.h"

namespace ratecalc {

// A larger file is not a settings file: it loads as the defaults without
// being read, and no save writes to it.
inline constexpr std::size_t kMaxSettingsBytes = std::size_t{4} << 20;

// Where the figures a load gives came from.
enum class LoadOutcome {
  kRead,        // the file, with the defaults for any key it lacks
  kMissing,     // no file: the defaults
  kUnreadable,  // a file that could not be read: the defaults
  kTooLarge,    // a file over kMaxSettingsBytes: the defaults
};

// Reads the bytes as 8-bit text in code page 1252 (perhaps after a UTF-8
// byte-order mark) or as UTF-16 of either byte order, with or without its
// mark; finds section "RateCalc" and its nine keys as the platform's
// profile functions do, and sets every field of the model, the default
// where a key is missing. kRead, or kTooLarge (the defaults) for more than
// kMaxSettingsBytes.
LoadOutcome ModelFromSettingsText(std::string_view file_bytes, RateModel& model);

// Hands `sink` the file's bytes with the model's nine lines written in, in
// pieces: every other byte, the encoding and the line end are kept; empty
// bytes give the file a first save writes. A figure too long for a load to
// read back keeps what the file held. False, having handed on nothing, for
// more than kMaxSettingsBytes or when memory runs out.
using TextSink = void (*)(void* context, std::string_view piece);
bool WriteSettingsText(std::string_view file_bytes, const RateModel& model, TextSink sink,
                       void* context);

// The same as one string; the bytes unchanged when they cannot be written.
// Inline, so that a program that does not call it links nothing of
// std::string for it.
inline std::string SettingsTextWithModel(std::string_view file_bytes, const RateModel& model) {
  std::string out;
  const TextSink append = [](void* text, std::string_view piece) {
    static_cast<std::string*>(text)->append(piece);
  };
  return WriteSettingsText(file_bytes, model, append, &out) ? out : std::string(file_bytes);
}

}  // namespace ratecalc
