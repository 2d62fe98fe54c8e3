// libFuzzer target: any bytes as a cover template. Reading must neither crash nor hang
// nor allocate more than the input holds, and what was read must write and read back the
// same.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/covers/format/cover_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ql::TCoverTemplate read = ql::ReadCoverTemplate(std::span<const uint8_t>(data, size));
  if (read.EndOffset > size) std::abort();
  const std::string once = ql::WriteCoverTemplate(read.Items);
  const std::span<const uint8_t> onceBytes(reinterpret_cast<const uint8_t*>(once.data()), once.size());
  const ql::TCoverTemplate again = ql::ReadCoverTemplate(onceBytes);
  if (again.End != ql::TTemplateEnd::teComplete || again.Items.size() != read.Items.size()) std::abort();
  if (ql::WriteCoverTemplate(again.Items) != once) std::abort();
  return 0;
}
