#include "tools/qlvmodem/page_codec.h"

#include <spandsp.h>
#include <tiffio.h>

namespace ql::vmodem {

std::string EncodePage(const std::filesystem::path& tiff, int page) {
  t4_tx_state_t* tx = t4_tx_init(nullptr, tiff.c_str(), page - 1, page - 1);
  if (tx == nullptr) return {};
  t4_tx_set_tx_encoding(tx, T4_COMPRESSION_ITU_T4_1D);
  t4_tx_set_min_bits_per_row(tx, 0);
  std::string out;
  if (t4_tx_start_page(tx) == 0) {
    uint8_t buffer[1024];
    for (;;) {
      int n = t4_tx_get_chunk(tx, buffer, sizeof buffer);
      if (n <= 0) break;
      out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    t4_tx_end_page(tx);
  }
  t4_tx_free(tx);
  return out;
}

int PagesIn(const std::filesystem::path& tiff) {
  TIFFSetWarningHandler(nullptr);
  TIFF* in = TIFFOpen(tiff.c_str(), "r");
  if (in == nullptr) return 0;
  int pages = 0;
  do {
    ++pages;
  } while (TIFFReadDirectory(in) != 0);
  TIFFClose(in);
  return pages;
}

PageCollector::PageCollector(const std::filesystem::path& tiff) : path_(tiff) {
  rx_ = t4_rx_init(nullptr, tiff.c_str(), T4_COMPRESSION_ITU_T4_1D);
  if (rx_ != nullptr) {
    t4_rx_set_rx_encoding(rx_, T4_COMPRESSION_ITU_T4_1D);
    t4_rx_set_image_width(rx_, T4_WIDTH_R8_A4);
    t4_rx_set_x_resolution(rx_, T4_X_RESOLUTION_R8);
  }
}

PageCollector::~PageCollector() { Close(); }

void PageCollector::StartPage(bool fine) {
  if (rx_ == nullptr || inPage_) return;
  t4_rx_set_y_resolution(rx_, fine ? T4_Y_RESOLUTION_FINE : T4_Y_RESOLUTION_STANDARD);
  t4_rx_start_page(rx_);
  inPage_ = true;
}

void PageCollector::Put(const uint8_t* bytes, size_t length) {
  if (rx_ != nullptr && inPage_) t4_rx_put_chunk(rx_, bytes, static_cast<int>(length));
}

void PageCollector::EndPage() {
  if (rx_ == nullptr || !inPage_) return;
  t4_rx_end_page(rx_);
  inPage_ = false;
  ++pages_;
}

int PageCollector::Close() {
  if (rx_ != nullptr) {
    EndPage();
    t4_rx_free(rx_);
    rx_ = nullptr;
  }
  return pages_;
}

}  // namespace ql::vmodem
