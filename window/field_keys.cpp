// The keys inside a field, as the classic Windows single-line edit answers
// them. Its words are separated by spaces only, so a figure such as 13.80
// is one word; Up and Down move as Left and Right; Ctrl+Backspace, Ctrl+K
// and the other shortcuts the Linux and browser line edits add do nothing.
#include <algorithm>
#include <cstddef>

#include "window_rules.h"

namespace ratecalc {
namespace {

int Length(const FieldEdit& field) { return static_cast<int>(field.text.size()); }

std::size_t At(int place) { return static_cast<std::size_t>(place); }

// The field with its selection within its text, whatever a caller passed.
FieldEdit Clamped(const FieldEdit& field) {
  FieldEdit out = field;
  out.anchor = std::clamp(field.anchor, 0, Length(field));
  out.caret = std::clamp(field.caret, 0, Length(field));
  out.undo.at = std::clamp(field.undo.at, 0, Length(field));
  out.undo.inserted = std::clamp(field.undo.inserted, 0, Length(field) - out.undo.at);
  return out;
}

int SelectionStart(const FieldEdit& field) { return std::min(field.anchor, field.caret); }
int SelectionEnd(const FieldEdit& field) { return std::max(field.anchor, field.caret); }
bool HasSelection(const FieldEdit& field) { return field.anchor != field.caret; }

// Text from `from` to `to` replaced by `put`, the caret after it. The undo
// record grows while the user goes on deleting or typing at the same place,
// and starts again anywhere else.
FieldEdit Replace(const FieldEdit& field, int from, int to, std::string_view put) {
  FieldEdit out = field;
  FieldUndo& undo = out.undo;
  if (to > from) {
    const std::string taken = field.text.substr(At(from), At(to - from));
    const bool deleting = undo.inserted == 0 && !undo.removed.empty();
    if (deleting && from == undo.at) {
      undo.removed += taken;
    } else if (deleting && to == undo.at) {
      undo.removed.insert(0, taken);
      undo.at = from;
    } else {
      undo.removed = taken;
      undo.at = from;
    }
    undo.inserted = 0;
    out.text.erase(At(from), At(to - from));
  }
  const int count = static_cast<int>(put.size());
  if (count > 0) {
    if (from == undo.at || (undo.inserted > 0 && from == undo.at + undo.inserted)) {
      undo.inserted += count;
    } else {
      undo = {"", from, count};
    }
    out.text.insert(At(from), put);
  }
  out.anchor = out.caret = from + count;
  return out;
}

FieldEdit Undone(const FieldEdit& field) {
  FieldEdit start = field;
  start.undo = {};
  const FieldUndo& undo = field.undo;
  FieldEdit out = Replace(start, undo.at, undo.at + undo.inserted, undo.removed);
  out.anchor = out.undo.at;
  out.caret = out.undo.at + out.undo.inserted;
  return out;
}

int WordLeft(const std::string& text, int from) {
  while (from > 0 && text[At(from - 1)] == ' ') --from;
  while (from > 0 && text[At(from - 1)] != ' ') --from;
  return from;
}

int WordRight(const std::string& text, int from) {
  const int end = static_cast<int>(text.size());
  while (from < end && text[At(from)] != ' ') ++from;
  while (from < end && text[At(from)] == ' ') ++from;
  return from;
}

FieldAnswer Moved(const FieldEdit& field, int to, bool extend) {
  FieldEdit out = field;
  out.caret = to;
  if (!extend) out.anchor = to;
  return {FieldAction::kEdit, out};
}

// Nothing to delete before the first character or after the last.
FieldAnswer Edited(const FieldEdit& field, int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, Length(field));
  if (to <= from) return {FieldAction::kIgnored, field};
  return {FieldAction::kEdit, Replace(field, from, to, "")};
}

FieldAnswer DeleteSelection(const FieldEdit& field) {
  return Edited(field, SelectionStart(field), SelectionEnd(field));
}

FieldAnswer Copy(const FieldEdit& field) {
  return {HasSelection(field) ? FieldAction::kCopy : FieldAction::kIgnored, field};
}

FieldAnswer Cut(const FieldEdit& field, bool read_only) {
  if (read_only || !HasSelection(field)) return {FieldAction::kIgnored, field};
  return {FieldAction::kCut, DeleteSelection(field).edit};
}

FieldAnswer Paste(const FieldEdit& field, bool read_only) {
  return {read_only ? FieldAction::kIgnored : FieldAction::kPaste, field};
}

// Ctrl with a letter: the four clipboard and undo shortcuts, and Ctrl+A,
// which the classic edit ignores but both the Linux and the browser line
// edits select all with, so that their users keep it.
FieldAnswer CtrlLetter(const FieldEdit& field, char letter, bool read_only) {
  switch (letter) {
    case 'A':
      return {FieldAction::kEdit, FieldEdit{field.text, 0, Length(field), field.undo}};
    case 'C':
      return Copy(field);
    case 'X':
      return Cut(field, read_only);
    case 'V':
      return Paste(field, read_only);
    case 'Z': {
      const bool nothing = field.undo.removed.empty() && field.undo.inserted == 0;
      if (read_only || nothing) return {FieldAction::kIgnored, field};
      return {FieldAction::kEdit, Undone(field)};
    }
    default:
      return {FieldAction::kIgnored, field};
  }
}

FieldAnswer DeleteKey(const FieldEdit& field, KeyModifiers modifiers) {
  if (modifiers.ctrl && modifiers.shift) return {FieldAction::kIgnored, field};
  if (HasSelection(field)) return modifiers.shift ? Cut(field, false) : DeleteSelection(field);
  if (modifiers.shift) return Edited(field, field.caret - 1, field.caret);
  return Edited(field, field.caret, modifiers.ctrl ? Length(field) : field.caret + 1);
}

FieldAnswer BackspaceKey(const FieldEdit& field, KeyModifiers modifiers) {
  if (modifiers.ctrl) return {FieldAction::kIgnored, field};
  if (HasSelection(field)) return DeleteSelection(field);
  return Edited(field, field.caret - 1, field.caret);
}

}  // namespace

