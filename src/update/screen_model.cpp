#include "update/screen_model.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "platform/numbered_error.h"

namespace corvalen {
namespace {

constexpr int kRefreshMs = 16;
constexpr int kRefreshCostShare = 25;
constexpr int kRefreshMaxMs = 1000;

}  // namespace

ScreenModel::ScreenModel(float progress_max_at_start)
    : refresh_interval_ms_(kRefreshMs), progress_max_(progress_max_at_start) {}

int ScreenModel::ToBar(float value) {
  if (value >= static_cast<float>(INT32_MAX)) return INT32_MAX;
  return static_cast<int>(std::lround(value));
}

size_t ScreenModel::CheckedLine(int16_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) {
    throw NumberedError(kErrInvalidPropertyValue);
  }
  return static_cast<size_t>(index);
}

void ScreenModel::ListClear() {
  lines_.clear();
  ended_.clear();
  stale_.clear();
  stale_lines_.clear();
  current_ = -1;
  ShowListCleared();
}

void ScreenModel::ListAddItem(const std::u16string& text) {
  ShowLineAdded(text);
  lines_.push_back(text);
  ended_.push_back(false);
  stale_.push_back(false);
}

void ScreenModel::AppendToListItem(int16_t index, std::u16string_view piece) {
  const size_t line = CheckedLine(index);
  lines_[line] += piece;
  if (!stale_[line]) {
    stale_[line] = true;
    stale_lines_.push_back(index);
  }
  if (!refresh_asked_) {
    refresh_asked_ = true;
    ScheduleRefresh(refresh_interval_ms_);
  }
}

void ScreenModel::SetListIndex(int16_t index) {
  current_ = static_cast<int32_t>(CheckedLine(index));
  ShowCurrentLine(current_);
}

void ScreenModel::ScriptEnded(int16_t index) {
  const size_t line = CheckedLine(index);
  ended_[line] = true;
  ShowScriptEnded(index, lines_[line]);
}

void ScreenModel::RefreshLines() {
  refresh_asked_ = false;
  if (stale_lines_.empty()) return;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t index : stale_lines_) {
    stale_[static_cast<size_t>(index)] = false;
    ShowLine(index, lines_[static_cast<size_t>(index)]);
  }
  stale_lines_.clear();
  PaintLines();
  const auto cost = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  refresh_interval_ms_ = static_cast<int>(std::clamp<int64_t>(
      cost.count() * kRefreshCostShare, kRefreshMs, kRefreshMaxMs));
}

void ScreenModel::SetStatusPrgCaption(const std::u16string& text) {
  status_prg_ = text;
  ShowStatusPrg(text);
}

void ScreenModel::SetStatusCaption(const std::u16string& text) {
  RefreshLines();
  status_ = text;
  ShowStatus(text);
}

void ScreenModel::SetProgressMax(float maximum) {
  if (!(maximum >= 1) || std::isinf(maximum)) throw NumberedError(kErrInvalidPropertyValue);
  progress_max_ = maximum;
  progress_value_ = std::min(progress_value_, maximum);
  ShowProgress(ToBar(progress_max_), ToBar(progress_value_));
}

void ScreenModel::SetProgressValue(float value) {
  if (!(value >= 0 && value <= progress_max_)) throw NumberedError(kErrInvalidPropertyValue);
  progress_value_ = value;
  ShowProgress(ToBar(progress_max_), ToBar(progress_value_));
}

void ScreenModel::EndProgram(EndReason reason) { throw ProgramEnded{reason}; }

}  // namespace corvalen
