#pragma once
// Scales the main window's direct children (the tab strip) when the window
// is made larger than it was at its first size event; at that size or below
// every child keeps the geometry it was recorded with.
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace kolmara {

enum class SizeKind { kRestored, kMinimised, kMaximised };

class DialogResizer {
 public:
  // Records every direct child widget of `owner` with its current geometry.
  void RecordChildren(QWidget* owner);
  // The relayout for a size event of the owner (client size in pixels).
  void OnOwnerSize(SizeKind kind, int width, int height);

  QSize ReferenceSize() const { return m_reference; }

  // One recorded rectangle for the client size `now`: each axis on which the
  // window is larger than `reference` has its edge and extent multiplied by
  // now / reference, truncated towards zero; the other axis is left as is.
  static QRect ScaledRect(const QRect& recorded, QSize reference, QSize now);

 private:
  struct Child {
    QPointer<QWidget> widget;
    QRect recorded;
  };
  QPointer<QWidget> m_owner;
  QSize m_reference{0, 0};
  std::vector<Child> m_children;
};

}  // namespace kolmara