bool EnterPressesCalc(KeyModifiers modifiers) { return !modifiers.alt; }

std::string_view SelectedText(const FieldEdit& field) {
  const int start = std::clamp(SelectionStart(field), 0, Length(field));
  const int end = std::clamp(SelectionEnd(field), 0, Length(field));
  return std::string_view(field.text).substr(At(start), At(end - start));
}

FieldAnswer PressFieldKey(const FieldEdit& given, FieldKey key, char letter, KeyModifiers modifiers,
                          bool read_only) {
  const FieldEdit field = Clamped(given);
  if (modifiers.alt || modifiers.super) return {FieldAction::kIgnored, field};
  const bool extend = modifiers.shift;
  switch (key) {
    case FieldKey::kLeft:
    case FieldKey::kUp:
      return Moved(
          field, modifiers.ctrl ? WordLeft(field.text, field.caret) : std::max(field.caret - 1, 0),
          extend);
    case FieldKey::kRight:
    case FieldKey::kDown:
      return Moved(field,
                   modifiers.ctrl ? WordRight(field.text, field.caret)
                                  : std::min(field.caret + 1, Length(field)),
                   extend);
    case FieldKey::kHome:
      return Moved(field, 0, extend);
    case FieldKey::kEnd:
      return Moved(field, Length(field), extend);
    case FieldKey::kBackspace:
      return read_only ? FieldAnswer{FieldAction::kIgnored, field} : BackspaceKey(field, modifiers);
    case FieldKey::kDelete:
      return read_only ? FieldAnswer{FieldAction::kIgnored, field} : DeleteKey(field, modifiers);
    case FieldKey::kInsert:
      if (modifiers.shift) return Paste(field, read_only);
      return modifiers.ctrl ? Copy(field) : FieldAnswer{FieldAction::kIgnored, field};
    case FieldKey::kLetter:
      if (!modifiers.ctrl) return {FieldAction::kIgnored, field};
      return CtrlLetter(field, letter, read_only);
  }
  return {FieldAction::kIgnored, field};
}

FieldEdit TypeIntoField(const FieldEdit& given, std::string_view typed) {
  const FieldEdit field = Clamped(given);
  std::string_view line = typed.substr(0, typed.find('\n'));
  if (!line.empty() && line.back() == '\r' && line.size() < typed.size()) line.remove_suffix(1);
  if (line.empty()) return field;
  return Replace(field, SelectionStart(field), SelectionEnd(field), line);
}

}  // namespace ratecalc
