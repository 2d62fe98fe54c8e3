#pragma once
// A line source of the document import that can say in words why it failed, beyond the
// error code the converter core passes on.

#include <string>

#include "fax_document/convert/converter_core.h"

namespace ql {

class ImportSource : public LineSource {
 public:
  std::string DefaultExtension() const override { return {}; }
  // Why the last Open or ReadLine failed (empty when it did not, or the code says it all).
  const std::string& Error() const { return error_; }
  // After a conversion that worked: what had to be mended to read the document.
  const std::string& Warning() const { return warning_; }

 protected:
  std::string error_;
  std::string warning_;
};

}  // namespace ql
