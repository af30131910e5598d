// The guard that writes a function's closing line on every way out but the
// successful one, so that a long chain of steps can return early at each
// failed step and still close the same way.
#pragma once

#include <functional>
#include <utility>

namespace celerra_internal {

// Runs `close` when the scope is left by any way but Succeeded(): the
// failure record and the closing log line are written once, however many
// early returns lead there.
class OnFailure {
 public:
  explicit OnFailure(std::function<void()> close) : m_Close(std::move(close)) {}
  ~OnFailure() {
    if (m_Close) m_Close();
  }
  OnFailure(const OnFailure&) = delete;
  OnFailure& operator=(const OnFailure&) = delete;

  // The scope succeeded: nothing to close. True, for `return closing.Succeeded();`.
  bool Succeeded() {
    m_Close = nullptr;
    return true;
  }

 private:
  std::function<void()> m_Close;
};

}  // namespace celerra_internal
