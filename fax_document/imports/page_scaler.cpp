#include "fax_document/imports/page_scaler.h"

#include <algorithm>
#include <cmath>

namespace ql {

std::vector<PageScaler::Span> PageScaler::Spans(unsigned source, unsigned target) {
  // Target pixel t covers [t, t + 1) * source / target in source pixels.
  std::vector<Span> spans(target);
  const double ratio = static_cast<double>(source) / target;
  for (unsigned t = 0; t < target; ++t) {
    const double from = t * ratio, to = std::min<double>((t + 1) * ratio, source);
    Span& span = spans[t];
    span.first = std::min(static_cast<unsigned>(from), source - 1);
    double total = 0;
    for (unsigned s = span.first; s < source && s < to; ++s) {
      const double overlap = std::min<double>(s + 1, to) - std::max<double>(s, from);
      if (overlap <= 0) continue;
      span.weights.resize(s - span.first + 1);
      span.weights[s - span.first] = static_cast<float>(overlap);
      total += overlap;
    }
    if (span.weights.empty()) span.weights.push_back(1.0f), total = 1;
    for (float& w : span.weights) w = static_cast<float>(w / total);
  }
  return spans;
}

PageScaler::PageScaler(unsigned sourceWidth, unsigned sourceHeight, unsigned targetWidth, unsigned targetHeight)
    : sourceWidth_(std::max(sourceWidth, 1u)),
      sourceHeight_(std::max(sourceHeight, 1u)),
      targetWidth_(std::max(targetWidth, 1u)),
      targetHeight_(std::max(targetHeight, 1u)),
      columns_(Spans(sourceWidth_, targetWidth_)),
      rows_(Spans(sourceHeight_, targetHeight_)),
      scaledRow_(targetWidth_) {}

void PageScaler::AddRow(const uint8_t* grey) {
  if (rowsAdded_ >= sourceHeight_) return;
  for (unsigned t = 0; t < targetWidth_; ++t) {
    const Span& span = columns_[t];
    float sum = 0;
    for (size_t i = 0; i < span.weights.size(); ++i) sum += span.weights[i] * grey[span.first + i];
    scaledRow_[t] = sum;
  }
  const unsigned r = rowsAdded_++;
  // The target rows whose span holds source row r: from the first not yet finished on,
  // while their span starts at or before r.
  for (unsigned t = rowsFinished_; t < targetHeight_ && rows_[t].first <= r; ++t) {
    const Span& span = rows_[t];
    if (r >= span.first + span.weights.size()) continue;
    while (firstPending_ + pending_.size() <= t) pending_.emplace_back(targetWidth_, 0.0f);
    std::vector<float>& acc = pending_[t - firstPending_];
    const float w = span.weights[r - span.first];
    for (unsigned x = 0; x < targetWidth_; ++x) acc[x] += w * scaledRow_[x];
  }
  // Rows whose last source row has been seen are finished.
  unsigned finished = rowsFinished_;
  while (finished < targetHeight_ && rows_[finished].first + rows_[finished].weights.size() <= rowsAdded_) ++finished;
  Complete(finished);
}

void PageScaler::Complete(unsigned upToRow) {
  while (firstPending_ + pending_.size() < upToRow) pending_.emplace_back(targetWidth_, 255.0f);
  rowsFinished_ = std::max(rowsFinished_, upToRow);
}

void PageScaler::Finish() {
  // Rows partly covered keep what they have; their missing share counts as white.
  for (unsigned t = rowsFinished_; t < targetHeight_ && t < firstPending_ + pending_.size(); ++t) {
    const Span& span = rows_[t];
    float missing = 0;
    for (size_t i = 0; i < span.weights.size(); ++i)
      if (span.first + i >= rowsAdded_) missing += span.weights[i];
    for (float& v : pending_[t - firstPending_]) v += missing * 255.0f;
  }
  Complete(targetHeight_);
}

bool PageScaler::TakeRow(std::vector<uint8_t>& row) {
  if (rowsTaken_ >= rowsFinished_ || pending_.empty()) return false;
  row.resize(targetWidth_);
  const std::vector<float>& acc = pending_.front();
  for (unsigned x = 0; x < targetWidth_; ++x)
    row[x] = static_cast<uint8_t>(std::clamp(std::lround(acc[x]), 0l, 255l));
  pending_.pop_front();
  ++firstPending_;
  ++rowsTaken_;
  return true;
}

}  // namespace ql
