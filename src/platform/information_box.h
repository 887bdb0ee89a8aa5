// The one user-visible message of the system: an information box with no
// owner window, shown and waited for (MessageBoxW on Windows; without a
// display it returns at once). Every request is counted so tests can see it;
// elsewhere, and when suppressed, nothing is shown. Thread-safe.
#pragma once

#include <cstdint>

namespace platform {

void ShowInformationBox(const wchar_t* text, const wchar_t* caption);

// Requests so far, shown or not.
std::uint64_t InformationBoxRequests() noexcept;

// The command line reports failures on stderr instead.
void SuppressInformationBoxes(bool suppress) noexcept;

// No box from this thread while it lives, not even a request: the preview
// pane shows "no preview" for a damaged document and never waits on a
// person.
class NoInformationBoxesHere {
 public:
  NoInformationBoxesHere() noexcept;
  ~NoInformationBoxesHere();
  NoInformationBoxesHere(const NoInformationBoxesHere&) = delete;
  NoInformationBoxesHere& operator=(const NoInformationBoxesHere&) = delete;

 private:
  bool before_;
};

}  // namespace platform
