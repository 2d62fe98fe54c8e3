#pragma once
// Cover-sheet templates (".FCT" files in "Covers/"): a sequence of records, each a list of
// seventeen tagged values that describe one item drawn on the page (a text, a shape, a
// line, the importance-flag line, a data field or the message box).
//
// Layout of one record:
//   byte 1 (list begin), seventeen values, byte 0 (list end).
// Values are tagged:
//   2 signed 8-bit, 3 signed 16-bit, 4 signed 32-bit integer, little-endian, after the tag;
//   6 string with a one-byte length, 12 string with a 32-bit length, then the characters
//     (code page 1252 in the file, UTF-8 in memory);
//   boolean: tag 9 is true, any other tag is false (the tag is the whole value).
// The order of the values is the order of the members of TCoverItem.
//
// Reading stops at the end of the data or at the first value that does not fit its place
// (a wrong tag, a length beyond the end of the data, a missing list tag); the records read
// completely before that are kept. Nothing is ever allocated for a string longer than the
// data that is left, so an absurd length costs nothing.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace ql {

// What an item is (value 1).
enum TCoverItemKind : int32_t {
  ikText = 1,          // 0 means text too
  ikShape = 2,
  ikLine = 3,
  ikFlagLine = 4,      // the importance flags with their boxes
  ikDataField = 5,     // a value of the sheet (recipient, date, ...)
  ikMessageBox = 6,    // the message, word-wrapped inside the item's rectangle
};

// Shapes (value 12): 0 and 1 rectangle, 2 and 3 rounded rectangle, 4 and 5 ellipse.
enum TCoverShape : int32_t { skRectangle = 0, skRoundRect = 2, skEllipse = 4 };
// Fills (value 13).
enum TCoverFill : int32_t { cfNone = 0, cfWhite = 1, cfBlack = 2 };
// Line directions (value 15).
enum TCoverLineDirection : int32_t { ldHorizontal = 0, ldVertical = 1, ldRising = 2, ldFalling = 3 };

struct TCoverItem {
  int32_t Kind = ikText;
  int32_t X = 0;  // pixels on the page, before the page offset
  int32_t Y = 0;
  int32_t W = 0;
  int32_t H = 0;
  std::string Text;
  std::string FontName = "Arial";
  int32_t FontSize = 20;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  int32_t ShapeKind = skRectangle;
  int32_t Fill = cfNone;
  int32_t PenWidth = 1;
  int32_t LineDirection = ldHorizontal;
  int32_t Roundness = 0;  // percent
  int32_t DataField = 0;  // for ikDataField: which value (TCoverDataField)

  bool operator==(const TCoverItem&) const = default;
};

// Why reading ended.
enum class TTemplateEnd {
  teComplete,   // every byte belonged to a complete record
  teBadValue,   // a value did not fit its place; the records before it were kept
  teMissing,    // the file does not exist or cannot be read
  teTooLarge,   // the file is larger than any template can sensibly be
};

struct TCoverTemplate {
  std::vector<TCoverItem> Items;
  TTemplateEnd End = TTemplateEnd::teComplete;
  size_t EndOffset = 0;  // where reading stopped
};

// A template file larger than this is not read at all.
inline constexpr uintmax_t kMaxTemplateFileBytes = 16u << 20;

TCoverTemplate ReadCoverTemplate(std::span<const uint8_t> data);
TCoverTemplate ReadCoverTemplateFile(const std::filesystem::path& path);

// The bytes of a template: each integer in the smallest tag that holds it, each string
// with a one-byte length when it has at most 255 characters.
std::string WriteCoverTemplate(const std::vector<TCoverItem>& items);
// Writes the file whole or not at all; false when it cannot be written.
bool WriteCoverTemplateFile(const std::filesystem::path& path, const std::vector<TCoverItem>& items);

}  // namespace ql
