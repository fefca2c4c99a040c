#include "check/findings.h"

#include <utility>

namespace corvalen {

void FoundList::Add(Found found) {
  if (kept_.size() < kMaxFindings) {
    kept_.push_back(std::move(found));
    return;
  }
  ++dropped_;
  dropped_error_ = dropped_error_ || found.level == FindingLevel::kError;
}

void Reporter::Error(size_t at, std::u16string text, std::optional<size_t> named) {
  if (!inner()) found_->Add({at, FindingLevel::kError, std::move(text), named});
}

void Reporter::Note(size_t at, std::u16string text, std::optional<size_t> named) {
  if (!inner()) found_->Add({at, FindingLevel::kNote, std::move(text), named});
}

void Reporter::Always(size_t at, FindingLevel level, std::u16string text) {
  found_->Add({exec_at_.value_or(at), level, std::move(text), std::nullopt});
}

}  // namespace corvalen
