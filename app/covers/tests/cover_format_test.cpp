// Template and description files, and a sheet taken from an outgoing row.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "app/covers/format/cover_description.h"
#include "app/covers/format/cover_sheet.h"
#include "app/covers/format/cover_template.h"
#include "app/covers/format/cover_values.h"
#include "app/fax_store/fax_store.h"
#include "tests/support/temp_dir.h"

// GCC cannot see that the replaced new and delete below belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// The largest single allocation made while `gWatch` is set, to see that a template
// naming an absurd string length allocates nothing of that size.
namespace {
std::atomic<bool> gWatch{false};
std::atomic<size_t> gLargest{0};
}  // namespace

void* operator new(size_t size) {
  if (gWatch && size > gLargest) gLargest = size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace ql {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

TCoverItem SampleItem() {
  TCoverItem item;
  item.Kind = ikDataField;
  item.X = -129;     // 16-bit
  item.Y = 70000;    // 32-bit
  item.W = 127;      // 8-bit
  item.H = -32769;   // 32-bit
  item.Text = "M\xC3\xBCller";  // UTF-8; stored as code page 1252
  item.FontName = "Times New Roman";
  item.FontSize = 300;
  item.Bold = true;
  item.Italic = false;
  item.Underline = true;
  item.ShapeKind = skRoundRect;
  item.Fill = cfBlack;
  item.PenWidth = 3;
  item.LineDirection = ldFalling;
  item.Roundness = 10;
  item.DataField = dfRecipient;
  return item;
}

// One record with the given bytes in place of the 17 values.
Bytes Record(const Bytes& values) {
  Bytes r{1};
  r.insert(r.end(), values.begin(), values.end());
  r.push_back(0);
  return r;
}

// The 17 values of a minimal record: integers as int8 0, strings empty, booleans false.
Bytes MinimalValues() {
  Bytes v;
  for (int i = 0; i < 5; ++i) v.insert(v.end(), {2, 0});
  v.insert(v.end(), {6, 0, 6, 0});    // text, font name
  v.insert(v.end(), {2, 20});         // font size
  v.insert(v.end(), {8, 8, 8});       // bold, italic, underline
  for (int i = 0; i < 6; ++i) v.insert(v.end(), {2, 0});
  return v;
}

TEST(CoverTemplate, WrittenRecordsReadBackWithSmallestTagsAndCodePage1252Text) {
  const TCoverItem item = SampleItem();
  TCoverItem second;
  second.Text = std::string(300, 'a');  // over 255 characters: a 32-bit length
  const std::string bytes = WriteCoverTemplate({item, second});
  // list, kind int8 5, X int16 -129, Y int32 70000, W int8 127, H int32 -32769
  const Bytes head(bytes.begin(), bytes.begin() + 20);
  EXPECT_EQ(head, (Bytes{1, 2, 5, 3, 0x7F, 0xFF, 4, 0x70, 0x11, 0x01, 0x00, 2, 0x7F, 4, 0xFF, 0x7F, 0xFF, 0xFF, 6, 6}));
  EXPECT_NE(bytes.find("M\xFCller"), std::string::npos);
  EXPECT_NE(bytes.find(std::string("\x0C\x2C\x01\x00\x00", 5)), std::string::npos);

  const TCoverTemplate read = ReadCoverTemplate(BytesOf(bytes));
  EXPECT_EQ(read.End, TTemplateEnd::teComplete);
  ASSERT_EQ(read.Items.size(), 2u);
  EXPECT_EQ(read.Items[0], item);
  EXPECT_EQ(read.Items[1], second);
  EXPECT_EQ(read.EndOffset, bytes.size());
}

TEST(CoverTemplate, ReadingStopsAtTheFirstValueThatDoesNotFitAndKeepsTheRecordsBefore) {
  const Bytes good = Record(MinimalValues());
  struct Case {
    const char* what;
    Bytes bad;
  };
  Bytes stringForInteger = MinimalValues();
  stringForInteger[0] = 6;  // the kind as a string
  Bytes integerForString = MinimalValues();
  integerForString[10] = 2;  // the text as an integer
  Bytes noListEnd = Record(MinimalValues());
  noListEnd.back() = 1;
  Bytes badListBegin = Record(MinimalValues());
  badListBegin.front() = 0;
  Bytes cut = good;
  cut.resize(good.size() - 3);
  const Case cases[] = {{"string in an integer's place", Record(stringForInteger)},
                        {"integer in a string's place", Record(integerForString)},
                        {"no list end", noListEnd},
                        {"no list begin", badListBegin},
                        {"cut off", cut},
                        {"length beyond the end", Bytes{1, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 6, 200, 'x'}}};
  for (const Case& c : cases) {
    Bytes data = good;
    data.insert(data.end(), good.begin(), good.end());
    data.insert(data.end(), c.bad.begin(), c.bad.end());
    data.insert(data.end(), good.begin(), good.end());  // never reached
    const TCoverTemplate read = ReadCoverTemplate(data);
    EXPECT_EQ(read.End, TTemplateEnd::teBadValue) << c.what;
    EXPECT_EQ(read.Items.size(), 2u) << c.what;
    EXPECT_EQ(read.EndOffset, 2 * good.size()) << c.what;
  }
}

TEST(CoverTemplate, BooleanTagNineIsTrueAndAnyOtherTagIsFalseAndTakesOneByte) {
  Bytes values = MinimalValues();
  values[16] = 9;   // bold: true
  values[17] = 2;   // italic: an integer tag, read as false without its value byte
  values[18] = 0;   // underline: any tag at all
  const TCoverTemplate read = ReadCoverTemplate(Record(values));
  ASSERT_EQ(read.Items.size(), 1u);
  EXPECT_TRUE(read.Items[0].Bold);
  EXPECT_FALSE(read.Items[0].Italic);
  EXPECT_FALSE(read.Items[0].Underline);
  EXPECT_EQ(read.Items[0].FontSize, 20);
  EXPECT_EQ(read.Items[0].DataField, 0);
}

TEST(CoverTemplate, AnAbsurdStringLengthIsRefusedWithoutAllocatingIt) {
  Bytes data = Record(MinimalValues());
  // A second record whose text claims 4 GB.
  Bytes huge{1, 2, 1, 2, 0, 2, 0, 2, 0, 2, 0, 12, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
  data.insert(data.end(), huge.begin(), huge.end());
  gLargest = 0;
  gWatch = true;
  const TCoverTemplate read = ReadCoverTemplate(data);
  gWatch = false;
  EXPECT_EQ(read.End, TTemplateEnd::teBadValue);
  EXPECT_EQ(read.Items.size(), 1u);
  EXPECT_LT(gLargest.load(), 4096u);
}

TEST(CoverTemplate, MissingAndOversizedFilesGiveNoItems) {
  testing::TempDir dir;
  EXPECT_EQ(ReadCoverTemplateFile(dir / "none.fct").End, TTemplateEnd::teMissing);
  const std::filesystem::path big = dir / "big.fct";
  testing::WriteFile(big, std::string(reinterpret_cast<const char*>(Record(MinimalValues()).data()), 40));
  std::filesystem::resize_file(big, kMaxTemplateFileBytes + 1);  // sparse: costs no disk
  const TCoverTemplate read = ReadCoverTemplateFile(big);
  EXPECT_EQ(read.End, TTemplateEnd::teTooLarge);
  EXPECT_TRUE(read.Items.empty());
}

TEST(CoverDescription, LinesRoundTripAndTheTemplateNameIsOnlyAFileName) {
  TCoverDescription d;
  d.TemplateName = "ql0003.fct";
  d.Flags = "X  X ";
  d.MessageLines = {"Dear Ann,", "", "  indented", "Gr\xC3\xBC\xC3\x9F" "e"};
  const std::string text = FormatCoverDescription(d);
  EXPECT_EQ(text, "ql0003.fct\r\nX  X \r\nDear Ann,\r\n\r\n  indented\r\nGr\xC3\xBC\xC3\x9F" "e\r\n");
  EXPECT_EQ(ParseCoverDescription(text), d);

  const TCoverDescription unix = ParseCoverDescription("C:\\FAX\\Covers\\QL0002.FCT\nX    \nline\n");
  EXPECT_EQ(unix.TemplateName, "QL0002.FCT");
  EXPECT_EQ(unix.Flags, "X    ");
  EXPECT_EQ(unix.MessageLines, std::vector<std::string>{"line"});
  EXPECT_EQ(ParseCoverDescription("../../etc/passwd\r\n").TemplateName, "passwd");
  // Nothing, or only a name: the defaults stand for the rest.
  EXPECT_EQ(ParseCoverDescription(""), TCoverDescription{});
  EXPECT_EQ(ParseCoverDescription("\r\n").TemplateName, kDefaultTemplateName);
  // A description written in code page 1252 reads as the same text.
  EXPECT_EQ(ParseCoverDescription("a.fct\r\n     \r\nM\xFCller\r\n").MessageLines[0], "M\xC3\xBCller");
}

TEST(CoverDescription, OnlyAFlagsLineOfExactlyFiveCharactersSetsFlags) {
  EXPECT_EQ(FlagsFromString("X X X"), (TImportanceFlags{true, false, true, false, true}));
  EXPECT_EQ(FlagsFromString("XXXX"), TImportanceFlags{});   // four characters: ignored
  EXPECT_EQ(FlagsFromString("XXXXXX"), TImportanceFlags{});
  EXPECT_EQ(FlagsFromString("xXabc"), (TImportanceFlags{false, true, false, false, false}));
  EXPECT_EQ(FlagsToString(TImportanceFlags{false, true, false, false, true}), " X  X");
  EXPECT_FALSE(AnyFlagSet(FlagsFromString("     ")));
}

TEST(CoverValues, FlagMarksGoRightAfterEachFlagsBracket) {
  EXPECT_EQ(FlagMarkPrefix(ifUrgent), "[");
  EXPECT_EQ(FlagMarkPrefix(ifForReview), "[  ]Urgent     [");
  EXPECT_EQ(FlagMarkPrefix(ifPleaseComment), "[  ]Urgent     [  ]For Review     [");
  EXPECT_EQ(FlagMarkPrefix(ifPleaseReply), "[  ]Urgent     [  ]For Review     [  ]Please Comment     [");
  EXPECT_EQ(FlagMarkPrefix(ifPleaseRecycle),
            "[  ]Urgent     [  ]For Review     [  ]Please Comment     [  ]Please Reply     [");
  EXPECT_EQ(FlagMarkPrefix(5), "");
}

TEST(CoverValues, DataFieldsPickTheirValueAndOtherNumbersTheItemsText) {
  TCoverValues v{"d", "t", "re", "to", "tofax", "me", "co", "myfax", "voice", "", {}};
  const std::string own = "own";
  const char* expected[] = {"d", "t", "re", "to", "tofax", "me", "co", "myfax", "voice"};
  for (int f = 0; f < kCoverDataFieldCount; ++f) EXPECT_EQ(DataFieldText(v, f, own), expected[f]) << f;
  EXPECT_EQ(DataFieldText(v, 9, own), "own");
  EXPECT_EQ(DataFieldText(v, -1, own), "own");
}

TEST(CoverSheet, ARowWithACoverTakesItsDescriptionFoundInAnyCase) {
  testing::TempDir send;
  OutgoingFax row;
  row.recipient = "Ann";
  row.phone = "555-0100";
  row.subject = "Budget";
  row.notes = "n";
  row.codes = "c";
  row.faxCover = "COV00004.APF";
  testing::WriteFile(send / "COV00004.APF", "x");
  testing::WriteFile(send / "cov00004.fcd", "ql0002.fct\r\n X   \r\nHello\r\n\r\nBye\r\n");
  const TCoverSheetStart start = CoverSheetOfRow(row, send.path());
  EXPECT_EQ(start.ExistingCover, send / "COV00004.APF");
  EXPECT_EQ(start.Sheet.TemplateName, "ql0002.fct");
  EXPECT_EQ(start.Sheet.Flags, (TImportanceFlags{false, true, false, false, false}));
  EXPECT_EQ(start.Sheet.MessageLines, (std::vector<std::string>{"Hello", "", "Bye"}));
  EXPECT_EQ(start.Sheet.Recipient, "Ann");
  EXPECT_EQ(start.Sheet.RecipientFax, "555-0100");
  EXPECT_EQ(start.Sheet.Regarding, "Budget");
  EXPECT_EQ(start.Sheet.Notes, "n");
  EXPECT_EQ(start.Sheet.Codes, "c");

  // Without its description the sheet starts from the defaults, on the same cover file.
  std::filesystem::remove(send / "cov00004.fcd");
  const TCoverSheetStart bare = CoverSheetOfRow(row, send.path());
  EXPECT_EQ(bare.ExistingCover, send / "COV00004.APF");
  EXPECT_EQ(bare.Sheet.TemplateName, kDefaultTemplateName);
  EXPECT_EQ(bare.Sheet.Flags, TImportanceFlags{});
  EXPECT_TRUE(bare.Sheet.MessageLines.empty());

  // A row without a cover gets a new one; a stored folder never reaches outside SEND.
  row.faxCover.clear();
  EXPECT_TRUE(CoverSheetOfRow(row, send.path()).ExistingCover.empty());
  row.faxCover = "..\\..\\COV00004.APF";
  EXPECT_EQ(CoverSheetOfRow(row, send.path()).ExistingCover, send / "COV00004.APF");
}

}  // namespace
}  // namespace ql
