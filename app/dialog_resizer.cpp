#include "app/dialog_resizer.h"

#include <cstdint>

namespace kolmara {
namespace {

// 64-bit products: a recorded edge times a large client size must not wrap.
int Scale(int value, int now, int reference) {
  return static_cast<int>(static_cast<std::int64_t>(value) * now / reference);
}

}  // namespace

void DialogResizer::RecordChildren(QWidget* owner) {
  m_owner = owner;
  m_children.clear();
  if (!owner) return;
  for (QWidget* child : owner->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!child->isWindow()) m_children.push_back({child, child->geometry()});
}

QRect DialogResizer::ScaledRect(const QRect& recorded, QSize reference, QSize now) {
  int left = recorded.x(), top = recorded.y(), width = recorded.width(), height = recorded.height();
  if (now.width() > reference.width()) {
    left = Scale(left, now.width(), reference.width());
    width = Scale(width, now.width(), reference.width());
  }
  if (now.height() > reference.height()) {
    top = Scale(top, now.height(), reference.height());
    height = Scale(height, now.height(), reference.height());
  }
  return QRect(left, top, width, height);
}

void DialogResizer::OnOwnerSize(SizeKind kind, int width, int height) {
  if (m_reference.width() == 0 && m_reference.height() == 0 && width > 0 && height > 0)
    m_reference = QSize(width, height);
  if (kind == SizeKind::kMinimised || width <= 0 || height <= 0 || !m_owner) return;
  if (m_reference.width() <= 0 || m_reference.height() <= 0) return;
  for (const Child& child : m_children) {
    if (!child.widget || child.recorded.width() <= 0 || child.recorded.height() <= 0) continue;
    child.widget->setGeometry(ScaledRect(child.recorded, m_reference, QSize(width, height)));
  }
}

}  // namespace kolmara
