#pragma once
// Page data through spandsp's T.4 codec, an independent codec: the program under test
// codes its own pages.

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

// Judges the copy quality of a received page by decoding it with spandsp's T.4
// decoder, as a fax machine does before it answers the page: rows that do not decode
// to the page width are bad.
class PageChecker {
 public:
  enum class Quality { kGood, kPoor, kBad };  // answered with MCF, RTP, RTN
  PageChecker();
  ~PageChecker();
  PageChecker(const PageChecker&) = delete;
  PageChecker& operator=(const PageChecker&) = delete;

  // widthCode: 0 1728, 1 2048, 2 2432 pixels.
  void StartPage(bool fine, bool twoDimensional, int widthCode);
  // Page data as it came from the line (first bit in the least significant position).
  void Put(const uint8_t* bytes, size_t length);
  Quality EndPage();

 private:
  std::filesystem::path scratch_;  // the decoder writes what it decodes somewhere
  t4_state_s* rx_ = nullptr;
};

}  // namespace ql::vmodem
