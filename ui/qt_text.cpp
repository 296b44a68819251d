#include "ui/qt_text.h"

namespace bnch::ui {

QStringList toQt(const std::vector<std::string>& texts) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(texts.size()));
  for (const auto& text : texts) list.append(toQt(text));
  return list;
}

}  // namespace bnch::ui
