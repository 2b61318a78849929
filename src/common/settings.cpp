#include "common/settings.h"

#include "common/code_page.h"

namespace korvelin {

Settings::Settings() {
  ticks_[static_cast<int>(Tick::Sound)] = true;
  ticks_[static_cast<int>(Tick::Balloon)] = true;
  texts_[static_cast<int>(Edit::Frequency)] = "5";
  texts_[static_cast<int>(Edit::Timeout)] = "15";
  texts_[static_cast<int>(Edit::Sender)] = "@qq.com";
}

bool Settings::IsTicked(Tick box) const {
  std::lock_guard lock(mutex_);
  return ticks_[static_cast<int>(box)];
}

void Settings::SetTicked(Tick box, bool ticked) {
  std::lock_guard lock(mutex_);
  ticks_[static_cast<int>(box)] = ticked;
}

std::string Settings::Text(Edit box) const {
  std::lock_guard lock(mutex_);
  return texts_[static_cast<int>(box)];
}

void Settings::SetText(Edit box, std::string text) {
  std::lock_guard lock(mutex_);
  texts_[static_cast<int>(box)] = std::move(text);
}

}  // namespace korvelin
