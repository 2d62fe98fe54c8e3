#pragma once
// Two-dimensional coding of ITU-T T.6 (Group 4): each row is coded against the row above
// it with pass, vertical and horizontal modes, the runs of horizontal mode in the T.4
// run-length code. Bits are packed first bit first into the most significant bit of each
// byte, as PDF, TIFF (fill order 1) and printers expect.

#include <cstdint>
#include <vector>

namespace ql {

class G4Encoder {
 public:
  // Rows of `width` pixels, leftmost pixel in the most significant bit, bit 1 = black.
  explicit G4Encoder(int width);

  void AddRow(const uint8_t* row);
  // Ends the image with the end-of-facsimile-block (two EOLs) and byte padding, and
  // hands over the coded data.
  std::vector<uint8_t> Finish();

  int Rows() const { return rows_; }

 private:
  void Put(uint32_t bits, unsigned length);
  void PutRun(bool black, int run);

  int width_;
  int rows_ = 0;
  std::vector<uint8_t> reference_;
  std::vector<uint8_t> out_;
  uint32_t acc_ = 0;
  unsigned fill_ = 0;
};

}  // namespace ql
