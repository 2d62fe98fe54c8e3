// covergen OUTDIR: writes the shipped cover templates into OUTDIR, each as its ".fct"
// template, its ".des" description line and its ".bmp" preview picture (the template
// drawn with sample values, scaled down). data/covers holds what it makes; the build
// target cover_templates writes it there again after a design has changed.

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/covers/drawing/cover_page.h"
#include "app/covers/drawing/cover_painter.h"
#include "platform/atomic_file.h"
#include "tools/covergen/design_builder.h"

namespace {

constexpr int kPreviewWidth = 236;

// What the previews show in the places of the sheet's values.
ql::TCoverValues SampleValues() {
  ql::TCoverValues v;
  v.Date = "05/14/2024";
  v.Time = "09:30";
  v.Regarding = "Regarding";
  v.Recipient = "Recipient";
  v.RecipientFax = "Recipient fax";
  v.SenderName = "Sender";
  v.SenderCompany = "Company";
  v.SenderFax = "Sender fax";
  v.SenderVoice = "Sender voice";
  v.Message = "The message of the cover sheet is set in this area and wrapped at its edges. "
              "It may run over many lines.";
  v.Flags[ql::ifUrgent] = true;
  v.Flags[ql::ifPleaseReply] = true;
  return v;
}

// An 8-bit picture with a grey palette, as most picture viewers read a BMP.
QImage GreyIndexed(const QImage& grey) {
  QVector<QRgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back(qRgb(i, i, i));
  return grey.convertToFormat(QImage::Format_Indexed8, palette);
}

bool WriteDesign(const covergen::Design& design, const std::filesystem::path& folder) {
  const std::filesystem::path fct = folder / design.FileName();
  std::filesystem::path des = fct, bmp = fct;
  des.replace_extension(".des");
  bmp.replace_extension(".bmp");
  if (!ql::WriteCoverTemplateFile(fct, design.Items())) return false;
  if (!ql::WriteFileAtomically(des, design.Description() + "\r\n")) return false;
  ql::TCoverTemplate drawn;
  drawn.Items = design.Items();
  const QImage page = ql::DrawCoverPage(drawn, SampleValues());
  return GreyIndexed(ql::CoverPreview(page, kPreviewWidth)).save(QString::fromStdString(bmp.string()), "BMP");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: covergen OUTDIR\n";
    return 2;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const covergen::Design& design : covergen::ShippedDesigns()) {
    if (!WriteDesign(design, folder)) {
      std::cerr << "covergen: cannot write " << design.FileName() << " into " << folder << "\n";
      return 1;
    }
    std::cout << design.FileName() << "\n";
  }
  return 0;
}
