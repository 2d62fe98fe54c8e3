// The shipped cover templates. Each design is laid out on the template's 1532 x 1960
// pixel area with fonts that have free metric-compatible stand-ins.

#include "tools/covergen/design_builder.h"

namespace covergen {
namespace {

using namespace ql;

constexpr int kWidth = 1532;   // usable width of a template
constexpr int kHeight = 1960;  // usable height

const Style kSans{"Arial", 24};
const Style kSerif{"Times New Roman", 26};
const Style kMono{"Courier New", 24};

const char* const kDisclaimer =
    "This fax is meant only for the person named above. If it reached you by mistake, "
    "please let the sender know.";

// A classic business cover: a large title, the sender's details opposite it, every field
// in two labelled columns between rules, the flag line, the message and a footer.
Design Classic() {
  Design d("ql0001.fct", "Classic business cover: every field, importance flags and a message");
  const Style label = kSans.Bold();
  const Style value = kSans.Size(26);
  d.Text(0, 0, "FAX", kSans.Size(110).Bold())
      .Field(880, 14, dfSenderCompany, kSans.Size(30).Bold())
      .Labelled(880, 70, 110, "Fax", label, dfSenderFax, value)
      .Labelled(880, 112, 110, "Voice", label, dfSenderVoice, value)
      .HLine(0, 185, kWidth, 8);
  const int rowY = 225, row = 62, valueX = 190, right = 820, rightValueX = 160;
  d.Labelled(0, rowY, valueX, "To:", label, dfRecipient, value)
      .Labelled(right, rowY, rightValueX, "Date:", label, dfDate, value)
      .Labelled(0, rowY + row, valueX, "Fax:", label, dfRecipientFax, value)
      .Labelled(right, rowY + row, rightValueX, "Time:", label, dfTime, value)
      .Labelled(0, rowY + 2 * row, valueX, "From:", label, dfSenderName, value)
      .Labelled(right, rowY + 2 * row, rightValueX, "Voice:", label, dfSenderVoice, value)
      .Labelled(0, rowY + 3 * row, valueX, "Company:", label, dfSenderCompany, value)
      .Labelled(right, rowY + 3 * row, rightValueX, "Fax:", label, dfSenderFax, value)
      .Labelled(0, rowY + 4 * row, valueX, "Regarding:", label, dfRegarding, value.Bold())
      .HLine(0, 555, kWidth, 3)
      .Flags(0, 578, kSans.Size(22))
      .HLine(0, 635, kWidth, 3)
      .Message(0, 680, kWidth, 1170, kSans.Size(26))
      .HLine(0, 1880, kWidth, 2)
      .Text(0, 1896, kDisclaimer, kSans.Size(18).Italic());
  return d;
}

// A modern sheet: a black band down the left edge, a light title, the two parties in
// rounded boxes side by side, the subject and the message in frames of their own.
Design Modern() {
  Design d("ql0002.fct", "Modern: a dark band, rounded boxes for recipient and sender");
  const int left = 110, inner = kWidth - left;
  const Style small = kSans.Size(20);
  const Style name = kSans.Size(30).Bold();
  const Style value = kSans.Size(24);
  d.Rect(0, 0, 56, kHeight, 1, cfBlack)
      .Text(left, 0, "Facsimile", kSans.Size(96))
      .Field(left + 4, 140, dfDate, kSans.Size(24).Bold())
      .Field(left + 260, 140, dfTime, kSans.Size(24))
      .RoundRect(left, 210, inner / 2 - 20, 250, 12, 3)
      .Text(left + 30, 228, "TO", small.Bold())
      .Field(left + 30, 268, dfRecipient, name)
      .Labelled(left + 30, 330, 80, "Fax", small, dfRecipientFax, value)
      .RoundRect(left + inner / 2 + 20, 210, inner / 2 - 20, 250, 12, 3)
      .Text(left + inner / 2 + 50, 228, "FROM", small.Bold())
      .Field(left + inner / 2 + 50, 268, dfSenderName, name)
      .Field(left + inner / 2 + 50, 320, dfSenderCompany, value)
      .Labelled(left + inner / 2 + 50, 362, 80, "Fax", small, dfSenderFax, value)
      .Labelled(left + inner / 2 + 50, 400, 80, "Voice", small, dfSenderVoice, value)
      .Text(left, 495, "SUBJECT", small.Bold())
      .Field(left, 530, dfRegarding, kSans.Size(34).Bold())
      .Flags(left, 610, kSans.Size(20))
      .RoundRect(left, 670, inner, 1230, 3, 2)
      .Message(left + 30, 700, inner - 60, 1170, kSans.Size(26))
      .Text(left, 1916, kDisclaimer, kSans.Size(18).Italic());
  return d;
}

// A memo in a serif face: a centred heading between a double rule, the fields as a
// typed memo heading, and the message.
Design Memo() {
  Design d("ql0003.fct", "Memo: a typed fax memorandum in a serif face");
  const Style label = kSerif.Bold();
  const Style value = kSerif.Size(28);
  const int valueX = 200, row = 64;
  d.HLine(0, 0, kWidth, 10)
      .HLine(0, 18, kWidth, 2)
      .Text(411, 40, "Fax Memorandum", kSerif.Size(72).Italic())
      .HLine(0, 160, kWidth, 2)
      .HLine(0, 172, kWidth, 10)
      .Labelled(0, 220, valueX, "TO:", label, dfRecipient, value)
      .Labelled(0, 220 + row, valueX, "FAX:", label, dfRecipientFax, value)
      .Labelled(0, 220 + 2 * row, valueX, "FROM:", label, dfSenderName, value)
      .Field(valueX + 520, 220 + 2 * row, dfSenderCompany, value.Italic())
      .Labelled(0, 220 + 3 * row, valueX, "DATE:", label, dfDate, value)
      .Labelled(0, 220 + 4 * row, valueX, "RE:", label, dfRegarding, value.Bold())
      .Flags(0, 560, kSerif.Size(22))
      .HLine(0, 620, kWidth, 2)
      .Message(0, 660, kWidth, 1180, kSerif.Size(28))
      .HLine(0, 1870, kWidth, 2)
      .Labelled(0, 1888, 230, "Sender's fax:", kSerif.Size(20).Bold(), dfSenderFax, kSerif.Size(20))
      .Labelled(760, 1888, 240, "Sender's voice:", kSerif.Size(20).Bold(), dfSenderVoice, kSerif.Size(20));
  return d;
}

// A quick note in a typewriter face: a rounded frame, a round stamp with the date, the
// fields as a typed slip, and a folded corner.
Design QuickNote() {
  Design d("ql0004.fct", "Quick note: a typewritten slip with a round date stamp");
  const Style label = kMono.Bold();
  const Style value = kMono.Size(26);
  const int fold = 140;
  d.RoundRect(0, 0, kWidth, kHeight, 3, 4)
      .Text(60, 50, "QUICK FAX", kMono.Size(80).Bold())
      .Ellipse(1130, 30, 340, 220, 5)
      .Ellipse(1145, 45, 310, 190, 1)
      .Text(1215, 82, "SENT", kMono.Size(30).Bold())
      .Field(1190, 130, dfDate, kMono.Size(22))
      .Field(1240, 168, dfTime, kMono.Size(22))
      .HLine(60, 280, kWidth - 120, 3)
      .Labelled(60, 320, 220, "TO", label, dfRecipient, value)
      .Labelled(60, 380, 220, "FAX", label, dfRecipientFax, value)
      .Labelled(60, 440, 220, "FROM", label, dfSenderName, value)
      .Labelled(60, 500, 220, "PHONE", label, dfSenderVoice, value)
      .Labelled(760, 500, 160, "FAX", label, dfSenderFax, value)
      .Labelled(60, 560, 220, "RE", label, dfRegarding, value.Bold())
      .HLine(60, 630, kWidth - 120, 3)
      .Flags(60, 655, kMono.Size(18))
      .Message(60, 730, kWidth - 120, 1080, kMono.Size(26))
      .Diagonal(kWidth - fold, kHeight - fold, fold, fold, true, 3)
      .HLine(kWidth - fold, kHeight - fold, fold, 2)
      .VLine(kWidth - fold, kHeight - fold, fold, 2)
      .Field(60, 1880, dfSenderCompany, kMono.Size(20).Italic());
  return d;
}

}  // namespace

std::vector<Design> ShippedDesigns() { return {Classic(), Modern(), Memo(), QuickNote()}; }

}  // namespace covergen
