#include "fax_document/reference/libtiff_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace ql::reference {
namespace {

// A growable TIFF file in memory for TIFFClientOpen.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  toff_t pos = 0;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  const tmsize_t n = std::max<tmsize_t>(0, std::min<tmsize_t>(size, static_cast<tmsize_t>(f->bytes.size()) - static_cast<tmsize_t>(f->pos)));
  std::memcpy(buf, f->bytes.data() + f->pos, static_cast<size_t>(n));
  f->pos += static_cast<toff_t>(n);
  return n;
}
tmsize_t WriteProc(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  if (f->pos + static_cast<toff_t>(size) > f->bytes.size()) f->bytes.resize(f->pos + static_cast<toff_t>(size));
  std::memcpy(f->bytes.data() + f->pos, buf, static_cast<size_t>(size));
  f->pos += static_cast<toff_t>(size);
  return size;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  if (whence == SEEK_SET) f->pos = off;
  else if (whence == SEEK_CUR) f->pos += off;
  else f->pos = f->bytes.size() + off;
  return f->pos;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

TIFF* Open(MemoryFile& f, const char* mode) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  f.pos = 0;
  return TIFFClientOpen("memory", mode, &f, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc, UnmapProc);
}

void SetFaxFields(TIFF* t, int width, int rows, uint32_t options) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, options);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows));
}

}  // namespace

bool DecodeG3(const std::vector<uint8_t>& t4, int width, int rows, Raster& out, uint32_t options) {
  MemoryFile file;
  TIFF* t = Open(file, "w");
  if (t == nullptr) return false;
  SetFaxFields(t, width, rows, options);
  std::vector<uint8_t> copy = t4;
  const bool wrote = TIFFWriteRawStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size())) >= 0;
  TIFFClose(t);
  if (!wrote) return false;
  t = Open(file, "r");
  if (t == nullptr) return false;
  out.assign(static_cast<size_t>(rows), std::vector<uint8_t>(static_cast<size_t>(width / 8)));
  bool ok = true;
  for (int y = 0; y < rows && ok; ++y) ok = TIFFReadScanline(t, out[y].data(), static_cast<uint32_t>(y)) == 1;
  TIFFClose(t);
  return ok;
}

bool EncodeG3(const Raster& rows, int width, std::vector<uint8_t>& t4, uint32_t options) {
  MemoryFile file;
  TIFF* t = Open(file, "w");
  if (t == nullptr) return false;
  SetFaxFields(t, width, static_cast<int>(rows.size()), options);
  bool ok = true;
  for (size_t y = 0; y < rows.size() && ok; ++y) {
    std::vector<uint8_t> row = rows[y];
    ok = TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y)) == 1;
  }
  TIFFClose(t);
  if (!ok) return false;
  t = Open(file, "r");
  if (t == nullptr) return false;
  const tmsize_t size = static_cast<tmsize_t>(TIFFRawStripSize(t, 0));
  t4.resize(static_cast<size_t>(std::max<tmsize_t>(size, 0)));
  ok = size > 0 && TIFFReadRawStrip(t, 0, t4.data(), size) == size;
  TIFFClose(t);
  return ok;
}

}  // namespace ql::reference
