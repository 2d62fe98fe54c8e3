#pragma once
// Page data between a Class 2/2.0 program and TIFF files, through spandsp's T.4 codec
// (an independent codec: the program under test codes its own pages).

#include <cstdint>
#include <filesystem>
#include <string>

struct t4_state_s;

namespace ql::vmodem {

// One page of a TIFF file (1 = first) as T.4 one-dimensional code with EOLs, first bit
// in the least significant position. Empty on error.
std::string EncodePage(const std::filesystem::path& tiff, int page);
// Pages in a TIFF file (0 when it cannot be read).
int PagesIn(const std::filesystem::path& tiff);

// Collects pages of T.4 one-dimensional code (least significant bit first) into a TIFF.
class PageCollector {
 public:
  explicit PageCollector(const std::filesystem::path& tiff);
  ~PageCollector();
  PageCollector(const PageCollector&) = delete;
  PageCollector& operator=(const PageCollector&) = delete;

  void StartPage(bool fine);
  void Put(const uint8_t* bytes, size_t length);
  void EndPage();
  // Closes the file; returns the pages written.
  int Close();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  t4_state_s* rx_ = nullptr;  // spandsp's T.4 receive state
  bool inPage_ = false;
  int pages_ = 0;
};

}  // namespace ql::vmodem
