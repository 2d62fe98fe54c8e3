#pragma once
// Normalising a fax before it is sent or viewed: every page recoded at high resolution on
// a page wide enough for the fax machines that receive it.

#include <filesystem>
#include <string>
#include <vector>

namespace ql {

// Normalises a fax for sending or viewing: every page is unpacked (standard pages doubled
// in height), placed on a white page at least 1600 or 1664 pixels wide (by its height),
// marked at its right edge's top and bottom, and coded again at high resolution with no
// margin. The pages are made as "TEMP<n>.apf" in `workFolder` and joined into `target`.
// A missing source is success with nothing written. On failure no target is written.
int NormaliseFax(const std::filesystem::path& source, const std::filesystem::path& target,
                 const std::filesystem::path& workFolder);

// The width a normalised page of the given bitmap size gets.
int NormalisedPageWidth(int width, int height);

// Normalising one page at a time, so that a viewer can show the first page while the
// others are still being made. Each page becomes its own one-page file ("TEMP<n>.apf" in
// the work folder); they are removed when the normaliser goes.
class TFaxNormaliser {
 public:
  // `yield`: let waiting window messages through while a page is made (a caller that
  // makes pages in idle steps of its own event loop passes false).
  TFaxNormaliser(std::filesystem::path source, std::filesystem::path workFolder, bool yield = true);
  ~TFaxNormaliser();
  TFaxNormaliser(const TFaxNormaliser&) = delete;
  TFaxNormaliser& operator=(const TFaxNormaliser&) = delete;

  // Reads the source's file header: the file error, -8001 when it is not an APF file or
  // has no pages.
  int Start();
  const std::filesystem::path& Source() const { return source_; }
  unsigned PageCount() const { return pageCount_; }
  unsigned PagesDone() const { return static_cast<unsigned>(pages_.size()); }
  bool Done() const { return PagesDone() == pageCount_; }
  // Normalises the next page into its own file.
  int NormaliseNextPage();
  // The files of the pages made so far, in page order.
  const std::vector<std::filesystem::path>& PageFiles() const { return pages_; }
  void RemovePageFiles();

 private:
  std::filesystem::path source_;
  std::filesystem::path workFolder_;
  bool yield_;
  unsigned pageCount_ = 0;
  std::string stationId_;
  std::vector<std::filesystem::path> pages_;
};

}  // namespace ql
