// Reads a classic DLGTEMPLATE resource into plain values, so that tests can
// compare a template with the expected controls field by field.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ratecalc::testing {

struct TemplateItem {
  std::string window_class;  // "Button", "Edit" or "Static" for the ordinals
  int id = 0;
  std::string text;  // "#106" for an ordinal
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD ex_style = 0;
  bool operator==(const TemplateItem&) const = default;
};

struct DialogTemplate {
  bool extended = false;
  DWORD style = 0;
  DWORD ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string menu, window_class, caption, font;
  int point_size = 0;
  std::vector<TemplateItem> items;
};

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : base_(data), p_(data) {}

  template <class T>
  T Read() {
    T value;
    std::memcpy(&value, p_, sizeof value);
    p_ += sizeof value;
    return value;
  }

  // A UTF-16 string, returned in code page 1252 (the templates use no other
  // characters).
  std::string String() {
    std::string out;
    for (WORD c = Read<WORD>(); c != 0; c = Read<WORD>()) out.push_back(static_cast<char>(c));
    return out;
  }

  // A string or, after 0xFFFF, an ordinal shown as "#n".
  std::string StringOrOrdinal() {
    WORD first;
    std::memcpy(&first, p_, sizeof first);
    if (first != 0xFFFF) return String();
    Read<WORD>();
    return "#" + std::to_string(Read<WORD>());
  }

  void AlignToDword() {
    while ((p_ - base_) % 4 != 0) ++p_;
  }

 private:
  const BYTE* base_;
  const BYTE* p_;
};

inline std::string ClassName(const std::string& raw) {
  if (raw == "#128") return "Button";
  if (raw == "#129") return "Edit";
  if (raw == "#130") return "Static";
  return raw;
}

inline DialogTemplate ParseDialogTemplate(const BYTE* data) {
  DialogTemplate t;
  TemplateReader r(data);
  t.style = r.Read<DWORD>();
  if (t.style == 0xFFFF0001) {  // DLGTEMPLATEEX signature
    t.extended = true;
    return t;
  }
  t.ex_style = r.Read<DWORD>();
  const WORD count = r.Read<WORD>();
  t.x = r.Read<short>();
  t.y = r.Read<short>();
  t.cx = r.Read<short>();
  t.cy = r.Read<short>();
  t.menu = r.StringOrOrdinal();
  t.window_class = r.StringOrOrdinal();
  t.caption = r.String();
  if (t.style & DS_SETFONT) {
    t.point_size = r.Read<WORD>();
    t.font = r.String();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignToDword();
    TemplateItem item;
    item.style = r.Read<DWORD>();
    item.ex_style = r.Read<DWORD>();
    item.x = r.Read<short>();
    item.y = r.Read<short>();
    item.cx = r.Read<short>();
    item.cy = r.Read<short>();
    item.id = r.Read<short>();
    item.window_class = ClassName(r.StringOrOrdinal());
    item.text = r.StringOrOrdinal();
    const WORD extra = r.Read<WORD>();
    for (WORD k = 0; k < extra; ++k) r.Read<BYTE>();
    t.items.push_back(item);
  }
  return t;
}

}  // namespace ratecalc::testing
