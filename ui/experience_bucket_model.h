#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <vector>

#include "engine/workflow/product_config.h"

namespace bnch::ui {

// The answers of the experience question, in order (roles `label`, `value`).
class ExperienceBucketModel : public QAbstractListModel {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the flow model")

 public:
  enum Role { LabelRole = Qt::UserRole + 1, ValueRole };

  explicit ExperienceBucketModel(std::vector<ExperienceQuestionCopy::Bucket> buckets, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override;

 private:
  std::vector<ExperienceQuestionCopy::Bucket> buckets_;
};

}  // namespace bnch::ui
