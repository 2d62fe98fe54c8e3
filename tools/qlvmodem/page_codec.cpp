#include "tools/qlvmodem/page_codec.h"

#include <spandsp.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>

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

PageChecker::PageChecker() {
  static std::atomic<int> serial{0};
  scratch_ = std::filesystem::temp_directory_path() /
             ("qlvmodem-check-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".tif");
}

PageChecker::~PageChecker() {
  if (rx_ != nullptr) t4_rx_free(rx_);
  std::error_code ec;
  std::filesystem::remove(scratch_, ec);
}

void PageChecker::StartPage(bool fine, bool twoDimensional, int widthCode) {
  if (rx_ != nullptr) t4_rx_free(rx_);
  const int encoding = twoDimensional ? T4_COMPRESSION_ITU_T4_2D : T4_COMPRESSION_ITU_T4_1D;
  rx_ = t4_rx_init(nullptr, scratch_.c_str(), T4_COMPRESSION_ITU_T4_1D);
  if (rx_ == nullptr) return;
  t4_rx_set_rx_encoding(rx_, encoding);
  t4_rx_set_image_width(rx_, widthCode == 2 ? T4_WIDTH_R8_A3 : widthCode == 1 ? T4_WIDTH_R8_B4 : T4_WIDTH_R8_A4);
  t4_rx_set_x_resolution(rx_, T4_X_RESOLUTION_R8);
  t4_rx_set_y_resolution(rx_, fine ? T4_Y_RESOLUTION_FINE : T4_Y_RESOLUTION_STANDARD);
  t4_rx_start_page(rx_);
}

void PageChecker::Put(const uint8_t* bytes, size_t length) {
  if (rx_ != nullptr) t4_rx_put_chunk(rx_, bytes, static_cast<int>(length));
}

// Up to one bad row in twenty is a good copy, up to about one in seven a poor one.
PageChecker::Quality PageChecker::EndPage() {
  if (rx_ == nullptr) return Quality::kBad;
  t4_stats_t stats{};
  t4_rx_get_transfer_statistics(rx_, &stats);
  t4_rx_end_page(rx_);
  t4_rx_free(rx_);
  rx_ = nullptr;
  std::error_code ec;
  std::filesystem::remove(scratch_, ec);
  if (stats.length == 0) return Quality::kBad;
  if (stats.bad_rows * 20 < stats.length) return Quality::kGood;
  if (stats.bad_rows * 20 < stats.length * 3) return Quality::kPoor;
  return Quality::kBad;
}

}  // namespace ql::vmodem
