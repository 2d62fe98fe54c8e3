#pragma once
// A small vocabulary for writing cover templates as code: each call adds one item to a
// design. Positions are template pixels (the page offset of 98 is added when drawn); the
// usable area is 1532 x 1960 pixels, font sizes are points at 96 pixels per inch.

#include <string>
#include <vector>

#include "app/covers/format/cover_template.h"
#include "app/covers/format/cover_values.h"

namespace covergen {

struct Style {
  std::string font = "Arial";
  int size = 24;
  bool bold = false;
  bool italic = false;
  bool underline = false;

  Style Bold() const { Style s = *this; s.bold = true; return s; }
  Style Italic() const { Style s = *this; s.italic = true; return s; }
  Style Underlined() const { Style s = *this; s.underline = true; return s; }
  Style Size(int points) const { Style s = *this; s.size = points; return s; }
};

class Design {
 public:
  Design(std::string fileName, std::string description)
      : fileName_(std::move(fileName)), description_(std::move(description)) {}

  Design& Text(int x, int y, const std::string& text, const Style& style);
  Design& Field(int x, int y, ql::TCoverDataField field, const Style& style);
  // A label and the data field after it, the field at x + labelWidth.
  Design& Labelled(int x, int y, int labelWidth, const std::string& label, const Style& labelStyle,
                   ql::TCoverDataField field, const Style& fieldStyle);
  Design& Flags(int x, int y, const Style& style);
  Design& Message(int x, int y, int w, int h, const Style& style);
  Design& Rect(int x, int y, int w, int h, int pen, ql::TCoverFill fill = ql::cfNone);
  Design& RoundRect(int x, int y, int w, int h, int roundness, int pen, ql::TCoverFill fill = ql::cfNone);
  Design& Ellipse(int x, int y, int w, int h, int pen, ql::TCoverFill fill = ql::cfNone);
  Design& HLine(int x, int y, int w, int pen);
  Design& VLine(int x, int y, int h, int pen);
  // A diagonal from bottom-left to top-right (rising) or top-left to bottom-right.
  Design& Diagonal(int x, int y, int w, int h, bool rising, int pen);

  const std::string& FileName() const { return fileName_; }
  const std::string& Description() const { return description_; }
  const std::vector<ql::TCoverItem>& Items() const { return items_; }

 private:
  ql::TCoverItem& Add(ql::TCoverItemKind kind, int x, int y, int w, int h);
  ql::TCoverItem& AddStyled(ql::TCoverItemKind kind, int x, int y, const Style& style);
  ql::TCoverItem& AddShape(ql::TCoverShape shape, int x, int y, int w, int h, int pen, ql::TCoverFill fill);
  Design& Line(ql::TCoverLineDirection direction, int x, int y, int w, int h, int pen);

  std::string fileName_;
  std::string description_;
  std::vector<ql::TCoverItem> items_;
};

// The templates shipped with the program, "ql0001.fct" first.
std::vector<Design> ShippedDesigns();

}  // namespace covergen
