// Keystrokes in one field and what they leave, as the classic Windows edit
// leaves them: the text, the selection's anchor and caret before, the keys
// (a lone character is typed), then the text, anchor and caret after. The
// window rules' suite, the Qt window's and the page's all replay these rows.
#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "window_rules.h"

namespace ratecalc {

struct FieldKeyRow {
  const char* text;
  int anchor, caret;
  bool read_only;
  const char* keys;
  const char* text_after;
  int anchor_after, caret_after;
};

// clang-format off
inline const FieldKeyRow kFieldKeyRows[] = {
{"13.80", 0, 0, false, "End Ctrl+Backspace 5", "13.805", 6, 6},
{"13.80", 0, 0, false, "End Ctrl+Left 5", "513.80", 1, 1},
{"13.80", 0, 0, false, "Home Ctrl+Delete 5", "5", 1, 1},
{"13.80", 0, 0, false, "End Up 5", "13.850", 5, 5},
{"13.80", 0, 0, false, "Home Down 5", "153.80", 2, 2},
{"13.80", 0, 0, false, "Home Right Ctrl+K 5", "153.80", 2, 2},
{"13.80", 0, 5, false, "Left", "13.80", 4, 4},
{"13.80", 5, 0, false, "Right 9", "193.80", 2, 2},
{"13.80", 2, 2, false, "Shift+Right Shift+Right Left", "13.80", 3, 3},
{"13.80", 0, 0, false, "Backspace Left Shift+Left", "13.80", 0, 0},
{"12 34 56", 8, 8, false, "Ctrl+Left Ctrl+Left", "12 34 56", 3, 3},
{"12  34 ", 1, 1, false, "Ctrl+Right", "12  34 ", 4, 4},
{"12  34 ", 7, 7, false, "Ctrl+Left", "12  34 ", 4, 4},
{"12 34 56", 2, 2, false, "Ctrl+Shift+Right", "12 34 56", 2, 3},
{"13.80", 2, 2, false, "Ctrl+Down Ctrl+Up Ctrl+Up", "13.80", 0, 0},
{"13.80", 2, 2, false, "Shift+Up Shift+Down Shift+Down Shift+End", "13.80", 2, 5},
{"13.80", 4, 1, false, "Ctrl+Shift+Home Ctrl+Shift+End", "13.80", 4, 5},
{"13.80", 2, 2, false, "Backspace Shift+Backspace", ".80", 0, 0},
{"13.80", 1, 3, false, "Backspace", "180", 1, 1},
{"13.80", 2, 2, false, "Delete End Delete", "1380", 4, 4},
{"13.80", 1, 3, false, "Ctrl+Delete", "180", 1, 1},
{"12 34 56", 4, 4, false, "Ctrl+Delete", "12 3", 4, 4},
{"13.80", 2, 2, false, "Shift+Delete", "1.80", 1, 1},
{"13.80", 1, 3, false, "Ctrl+Shift+Delete", "13.80", 1, 3},
{"13.80", 1, 3, false, "9 Insert 5", "19580", 3, 3},
{"13.80", 2, 2, false, "Ctrl+Y Ctrl+H Ctrl+E Ctrl+B Ctrl+U Alt+Delete Alt+Backspace", "13.80", 2, 2},
{"13.80", 2, 2, false, "Ctrl+A", "13.80", 0, 5},
{"13.80", 1, 3, false, "Ctrl+C End Ctrl+C Ctrl+V", "13.803.", 7, 7},
{"13.80", 1, 3, false, "Ctrl+X Home Ctrl+V", "3.180", 2, 2},
{"13.80", 1, 3, false, "Shift+Delete End Shift+Insert", "1803.", 5, 5},
{"13.80", 3, 1, false, "Ctrl+Insert Ctrl+End Shift+Insert", "13.803.", 7, 7},
{"13.80", 1, 3, false, "Ctrl+Insert Home Ctrl+Shift+Insert", "3.13.80", 2, 2},
{"13.80", 2, 2, false, "5 6 Ctrl+Z Ctrl+Z", "1356.80", 2, 4},
{"13.80", 2, 2, false, "5 Delete Ctrl+Z", "135.80", 3, 4},
{"13.80", 2, 2, false, "Backspace Backspace Ctrl+Z", "13.80", 0, 2},
{"13.80", 2, 2, false, "5 Backspace Ctrl+Z", "135.80", 2, 3},
{"13.80", 0, 5, true, "Backspace Delete Ctrl+X Shift+Delete Ctrl+V Ctrl+Z", "13.80", 0, 5},
{"13.80", 0, 0, true, "End Left Shift+Left", "13.80", 4, 3},
};
// clang-format on

// One keystroke of a row, "Ctrl+Shift+Left" or a character to type: the
// key (none when typed) and its name, the letter or the character.
struct Stroke {
  KeyModifiers modifiers;
  std::optional<FieldKey> key;
  std::string name;
};

inline std::vector<Stroke> StrokesOf(const char* keys) {
  static const char* const kNames[] = {"Left", "Right",     "Up",     "Down",  "Home",
                                       "End",  "Backspace", "Delete", "Insert"};
  std::vector<Stroke> strokes;
  std::istringstream words(keys);
  for (std::string word; words >> word;) {
    Stroke stroke;
    for (const auto& [prefix, held] :
         {std::pair<std::string, bool*>{"Ctrl+", &stroke.modifiers.ctrl},
          {"Shift+", &stroke.modifiers.shift},
          {"Alt+", &stroke.modifiers.alt}}) {
      if (word.starts_with(prefix)) {
        *held = true;
        word.erase(0, prefix.size());
      }
    }
    for (int key = 0; key < static_cast<int>(std::size(kNames)); ++key) {
      if (word == kNames[key]) stroke.key = static_cast<FieldKey>(key);
    }
    if (!stroke.key && (stroke.modifiers.ctrl || stroke.modifiers.alt))
      stroke.key = FieldKey::kLetter;
    stroke.name = word;
    strokes.push_back(stroke);
  }
  return strokes;
}

}  // namespace ratecalc
