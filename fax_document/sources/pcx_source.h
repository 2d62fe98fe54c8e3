#pragma once
// The PCX line source (one monochrome run-length coded image, one page) and the DCX line
// source (up to 1024 PCX images in one file, a page each).

#include <vector>

#include "fax_document/apf/buffered_file.h"
#include "fax_document/convert/converter_core.h"

namespace ql {

class PcxSource : public LineSource {
 public:
  std::string DefaultExtension() const override { return "PCX"; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;
  void Close(ConverterCore&) override { file_.Close(); }

 protected:
  // Reads and checks the PCX header at the current position; `dataBytes` follow it.
  int OpenImage(ConverterCore& core, long dataBytes);
  // Decodes one row; false in `endOfImage` once the image's data or rows are used up.
  int ReadRow(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfImage);

  BufferedFile file_;

 private:
  uint8_t version_ = 0;
  unsigned width_ = 0;
  unsigned rowDataBytes_ = 0;
  unsigned bytesPerLine_ = 0;
  unsigned height_ = 0;
  unsigned rowsDelivered_ = 0;
  long dataLeft_ = 0;
};

class DcxSource : public PcxSource {
 public:
  std::string DefaultExtension() const override { return "DCX"; }
  int Open(ConverterCore& core, const std::filesystem::path& input) override;
  int ReadLine(ConverterCore& core, uint8_t* buffer, unsigned& length, bool& endOfPage, bool& morePages) override;

 private:
  int OpenPage(ConverterCore& core, size_t index);

  struct Page {
    uint32_t offset;
    long size;
  };
  std::vector<Page> pages_;
  size_t page_ = 0;
};

}  // namespace ql
