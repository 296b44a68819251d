#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// The one place where engine text (UTF-8 in std::string) and Qt text meet.
namespace bnch::ui {

inline QString toQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string toStd(const QString& text) { return text.toStdString(); }
QStringList toQt(const std::vector<std::string>& texts);

}  // namespace bnch::ui
