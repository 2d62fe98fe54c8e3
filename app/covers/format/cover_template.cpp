#include "app/covers/format/cover_template.h"

#include <array>
#include <fstream>
#include <limits>
#include <system_error>
#include <variant>

#include "platform/atomic_file.h"
#include "table_engine/codepage.h"

namespace ql {
namespace {

// Value tags.
constexpr uint8_t kListBegin = 1;
constexpr uint8_t kListEnd = 0;
constexpr uint8_t kInt8 = 2;
constexpr uint8_t kInt16 = 3;
constexpr uint8_t kInt32 = 4;
constexpr uint8_t kShortString = 6;
constexpr uint8_t kFalse = 8;
constexpr uint8_t kTrue = 9;
constexpr uint8_t kLongString = 12;

// The seventeen values of a record in their order, as members of TCoverItem. Reader and
// writer both walk this table.
using Member = std::variant<int32_t TCoverItem::*, std::string TCoverItem::*, bool TCoverItem::*>;
const std::array<Member, 17> kRecordLayout = {
    &TCoverItem::Kind,      &TCoverItem::X,         &TCoverItem::Y,         &TCoverItem::W,
    &TCoverItem::H,         &TCoverItem::Text,      &TCoverItem::FontName,  &TCoverItem::FontSize,
    &TCoverItem::Bold,      &TCoverItem::Italic,    &TCoverItem::Underline, &TCoverItem::ShapeKind,
    &TCoverItem::Fill,      &TCoverItem::PenWidth,  &TCoverItem::LineDirection,
    &TCoverItem::Roundness, &TCoverItem::DataField,
};

// Reads tagged values from a byte span; every read checks the bytes that are left first.
class ValueReader {
 public:
  explicit ValueReader(std::span<const uint8_t> data) : data_(data) {}

  bool AtEnd() const { return pos_ >= data_.size(); }
  size_t Offset() const { return pos_; }

  bool Tag(uint8_t& tag) { return Little(1, tag); }

  bool Expect(uint8_t wanted) {
    uint8_t tag = 0;
    return Tag(tag) && tag == wanted;
  }

  bool Integer(int32_t& value) {
    uint8_t tag = 0;
    if (!Tag(tag)) return false;
    switch (tag) {
      case kInt8: { int8_t v = 0; if (!Little(1, v)) return false; value = v; return true; }
      case kInt16: { int16_t v = 0; if (!Little(2, v)) return false; value = v; return true; }
      case kInt32: return Little(4, value);
      default: return false;
    }
  }

  bool String(std::string& value) {
    uint8_t tag = 0;
    uint64_t length = 0;
    if (!Tag(tag)) return false;
    if (tag == kShortString) {
      uint8_t n = 0;
      if (!Little(1, n)) return false;
      length = n;
    } else if (tag == kLongString) {
      uint32_t n = 0;
      if (!Little(4, n)) return false;
      length = n;
    } else {
      return false;
    }
    if (length > data_.size() - pos_) return false;  // refused before anything is allocated
    const auto* chars = reinterpret_cast<const char*>(data_.data() + pos_);
    value = xb::Cp1252ToUtf8(std::string_view(chars, static_cast<size_t>(length)));
    pos_ += static_cast<size_t>(length);
    return true;
  }

  bool Boolean(bool& value) {
    uint8_t tag = 0;
    if (!Tag(tag)) return false;
    value = tag == kTrue;
    return true;
  }

 private:
  // A little-endian integer of `bytes` bytes (1, 2 or 4) into value.
  template <typename T>
  bool Little(size_t bytes, T& value) {
    if (bytes > data_.size() - pos_) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += bytes;
    value = static_cast<T>(v);
    return true;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

bool ReadRecord(ValueReader& in, TCoverItem& item) {
  if (!in.Expect(kListBegin)) return false;
  for (const Member& member : kRecordLayout) {
    const bool ok = std::visit(
        [&](auto pointer) {
          auto& field = item.*pointer;
          using Field = std::remove_reference_t<decltype(field)>;
          if constexpr (std::is_same_v<Field, int32_t>) return in.Integer(field);
          else if constexpr (std::is_same_v<Field, std::string>) return in.String(field);
          else return in.Boolean(field);
        },
        member);
    if (!ok) return false;
  }
  return in.Expect(kListEnd);
}

void PutLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutInteger(std::string& out, int32_t value) {
  if (value >= std::numeric_limits<int8_t>::min() && value <= std::numeric_limits<int8_t>::max()) {
    out.push_back(static_cast<char>(kInt8));
    PutLittle(out, static_cast<uint32_t>(value), 1);
  } else if (value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max()) {
    out.push_back(static_cast<char>(kInt16));
    PutLittle(out, static_cast<uint32_t>(value), 2);
  } else {
    out.push_back(static_cast<char>(kInt32));
    PutLittle(out, static_cast<uint32_t>(value), 4);
  }
}

void PutString(std::string& out, const std::string& utf8) {
  const std::string chars = xb::Utf8ToCp1252(utf8);
  if (chars.size() <= 255) {
    out.push_back(static_cast<char>(kShortString));
    PutLittle(out, static_cast<uint32_t>(chars.size()), 1);
  } else {
    out.push_back(static_cast<char>(kLongString));
    PutLittle(out, static_cast<uint32_t>(chars.size()), 4);
  }
  out += chars;
}

}  // namespace

TCoverTemplate ReadCoverTemplate(std::span<const uint8_t> data) {
  TCoverTemplate result;
  ValueReader in(data);
  while (!in.AtEnd()) {
    TCoverItem item;
    if (!ReadRecord(in, item)) {
      result.End = TTemplateEnd::teBadValue;
      break;
    }
    result.Items.push_back(std::move(item));
    result.EndOffset = in.Offset();
  }
  if (result.End == TTemplateEnd::teComplete) result.EndOffset = in.Offset();
  return result;
}

TCoverTemplate ReadCoverTemplateFile(const std::filesystem::path& path) {
  TCoverTemplate missing;
  missing.End = TTemplateEnd::teMissing;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return missing;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return missing;
  if (size > kMaxTemplateFileBytes) {
    TCoverTemplate tooLarge;
    tooLarge.End = TTemplateEnd::teTooLarge;
    return tooLarge;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return missing;
  return ReadCoverTemplate(bytes);
}

std::string WriteCoverTemplate(const std::vector<TCoverItem>& items) {
  std::string out;
  for (const TCoverItem& item : items) {
    out.push_back(static_cast<char>(kListBegin));
    for (const Member& member : kRecordLayout) {
      std::visit(
          [&](auto pointer) {
            const auto& field = item.*pointer;
            using Field = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, int32_t>) PutInteger(out, field);
            else if constexpr (std::is_same_v<Field, std::string>) PutString(out, field);
            else out.push_back(static_cast<char>(field ? kTrue : kFalse));
          },
          member);
    }
    out.push_back(static_cast<char>(kListEnd));
  }
  return out;
}

bool WriteCoverTemplateFile(const std::filesystem::path& path, const std::vector<TCoverItem>& items) {
  return WriteFileAtomically(path, WriteCoverTemplate(items));
}

}  // namespace ql
