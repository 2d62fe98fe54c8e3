#include "tools/covergen/design_builder.h"

#include <algorithm>

namespace covergen {

using namespace ql;

TCoverItem& Design::Add(TCoverItemKind kind, int x, int y, int w, int h) {
  TCoverItem& item = items_.emplace_back();
  item.Kind = kind;
  item.X = x;
  item.Y = y;
  item.W = w;
  item.H = h;
  return item;
}

TCoverItem& Design::AddStyled(TCoverItemKind kind, int x, int y, const Style& style) {
  TCoverItem& item = Add(kind, x, y, 0, 0);
  item.FontName = style.font;
  item.FontSize = style.size;
  item.Bold = style.bold;
  item.Italic = style.italic;
  item.Underline = style.underline;
  return item;
}

Design& Design::Text(int x, int y, const std::string& text, const Style& style) {
  AddStyled(ikText, x, y, style).Text = text;
  return *this;
}

Design& Design::Field(int x, int y, TCoverDataField field, const Style& style) {
  AddStyled(ikDataField, x, y, style).DataField = field;
  return *this;
}

Design& Design::Labelled(int x, int y, int labelWidth, const std::string& label, const Style& labelStyle,
                         TCoverDataField field, const Style& fieldStyle) {
  // A smaller label moves down so that both stand on one baseline (ascent about 9/10 of
  // the size in these faces).
  const int drop = (fieldStyle.size - labelStyle.size) * 96 / 72 * 9 / 10;
  return Text(x, y + std::max(0, drop), label, labelStyle).Field(x + labelWidth, y, field, fieldStyle);
}

Design& Design::Flags(int x, int y, const Style& style) {
  AddStyled(ikFlagLine, x, y, style);
  return *this;
}

Design& Design::Message(int x, int y, int w, int h, const Style& style) {
  TCoverItem& item = AddStyled(ikMessageBox, x, y, style);
  item.W = w;
  item.H = h;
  return *this;
}

TCoverItem& Design::AddShape(TCoverShape shape, int x, int y, int w, int h, int pen, TCoverFill fill) {
  TCoverItem& item = Add(ikShape, x, y, w, h);
  item.ShapeKind = shape;
  item.PenWidth = pen;
  item.Fill = fill;
  return item;
}

Design& Design::Rect(int x, int y, int w, int h, int pen, TCoverFill fill) {
  AddShape(skRectangle, x, y, w, h, pen, fill);
  return *this;
}

Design& Design::RoundRect(int x, int y, int w, int h, int roundness, int pen, TCoverFill fill) {
  AddShape(skRoundRect, x, y, w, h, pen, fill).Roundness = roundness;
  return *this;
}

Design& Design::Ellipse(int x, int y, int w, int h, int pen, TCoverFill fill) {
  AddShape(skEllipse, x, y, w, h, pen, fill);
  return *this;
}

Design& Design::Line(TCoverLineDirection direction, int x, int y, int w, int h, int pen) {
  TCoverItem& item = Add(ikLine, x, y, w, h);
  item.LineDirection = direction;
  item.PenWidth = pen;
  return *this;
}

Design& Design::HLine(int x, int y, int w, int pen) { return Line(ldHorizontal, x, y, w, 0, pen); }
Design& Design::VLine(int x, int y, int h, int pen) { return Line(ldVertical, x, y, 0, h, pen); }
Design& Design::Diagonal(int x, int y, int w, int h, bool rising, int pen) {
  return Line(rising ? ldRising : ldFalling, x, y, w, h, pen);
}

}  // namespace covergen
