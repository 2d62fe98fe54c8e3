#include "fax_document/export/pdf_export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fax_document/apf/apf_file.h"
#include "fax_document/apf/file_errors.h"
#include "fax_document/export/g4_encoder.h"
#include "fax_document/unpack/unpacker_core.h"
#include "platform/atomic_file.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kMmPerPel = 215.0 / 1728.0;
constexpr double kLinesPerMmFine = 7.7;
constexpr double kLinesPerMmStandard = 3.85;
constexpr double kBlankPageMm = 297.0;

// One page decoded at its own resolution (no doubling or halving), coded with T.6.
struct CodedPage {
  int columns = 1728;
  bool highRes = false;
  std::vector<uint8_t> data;
  int rows = 0;
};

int CodePage(const std::filesystem::path& apf, unsigned page, CodedPage& coded) {
  ApfPageHeader header;
  if (const int rc = ReadApfPageHeader(apf, page, header); rc < 0) return rc;
  coded.columns = header.Width();
  coded.highRes = header.HighRes();
  G4Encoder encoder(coded.columns);
  std::vector<uint8_t> row(static_cast<size_t>(coded.columns / 8));
  UnpackerCore core([&](bool starting, bool ending, const uint8_t* data, unsigned length, unsigned) {
    if (starting || ending) return 0;
    // A line of the other width (a damaged page) is cut or padded to the page's width.
    std::memset(row.data(), 0, row.size());
    std::memcpy(row.data(), data, std::min<size_t>(length, row.size()));
    encoder.AddRow(row.data());
    return 0;
  });
  core.UnpackFlags = 0;
  if (const int rc = core.UnpackPage(apf, page); rc < 0) return rc;
  coded.rows = encoder.Rows();
  coded.data = encoder.Finish();
  return 0;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

class PdfFile {
 public:
  explicit PdfFile(std::FILE* file) : file_(file) {}
  bool ok() const { return ok_; }
  long Offset() const { return offset_; }

  void Write(const void* data, size_t length) {
    if (ok_ && std::fwrite(data, 1, length, file_) != length) ok_ = false;
    offset_ += static_cast<long>(length);
  }
  void Write(const std::string& text) { Write(text.data(), text.size()); }

  // Starts object n, remembering where it stands for the cross-reference table.
  void BeginObject(int n) {
    if (offsets_.size() < static_cast<size_t>(n + 1)) offsets_.resize(static_cast<size_t>(n + 1), 0);
    offsets_[static_cast<size_t>(n)] = offset_;
    Write(std::to_string(n) + " 0 obj\n");
  }
  void EndObject() { Write("endobj\n"); }
  void Stream(const std::string& dictionary, const void* data, size_t length) {
    Write("<< " + dictionary + " /Length " + std::to_string(length) + " >>\nstream\n");
    Write(data, length);
    Write("\nendstream\n");
  }
  void Trailer(int root) {
    const long xref = offset_;
    const size_t count = offsets_.size();
    Write("xref\n0 " + std::to_string(count) + "\n0000000000 65535 f \n");
    for (size_t i = 1; i < count; ++i) {
      char entry[24];
      std::snprintf(entry, sizeof entry, "%010ld 00000 n \n", offsets_[i]);
      Write(entry, 20);
    }
    Write("trailer\n<< /Size " + std::to_string(count) + " /Root " + std::to_string(root) + " 0 R >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n");
  }

 private:
  std::FILE* file_;
  bool ok_ = true;
  long offset_ = 0;
  std::vector<long> offsets_{0};
};

}  // namespace

TPdfPageSize FaxPageSizePoints(int columns, int rows, bool highRes) {
  const double lines = highRes ? kLinesPerMmFine : kLinesPerMmStandard;
  return {columns * kMmPerPel * kPointsPerMm, rows / lines * kPointsPerMm};
}

int ExportFaxToPdf(const std::filesystem::path& apf, const std::filesystem::path& pdf,
                   const PdfExportProgress& progress) {
  ApfFileHeader header;
  if (const int rc = ReadApfFileHeader(apf, header); rc < 0) return rc;
  const unsigned total = header.PageCount;
  const std::filesystem::path temporary = TemporarySibling(pdf);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return LastFileErrorCode();
  PdfFile out(file);
  // Objects: 1 catalogue, 2 page tree, then per page: page, contents, image.
  const auto pageObject = [](unsigned i) { return static_cast<int>(3 + 3 * i); };
  out.Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  out.BeginObject(1);
  out.Write("<< /Type /Catalog /Pages 2 0 R >>\n");
  out.EndObject();
  std::string kids;
  for (unsigned i = 0; i < total; ++i) kids += std::to_string(pageObject(i)) + " 0 R ";
  out.BeginObject(2);
  out.Write("<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(total) + " >>\n");
  out.EndObject();
  int rc = 0;
  for (unsigned i = 0; i < total && rc == 0 && out.ok(); ++i) {
    CodedPage page;
    rc = CodePage(apf, i + 1, page);
    if (rc < 0) break;
    const int n = pageObject(i);
    TPdfPageSize size = FaxPageSizePoints(page.columns, page.rows, page.highRes);
    if (page.rows == 0) size.height = kBlankPageMm * kPointsPerMm;
    const std::string w = Number(size.width), h = Number(size.height);
    out.BeginObject(n);
    out.Write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h + "] /Resources << " +
              (page.rows > 0 ? "/XObject << /Fax " + std::to_string(n + 2) + " 0 R >> " : std::string()) +
              ">> /Contents " + std::to_string(n + 1) + " 0 R >>\n");
    out.EndObject();
    const std::string contents = page.rows > 0 ? "q " + w + " 0 0 " + h + " 0 0 cm /Fax Do Q\n" : std::string();
    out.BeginObject(n + 1);
    out.Stream("", contents.data(), contents.size());
    out.EndObject();
    out.BeginObject(n + 2);
    if (page.rows > 0) {
      const std::string columns = std::to_string(page.columns), rows = std::to_string(page.rows);
      out.Stream("/Type /XObject /Subtype /Image /Width " + columns + " /Height " + rows +
                     " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode /DecodeParms << /K -1"
                     " /Columns " + columns + " /Rows " + rows + " >>",
                 page.data.data(), page.data.size());
    } else {
      out.Write("null\n");  // keeps the object numbering regular
    }
    out.EndObject();
    if (progress && !progress(i + 1, total)) rc = ecUnpackAbort;
  }
  if (rc == 0) out.Trailer(1);
  const bool written = out.ok();
  const int closeRc = std::fclose(file) == 0 ? 0 : LastFileErrorCode();
  if (rc == 0 && !written) rc = ecDiskFull;
  if (rc == 0) rc = closeRc;
  std::error_code ec;
  if (rc == 0) {
    std::filesystem::rename(temporary, pdf, ec);
    if (ec) rc = FileErrorCode(ec.value());
  }
  if (rc != 0) std::filesystem::remove(temporary, ec);
  return rc;
}

}  // namespace ql
