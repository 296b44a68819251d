#include "ui/experience_bucket_model.h"

#include "ui/qt_text.h"

namespace bnch::ui {

ExperienceBucketModel::ExperienceBucketModel(std::vector<ExperienceQuestionCopy::Bucket> buckets, QObject* parent)
    : QAbstractListModel(parent), buckets_(std::move(buckets)) {}

int ExperienceBucketModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(buckets_.size());
}

QVariant ExperienceBucketModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const auto& bucket = buckets_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case LabelRole:
      return toQt(bucket.label);
    case ValueRole:
      return toQt(bucket.value);
    default:
      return {};
  }
}

QHash<int, QByteArray> ExperienceBucketModel::roleNames() const { return {{LabelRole, "label"}, {ValueRole, "value"}}; }

}  // namespace bnch::ui
